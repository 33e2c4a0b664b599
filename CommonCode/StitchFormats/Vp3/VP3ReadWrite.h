// The VP3 file: writing designs of the model into a VP3 file image, and
// reading one back into designs. The entry points return the status codes
// of VP3Status.h.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "Fundamentals/CommonTypes.h"
#include "Fundamentals/Design.h"
#include "Fundamentals/FileStream.h"
#include "Fundamentals/MemoryStream.h"
#include "StitchFormats/Vp3/BufferStreams.h"
#include "StitchFormats/Vp3/PatternBase.h"
#include "StitchFormats/Vp3/PatternCompositeRoot.h"
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace Brodix::Vp3Lib {

// Names what is written, or read into: one design when design is set, else
// the vector of designs. A read-only holder must not be read into.
struct CDesignHolder {
    struct BadAccess {};

    explicit CDesignHolder(IDesign* design, bool readOnly = false) : design(design), readOnly(readOnly) {}
    // For writing a design the caller may not have us change.
    explicit CDesignHolder(IDesign const& design) : design(const_cast<IDesign*>(&design)), readOnly(true) {}
    explicit CDesignHolder(std::vector<std::shared_ptr<IDesign>>* designs, bool readOnly = false)
        : designs(designs), readOnly(readOnly)
    {
    }

    static void CheckAndThrow(bool failed)
    {
        if (failed)
            throw BadAccess();
    }

    IDesign* design = nullptr;
    std::vector<std::shared_ptr<IDesign>>* designs = nullptr;
    bool readOnly = false;
};

// Lettering and embedded SPX objects kept by a read.
struct CEmbeddedObjectCounts {
    unsigned long texts = 0;
    unsigned long characters = 0;
    unsigned long spxObjects = 0;
};

class CVP3ReadWrite : public CPatternBase {
public:
    // Grows as it is written; writing inside the data overwrites, which the
    // length back-patching of class blocks needs.
    class MemoryWriteStream : public Archivers::MemoryStreamRW<IArchiverStream> {};

    // The caller's bytes, read where they are: they must outlive the stream.
    class MemoryReadStream : public Archivers::MemoryReadStream<IArchiverStream> {
    public:
        struct NotImplemented {};
        MemoryReadStream(void const* data, unsigned long size) : Archivers::MemoryReadStream<IArchiverStream>(data, size) {}
        unsigned long Write(void const*, unsigned long) override { throw NotImplemented(); }
    };

    // A caller's open file; it stays open.
    class FileAsStream : public Archivers::FileStreamRW<IArchiverStream> {
    public:
        explicit FileAsStream(std::FILE* file) : FileStreamRW(file, false) {}
    };

    CVP3ReadWrite();
    ~CVP3ReadWrite() override;

    // On success buffer is a malloc'ed block of size bytes that the caller
    // frees; on any other status neither is touched.
    [[nodiscard]] unsigned int WriteToMemory(CDesignHolder const& holder, void*& buffer, unsigned long& size,
                                             CommonTypes::PointI const& offset, bool nudge);
    // On success bytes holds the file, and only then is it changed.
    [[nodiscard]] unsigned int WriteToBytes(CDesignHolder const& holder, std::vector<unsigned char>& bytes,
                                            CommonTypes::PointI const& offset, bool nudge);
    [[nodiscard]] unsigned int WriteToStream(CDesignHolder const& holder, IArchiverStream& stream,
                                             CommonTypes::PointI const& offset, bool nudge);
    // kStatusNoFile also when the file does not take every byte.
    [[nodiscard]] unsigned int WriteToFile(CDesignHolder const& holder, std::FILE* file,
                                           CommonTypes::PointI const& offset, bool nudge);
    [[nodiscard]] unsigned int WriteToFile(CDesignHolder const& holder, wchar_t const* path,
                                           CommonTypes::PointI const& offset, bool nudge);

    [[nodiscard]] unsigned int ReadFromMemory(CDesignHolder const& holder, void const* data, unsigned long size,
                                              CommonTypes::PointI const& offset, bool cleanup);
    [[nodiscard]] unsigned int ReadFromStream(CDesignHolder const& holder, IArchiverStream& stream,
                                              CommonTypes::PointI const& offset, bool cleanup);
    [[nodiscard]] unsigned int ReadFromFile(CDesignHolder const& holder, std::FILE* file,
                                            CommonTypes::PointI const& offset, bool cleanup);
    // Always cleans up, whatever the flag says.
    [[nodiscard]] unsigned int ReadFromFile(CDesignHolder const& holder, wchar_t const* path,
                                            CommonTypes::PointI const& offset, bool cleanup);

    unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) override;
    unsigned int SerializeWrite(IArchiverStream& stream) const override;

    std::wstring const& Producer() const { return m_producer; }
    // What the last read kept, sequences included.
    CEmbeddedObjectCounts CountEmbeddedObjects() const;

private:
    // Builds the objects of the file from the designs; SerializeWrite then
    // writes them.
    unsigned int Prepare(CDesignHolder const& holder, CommonTypes::PointI const& offset, bool nudge);
    unsigned int PrepareDesign(IDesign const& design, CommonTypes::PointI const& offset, bool nudge);
    unsigned int PrepareDesigns(std::vector<std::shared_ptr<IDesign>> const& designs,
                                CommonTypes::PointI const& offset, bool nudge);
    // The prepared file written into a block of the size it takes, which
    // allocate(size) gives; null when allocate does.
    template <typename Allocate>
    unsigned char* SerializeIntoBlock(unsigned long& size, Allocate allocate) const;
    unsigned int ReadFromStreamImpl(CDesignHolder const& holder, IArchiverStream& stream,
                                    CommonTypes::PointI const& offset, bool cleanup);
    unsigned int ReadDesign(IDesign& target, IArchiverStream& stream, CommonTypes::PointI const& offset,
                            bool cleanup);
    unsigned int ReadDesigns(std::vector<std::shared_ptr<IDesign>>& targets, IArchiverStream& stream,
                             CommonTypes::PointI const& offset, bool cleanup);

    std::wstring m_producer;
    std::unique_ptr<CPatternCompositeRoot> m_root;
    CEmbeddedObjectCounts m_embeddedCounts;
};

// Reads a VP3 file into one design; null unless the status is 0.
std::unique_ptr<IDesign> Load(char const* path);
// Writes the design as a VP3 file; true when it was written in full.
bool Save(char const* path, IDesign const& design);

// Moves a first stitch lying exactly on (0, 0) off it by one unit, and the
// colour change of the first block holding stitches too, writing the result
// into target; a design without stitches leaves target alone.
void Nudge00SubDesignForWrite(IDesign const& source, IDesign& target);
// Undoes, on reading, what the nudge did: when source's first record lies on
// the offset point, each colour change moves onto its colour's first stitch.
void Cleanup00SubDesignFromRead(IDesign const& source, IDesign& target, CommonTypes::PointI offset);
void OffsetDesign(IDesign& design, CommonTypes::PointI offset);

} // namespace Brodix::Vp3Lib
