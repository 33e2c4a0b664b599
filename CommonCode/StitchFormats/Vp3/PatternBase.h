// What every VP3 object shares: the class block header, the scope object
// that writes a block and back-patches its length, and the base class that
// owns an object's children.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include "StitchFormats/Vp3/VP3Status.h"
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IDesign;

namespace Brodix::Vp3Lib {

struct CPatternClassHeader {
    unsigned short classID = 0;
    unsigned char version = 0;
    unsigned int length = 0;       // bytes after the length field, children included
    uint64_t endPosition = 0;      // position after the length field plus the length
};

// Writes a block header on construction and, on destruction, the number of
// bytes written since into the header's length field.
class CWriteClassInfoBlock {
public:
    CWriteClassInfoBlock(IArchiverStream* stream, CPatternClassHeader const& header);
    ~CWriteClassInfoBlock();
    CWriteClassInfoBlock(CWriteClassInfoBlock const&) = delete;
    CWriteClassInfoBlock& operator=(CWriteClassInfoBlock const&) = delete;

private:
    IArchiverStream* m_stream;
    unsigned long m_lengthPosition;
    unsigned long m_bodyStart;
};

class CPatternBase {
public:
    CPatternBase() = default;
    virtual ~CPatternBase() = default;
    CPatternBase(CPatternBase const&) = delete;
    CPatternBase& operator=(CPatternBase const&) = delete;

    [[nodiscard]] virtual unsigned int SerializeRead(IArchiverStream& stream, unsigned char version) = 0;
    [[nodiscard]] virtual unsigned int SerializeWrite(IArchiverStream& stream) const = 0;
    virtual unsigned int GetClassID() const { return kClassNone; }

    static void ReadClassInfo(IArchiverStream& stream, CPatternClassHeader& header);
    static void SkipClass(IArchiverStream& stream, CPatternClassHeader const& header);

    void CleanSubclasses() { m_subclasses.clear(); }
    // Merges non-empty notes into the design's notes.
    static void AddNotes(std::wstring const& notes, IDesign& design);
    static std::wstring GetProducerString();

    std::vector<std::unique_ptr<CPatternBase>> const& Subclasses() const { return m_subclasses; }
    // How many design records this object and its children can extract at most.
    virtual std::size_t RecordsUpperBound() const;
    unsigned char Precision() const { return m_precision; }
    void SetPrecision(unsigned char precision) { m_precision = precision; }

protected:
    std::vector<std::unique_ptr<CPatternBase>> m_subclasses;
    unsigned char m_precision = 12;   // fraction bits of fixed-point matrix entries
};

} // namespace Brodix::Vp3Lib
