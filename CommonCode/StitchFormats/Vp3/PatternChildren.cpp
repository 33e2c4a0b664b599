// The child list of composite objects: each child is made by class ID,
// reads itself within its own block, and is kept or skipped by its status.
#include "StitchFormats/Vp3/PatternChildren.h"

#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/PatternCompositeDesign.h"
#include "StitchFormats/Vp3/PatternCompositeSeq.h"
#include "StitchFormats/Vp3/VP3Values.h"

#include <algorithm>
#include <cstdio>

namespace Brodix::Vp3Lib {
namespace {

constexpr unsigned long kClassHeaderSize = 7;

// Text, font-character and embedded SPX objects are not read by this
// library: their blocks count as unexpected classes.
std::unique_ptr<CPatternBase> MakeChild(unsigned int classID, int depth)
{
    switch (classID) {
    case kClassDesign:
        return std::make_unique<CPatternCompositeDesign>();
    case kClassSequence:
        return std::make_unique<CPatternCompositeSeq>(depth);
    default:
        return nullptr;
    }
}

} // namespace

bool HasRequiredDirectSubclassCount(CPatternBase const* object)
{
    return object != nullptr && (object->GetClassID() == kClassEmbeddedSPX || !object->Subclasses().empty());
}

unsigned int ReadCompositeChildren(IArchiverStream& stream, unsigned short count, CPatternBase& parent,
                                   std::vector<std::unique_ptr<CPatternBase>>& children, int depth)
{
    unsigned int status = kStatusOK;
    for (unsigned short i = 0; i < count; ++i) {
        // A child list that runs past the block holds headers of no class.
        if (Remaining(stream) < kClassHeaderSize)
            return std::max(status, kStatusUnexpectedClass);
        CPatternClassHeader header;
        CPatternBase::ReadClassInfo(stream, header);
        std::unique_ptr<CPatternBase> child = MakeChild(header.classID, depth);
        unsigned int childStatus = kStatusUnexpectedClass;
        if (child != nullptr && header.version != 0) {
            childStatus = kStatusUnreadable;
        } else if (header.classID == kClassSequence && depth > kMaxNestingDepth) {
            childStatus = kStatusUnreadable;
        } else if (child != nullptr) {
            CBlockStream childStream(stream, header.endPosition);
            childStatus = child->SerializeRead(childStream, header.version);
            if (!Private::IsCriticalError(childStatus) && HasRequiredDirectSubclassCount(child.get())) {
                child->SetPrecision(parent.Precision());
                children.push_back(std::move(child));
                status = std::max(status, childStatus);
                continue;
            }
        }
        CPatternBase::SkipClass(stream, header);
        if (Private::IsCriticalError(childStatus))
            return status;
        status = std::max(status, childStatus);
    }
    return status;
}

bool ExtractCompositeChildren(std::vector<std::unique_ptr<CPatternBase>>& children,
                              std::function<bool(CPatternCompositeDesign&)> const& onDesign,
                              std::function<bool(CPatternCompositeSeq&)> const& onSequence)
{
    for (auto& child : children) {
        bool ok = true;
        switch (child->GetClassID()) {
        case kClassDesign:
            ok = onDesign(static_cast<CPatternCompositeDesign&>(*child));
            break;
        case kClassSequence:
            ok = onSequence(static_cast<CPatternCompositeSeq&>(*child));
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

} // namespace Brodix::Vp3Lib
