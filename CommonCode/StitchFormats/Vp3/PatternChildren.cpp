// The child lists of VP3 objects: each child is made by class ID, reads
// itself, and is kept or skipped by its status.
#include "StitchFormats/Vp3/PatternChildren.h"

#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/EmbText.h"
#include "StitchFormats/Vp3/EmbeddedSPX.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"
#include "StitchFormats/Vp3/PatternCompositeSeq.h"
#include "StitchFormats/Vp3/PatternStitch.h"
#include "StitchFormats/Vp3/VP3Values.h"

#include <algorithm>
#include <cstdio>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned long kClassHeaderSize = 7;

// The classes of the root's and a sequence's list besides the embedded SPX
// object, which makes itself (CEmbeddedSPX::CheckAndReadClass).
std::unique_ptr<CPatternBase> MakeChild(unsigned int classID, int depth)
{
    switch (classID) {
    case kClassDesign:
        return std::make_unique<CPatternCompositeDesign>();
    case kClassText:
        return std::make_unique<CEmbText>();
    case kClassSequence:
        return std::make_unique<CPatternCompositeSeq>(depth);
    default:
        return nullptr;
    }
}

// One pass over a child list. For each block, readChild makes and reads the
// child (or leaves it null), says whether it is taken, and gives its status;
// a block not taken is skipped. The list ends early at a critical status, and
// with the larger of its status and 2 when its count runs past the block:
// what follows are headers of no class.
template <typename ReadChild>
unsigned int ReadChildList(IArchiverStream& stream, unsigned short count, unsigned char precision,
                           std::vector<std::unique_ptr<CPatternBase>>& children, ReadChild readChild)
{
    unsigned int status = kStatusOK;
    for (unsigned short i = 0; i < count; ++i) {
        if (Remaining(stream) < kClassHeaderSize)
            return std::max(status, kStatusUnexpectedClass);
        CPatternClassHeader header;
        CPatternBase::ReadClassInfo(stream, header);
        std::unique_ptr<CPatternBase> child;
        bool taken = false;
        unsigned int const childStatus = readChild(header, child, taken);
        if (taken) {
            child->SetPrecision(precision);
            children.push_back(std::move(child));
            status = std::max(status, childStatus);
            continue;
        }
        CPatternBase::SkipClass(stream, header);
        if (Private::IsCriticalError(childStatus))
            return status;
        status = std::max(status, childStatus);
    }
    return status;
}

} // namespace

bool HasRequiredDirectSubclassCount(CPatternBase const* object)
{
    return object != nullptr && (object->GetClassID() == kClassEmbeddedSPX || !object->Subclasses().empty());
}

unsigned int ReadCompositeChildren(IArchiverStream& stream, unsigned short count, CPatternBase& parent,
                                   std::vector<std::unique_ptr<CPatternBase>>& children, int depth)
{
    return ReadChildList(stream, count, parent.Precision(), children,
                         [&](CPatternClassHeader const& header, std::unique_ptr<CPatternBase>& child, bool& taken) {
                             CBlockStream childStream(stream, header.endPosition);
                             child = MakeChild(header.classID, depth);
                             unsigned int status = kStatusUnexpectedClass;
                             if (child != nullptr && header.version != 0)
                                 status = kStatusUnreadable;
                             else if (header.classID == kClassSequence && depth > kMaxNestingDepth)
                                 status = kStatusUnreadable;
                             else if (child != nullptr)
                                 status = child->SerializeRead(childStream, header.version);
                             else
                                 status = CEmbeddedSPX::CheckAndReadClass(childStream, header, child);
                             taken = child != nullptr && !Private::IsCriticalError(status)
                                     && HasRequiredDirectSubclassCount(child.get());
                             return status;
                         });
}

unsigned int ReadChildrenOfClass(IArchiverStream& stream, unsigned short count, CPatternBase const& parent,
                                 std::vector<std::unique_ptr<CPatternBase>>& children, unsigned int classID,
                                 std::function<std::unique_ptr<CPatternBase>()> const& make)
{
    // Stitch blocks are read within their parent, not within their stored
    // length: some writers leave the thread strings out of that length.
    // Composites are read within their own block.
    bool const composite = classID != kClassStitch;
    return ReadChildList(
        stream, count, parent.Precision(), children,
        [&](CPatternClassHeader const& header, std::unique_ptr<CPatternBase>& child, bool& taken) {
            if (header.classID != classID)
                return kStatusUnexpectedClass;
            if (header.version != 0)
                return kStatusUnreadable;
            child = make();
            unsigned int status = kStatusOK;
            if (composite) {
                CBlockStream childStream(stream, header.endPosition);
                status = child->SerializeRead(childStream, header.version);
            } else {
                status = child->SerializeRead(stream, header.version);
            }
            // A block that is taken ends at its last field. A composite that
            // skipped a block of its own is still taken, as in the root's
            // list: dropping it would lose the blocks it could read.
            taken = composite ? !Private::IsCriticalError(status) && HasRequiredDirectSubclassCount(child.get())
                              : status == kStatusOK;
            return status;
        });
}

bool ExtractCompositeChildren(std::vector<std::unique_ptr<CPatternBase>>& children,
                              CompositeChildHandlers const& handlers)
{
    for (auto& child : children) {
        bool ok = true;
        switch (child->GetClassID()) {
        case kClassDesign:
            ok = handlers.design(static_cast<CPatternCompositeDesign&>(*child));
            break;
        case kClassText:
            ok = handlers.text(static_cast<CEmbText&>(*child));
            break;
        case kClassSequence:
            ok = handlers.sequence(static_cast<CPatternCompositeSeq&>(*child));
            break;
        case kClassEmbeddedSPX:
            ok = handlers.spx(static_cast<CEmbeddedSPX&>(*child));
            break;
        default:
            std::fputs("Unhandled class type!\n", stderr);
            break;
        }
        if (!ok)
            return false;
    }
    return true;
}

bool ExtractStitchBlocks(std::vector<std::unique_ptr<CPatternBase>>& children, IDesign& design, CHiResVector origin,
                         CMatrix2x2 const& transform)
{
    for (auto& child : children) {
        if (child->GetClassID() != kClassStitch)
            continue;
        auto& block = static_cast<CPatternStitch&>(*child);
        block.SetTransform(transform);
        if (block.GetStitchData_Begin() != block.GetStitchData_End() && !block.ExtractStitchData(design, origin))
            return false;
    }
    return true;
}

} // namespace Brodix::Vp3Lib
