// The entry points of the VP3 library: the file header, dispatch between one
// design and several, and the memory, stream and file variants.
#include "StitchFormats/Vp3/VP3ReadWrite.h"

#include "Fundamentals/SimpleDesign.h"
#include "Fundamentals/TextConversion.h"
#include "StitchFormats/Vp3/BlockStream.h"
#include "StitchFormats/Vp3/Sanitize.h"
#include "StitchFormats/Vp3/VP3Values.h"
#include "StitchFormats/Vp3/WriteSource.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <optional>

namespace Brodix::Vp3Lib {
namespace {

constexpr char kMagic[] = {'%', 'q', 'e', 'l', '%'};
// The only format version there is; a file with another is not read.
constexpr unsigned char kFormatVersion = 0;

// Owns a FILE for one call.
struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file != nullptr)
            std::fclose(file);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool StartsAt(IDesign const& design, CommonTypes::PointI const& point)
{
    auto const reader = HoldIterator(design.GetStitchReader());
    reader->First();
    return !reader->IsDone() && reader->GetCurrentItem().position == point;
}

void Transfer(IDesign const& source, IDesign& target, CommonTypes::PointI const& offset, bool cleanup)
{
    if (cleanup)
        Cleanup00SubDesignFromRead(source, target, offset);
    else
        CSimpleDesign::Copy(source, target, true);
}

void AddEmbeddedObjects(CPatternBase const& object, CEmbeddedObjectCounts& counts)
{
    for (auto const& child : object.Subclasses()) {
        switch (child->GetClassID()) {
        case kClassText:
            ++counts.texts;
            counts.characters += child->Subclasses().size();
            break;
        case kClassEmbeddedSPX:
            ++counts.spxObjects;
            break;
        case kClassSequence:
            AddEmbeddedObjects(*child, counts);
            break;
        default:
            break;
        }
    }
}

} // namespace

CVP3ReadWrite::CVP3ReadWrite() : m_root(std::make_unique<CPatternCompositeRoot>()) {}
CVP3ReadWrite::~CVP3ReadWrite() = default;

template <typename Allocate>
unsigned char* CVP3ReadWrite::SerializeIntoBlock(unsigned long& size, Allocate allocate) const
{
    CBlockWriteStream counter;
    static_cast<void>(SerializeWrite(counter));
    size = counter.GetSize();
    unsigned char* const block = allocate(size);
    if (block == nullptr)
        return nullptr;
    CBlockWriteStream stream(block, size);
    static_cast<void>(SerializeWrite(stream));
    // Both passes run the same code, so they cannot differ.
    if (stream.Overflowed() || stream.GetSize() != size)
        std::abort();
    return block;
}

unsigned int CVP3ReadWrite::WriteToMemory(CDesignHolder const& holder, void*& buffer, unsigned long& size,
                                          CommonTypes::PointI const& offset, bool nudge)
{
    unsigned int const status = Prepare(holder, offset, nudge);
    if (status != kStatusOK)
        return status;
    unsigned long written = 0;
    unsigned char* const block = SerializeIntoBlock(written, [](unsigned long bytes) {
        // malloc(0) may give null; the file is never empty, but stay safe.
        auto* const allocated = static_cast<unsigned char*>(std::malloc(bytes == 0 ? 1 : bytes));
        if (allocated == nullptr)
            throw std::bad_alloc();
        return allocated;
    });
    buffer = block;
    size = written;
    return kStatusOK;
}

unsigned int CVP3ReadWrite::WriteToBytes(CDesignHolder const& holder, std::vector<unsigned char>& bytes,
                                         CommonTypes::PointI const& offset, bool nudge)
{
    unsigned int const status = Prepare(holder, offset, nudge);
    if (status != kStatusOK)
        return status;
    std::vector<unsigned char> file;
    unsigned long size = 0;
    static_cast<void>(SerializeIntoBlock(size, [&](unsigned long count) {
        file.resize(count);
        return file.data();
    }));
    bytes = std::move(file);
    return kStatusOK;
}

unsigned int CVP3ReadWrite::WriteToStream(CDesignHolder const& holder, IArchiverStream& stream,
                                          CommonTypes::PointI const& offset, bool nudge)
{
    unsigned int const status = Prepare(holder, offset, nudge);
    if (status != kStatusOK)
        return status;
    SerializeWrite(stream);
    return kStatusOK;
}

unsigned int CVP3ReadWrite::WriteToFile(CDesignHolder const& holder, std::FILE* file,
                                        CommonTypes::PointI const& offset, bool nudge)
{
    if (file == nullptr)
        return kStatusNoFile;
    // Encoded in memory first: block lengths are patched there, so the file
    // needs no seeking back (a pipe works), and a short write is noticed
    // instead of leaving a broken file reported as written.
    std::vector<unsigned char> bytes;
    unsigned int const status = WriteToBytes(holder, bytes, offset, nudge);
    if (status != kStatusOK)
        return status;
    FileAsStream stream(file);
    if (stream.Write(bytes.data(), bytes.size()) != bytes.size() || !stream.Flush())
        return kStatusNoFile;
    return kStatusOK;
}

unsigned int CVP3ReadWrite::WriteToFile(CDesignHolder const& holder, wchar_t const* path,
                                        CommonTypes::PointI const& offset, bool nudge)
{
    FilePtr const file(wfopen(path, L"wb"));
    return WriteToFile(holder, file.get(), offset, nudge);
}

unsigned int CVP3ReadWrite::Prepare(CDesignHolder const& holder, CommonTypes::PointI const& offset, bool nudge)
{
    if (holder.design != nullptr)
        return PrepareDesign(*holder.design, offset, nudge);
    CDesignHolder::CheckAndThrow(holder.designs == nullptr);
    return PrepareDesigns(*holder.designs, offset, nudge);
}

// The records are read where they are; the nudge is laid over them.
unsigned int CVP3ReadWrite::PrepareDesign(IDesign const& design, CommonTypes::PointI const& offset, bool nudge)
{
    std::vector<CAbsStitch> held;
    std::span<CAbsStitch const> const records = RecordsOf(design, held);
    if (records.empty())
        return kStatusNoStitches;
    m_producer = GetProducerString();
    if (!m_root->Load(CWriteSource(design, records, nudge), &offset, true))
        return kStatusConversionFailed;
    return kStatusOK;
}

// Works on copies: sanitising must not change the caller's designs.
unsigned int CVP3ReadWrite::PrepareDesigns(std::vector<std::shared_ptr<IDesign>> const& designs,
                                           CommonTypes::PointI const& offset, bool nudge)
{
    std::vector<std::shared_ptr<IDesign>> work;
    work.reserve(designs.size());
    for (auto const& design : designs) {
        auto copy = std::make_shared<CSimpleDesign>();
        if (design != nullptr) {
            if (nudge)
                Nudge00SubDesignForWrite(*design, *copy);
            else
                CSimpleDesign::Copy(*design, *copy, true);
        }
        work.push_back(std::move(copy));
    }
    StitchAlgorithms::Sanitize(work);
    m_producer = GetProducerString();
    bool first = true;
    for (auto const& design : work) {
        if (design == nullptr || design->GetStitchCount() == 0)
            continue;
        std::vector<CAbsStitch> held;
        std::span<CAbsStitch const> const records = RecordsOf(*design, held);
        if (!m_root->Load(CWriteSource(*design, records, false), &offset, first))
            return kStatusConversionFailed;
        first = false;
    }
    if (first)
        return kStatusNoStitches;
    return kStatusOK;
}

unsigned int CVP3ReadWrite::SerializeWrite(IArchiverStream& stream) const
{
    Write(stream, kMagic, sizeof kMagic);
    Write(stream, kFormatVersion);
    Write(stream, &m_producer);
    return m_root->SerializeWrite(stream);
}

unsigned int CVP3ReadWrite::ReadFromMemory(CDesignHolder const& holder, void const* data, unsigned long size,
                                           CommonTypes::PointI const& offset, bool cleanup)
{
    MemoryReadStream stream(data, data == nullptr ? 0 : size);
    return ReadFromStreamImpl(holder, stream, offset, cleanup);
}

unsigned int CVP3ReadWrite::ReadFromStream(CDesignHolder const& holder, IArchiverStream& stream,
                                           CommonTypes::PointI const& offset, bool cleanup)
{
    return ReadFromStreamImpl(holder, stream, offset, cleanup);
}

unsigned int CVP3ReadWrite::ReadFromFile(CDesignHolder const& holder, std::FILE* file,
                                         CommonTypes::PointI const& offset, bool cleanup)
{
    if (file == nullptr)
        return kStatusNoFile;
    FileAsStream stream(file);
    return ReadFromStreamImpl(holder, stream, offset, cleanup);
}

unsigned int CVP3ReadWrite::ReadFromFile(CDesignHolder const& holder, wchar_t const* path,
                                         CommonTypes::PointI const& offset, bool)
{
    FilePtr const file(wfopen(path, L"rb"));
    return ReadFromFile(holder, file.get(), offset, true);
}

unsigned int CVP3ReadWrite::ReadFromStreamImpl(CDesignHolder const& holder, IArchiverStream& stream,
                                               CommonTypes::PointI const& offset, bool cleanup)
{
    if (holder.design != nullptr) {
        CDesignHolder::CheckAndThrow(holder.readOnly);
        return ReadDesign(*holder.design, stream, offset, cleanup);
    }
    CDesignHolder::CheckAndThrow(holder.designs == nullptr || holder.readOnly);
    return ReadDesigns(*holder.designs, stream, offset, cleanup);
}

unsigned int CVP3ReadWrite::ReadDesign(IDesign& target, IArchiverStream& stream, CommonTypes::PointI const& offset,
                                       bool cleanup)
{
    unsigned int status = SerializeRead(stream, 0);
    if (Private::IsCriticalError(status))
        return status;
    CSimpleDesign extracted;
    extracted.ReserveStitches(m_root->RecordsUpperBound());
    if (!m_root->ExtractStitchData(extracted))
        status = kStatusBadData;
    // The objects read are of no use once extracted; a file of many designs
    // holds several times its size in them.
    m_root->CleanSubclasses();
    OffsetDesign(extracted, offset);
    Transfer(extracted, target, offset, cleanup);
    return status;
}

unsigned int CVP3ReadWrite::ReadDesigns(std::vector<std::shared_ptr<IDesign>>& targets, IArchiverStream& stream,
                                        CommonTypes::PointI const& offset, bool cleanup)
{
    unsigned int const status = SerializeRead(stream, 0);
    if (Private::IsCriticalError(status))
        return status;
    std::vector<std::shared_ptr<IDesign>> extracted;
    bool const ok = m_root->ExtractStitchDataMulti(extracted);
    m_root->CleanSubclasses();
    targets.clear();
    targets.reserve(extracted.size());
    for (auto& design : extracted) {
        OffsetDesign(*design, offset);
        // Clean-up keeps nothing of an empty design, not even its notes.
        if (cleanup && design->GetStitchCount() == 0)
            design->SetDesignNotes({});
        if (!(cleanup && StartsAt(*design, offset))) {
            // A transfer into a new design would give this very design: hand it over instead.
            targets.push_back(std::move(design));
            continue;
        }
        auto target = std::make_shared<CSimpleDesign>();
        Transfer(*design, *target, offset, cleanup);
        targets.push_back(std::move(target));
    }
    return ok ? status : kStatusBadData;
}

unsigned int CVP3ReadWrite::SerializeRead(IArchiverStream& stream, unsigned char)
{
    // Nothing of an earlier read or write may survive into this one.
    m_root->CleanSubclasses();
    m_embeddedCounts = {};
    char magic[sizeof kMagic] = {};
    Read(stream, magic, sizeof magic);
    if (std::memcmp(magic, kMagic, sizeof kMagic) != 0)
        return kStatusBadMagic;
    unsigned char version = 0;
    Read(stream, version);
    if (version != kFormatVersion)
        return kStatusNoDesign;
    Read(stream, &m_producer);

    CPatternClassHeader header;
    ReadClassInfo(stream, header);
    unsigned int status = kStatusUnexpectedClass;
    if (header.classID == kClassRoot && header.version == 0) {
        CBlockStream rootStream(stream, header.endPosition);
        status = m_root->SerializeRead(rootStream, header.version);
        // Counted now: the objects are let go once their designs are extracted.
        AddEmbeddedObjects(*m_root, m_embeddedCounts);
        if (status != kStatusUnexpectedClass && status != kStatusUnreadable)
            return status;
    } else if (header.classID == kClassRoot) {
        status = kStatusUnreadable;
    }
    return m_root->Subclasses().empty() ? kStatusNoDesign : status;
}

CEmbeddedObjectCounts CVP3ReadWrite::CountEmbeddedObjects() const
{
    return m_embeddedCounts;
}

std::unique_ptr<IDesign> Load(char const* path)
{
    FilePtr const file(std::fopen(path, "rb"));
    auto design = std::make_unique<CSimpleDesign>();
    CVP3ReadWrite vp3;
    if (vp3.ReadFromFile(CDesignHolder(design.get()), file.get(), {0, 0}, true) != kStatusOK)
        return nullptr;
    return design;
}

bool Save(char const* path, IDesign const& design)
{
    FilePtr const file(std::fopen(path, "wb"));
    if (file == nullptr)
        return false;
    CVP3ReadWrite vp3;
    return vp3.WriteToFile(CDesignHolder(design), file.get(), {0, 0}, true) == kStatusOK;
}

} // namespace Brodix::Vp3Lib
