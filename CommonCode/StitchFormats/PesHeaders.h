// The version headers that open a PES file. Each class parses the layout of
// its versions and answers what the PES reader asks: where the first card-data
// block starts, how many hoop positions there are, the hoop and how it is
// turned, the multi-position hoop type, a custom hoop grid and the notes.
// Every header keeps the bytes it read in file order; all values little-endian.
#pragma once
#include "Fundamentals/ArchiverStream.h"
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// One optional text field of the headers of version 40 and later.
using PESTextField = std::optional<std::string>;

class BasePESHeader {
public:
    // Virtual so that any header can be owned and destroyed through the root.
    virtual ~BasePESHeader() = default;

    virtual void SetDefaults() = 0;
    virtual int GetVersion() const = 0;
    virtual bool IsIndustrialMachine() const { return false; }
    virtual void GetHoop(int& width, int& height, bool& rotated) const = 0;
    virtual int GetNumHoops() const { return 1; }
    [[nodiscard]] virtual bool LoadFromFile(Brodix::IArchiverStream& stream) = 0;
    virtual uint32_t GetCardDataPos() const;
    virtual void GetDimensions(int& width, int& height) const = 0;
    virtual int GetHoopType() const { return 0; }
    virtual void CopyNotes(char* buffer, int size) const;
    virtual void GetCustomHoop(int& gridWidth, int& gridHeight, int& cellWidth, int& cellHeight) const;
    virtual bool Requires180Rotate() const { return false; }
    // True for a version whose PES section is not read: the design comes from
    // the PEC section alone, placed as a PEC file is.
    virtual bool ReadsOnlyPecSection() const { return false; }

protected:
    static constexpr std::size_t kMagicSize = 8;
    static constexpr std::size_t kOffsetCardDataPos = 8;
    // The longest fixed block, that of versions 25 to 80.
    static constexpr std::size_t kFixedCapacity = 38;

    BasePESHeader() = default;
    BasePESHeader(BasePESHeader const&) = default;
    BasePESHeader& operator=(BasePESHeader const&) = default;

    // Clears the fixed bytes and writes the magic "#PES" + the four digits.
    void ResetFixed(char const* digits);
    void SetMagicDigits(char const* digits);
    int Word(std::size_t offset) const;
    void SetWord(std::size_t offset, int value);
    // Reads straight into the fixed bytes; a short read keeps the bytes it did not reach.
    bool ReadFixed(Brodix::IArchiverStream& stream, std::size_t offset, std::size_t size);
    // The version whose magic is held, if it is one of the candidates, else -1.
    int MatchVersion(std::initializer_list<int> candidates) const;

    std::array<uint8_t, kFixedCapacity> m_fixed{};
};

// Version 1: a hoop code instead of extents.
class PES1Header : public BasePESHeader {
public:
    PES1Header() { PES1Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void GetDimensions(int& width, int& height) const override;
};

// Version 20: hoop extents and a rotation flag, one block.
class PES2Header : public BasePESHeader {
public:
    PES2Header() { PES2Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void GetDimensions(int& width, int& height) const override;
};

// Versions 25 and 30: adds the number of card-data blocks (hoop positions).
class PES25_3Header : public BasePESHeader {
public:
    PES25_3Header() { PES25_3Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    void GetHoop(int& width, int& height, bool& rotated) const override;
    int GetNumHoops() const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void GetDimensions(int& width, int& height) const override;
    int GetHoopType() const override;

protected:
    static constexpr std::size_t kOffsetNumHoops = 12;
    static constexpr std::size_t kOffsetKept = 14;
    static constexpr std::size_t kOffsetExtentA = 16;
    static constexpr std::size_t kOffsetExtentB = 18;
    static constexpr std::size_t kOffsetRotation = 20;
    static constexpr std::size_t kOffsetKeptValues = 22;
    static constexpr std::size_t kFixedSize = 38;

    int ExtentA() const { return Word(kOffsetExtentA); }
    int ExtentB() const { return Word(kOffsetExtentB); }
    int RotationFlag() const { return Word(kOffsetRotation); }
    bool Extents(int a, int b) const { return ExtentA() == a && ExtentB() == b; }
    bool Extents(int a, int b, int flag) const { return Extents(a, b) && RotationFlag() == flag; }
    // The unswapped-unless-flagged answer shared by versions 20 to 50 and 80.
    void GetFlaggedHoop(int& width, int& height, bool& rotated) const;
    // The three-position hoops recognised by their extents.
    int HoopTypeFromExtents() const;
    bool IsIndustrialHoop() const;
};

// Version 40: the five text fields of the design information.
class PES4Header : public PES25_3Header {
public:
    static constexpr int kTextFieldCount = 5;

    PES4Header() { PES4Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void CopyNotes(char* buffer, int size) const override;

    PESTextField const& GetTextField(int index) const { return m_text.at(index); }

protected:
    bool ReadTextFields(Brodix::IArchiverStream& stream);

    std::array<PESTextField, kTextFieldCount> m_text;
};

// Versions 50, 55 and 56: the version 40 layout with the industrial hoops.
class PES5Header : public PES4Header {
public:
    PES5Header() { PES5Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    bool IsIndustrialMachine() const override { return IsIndustrialHoop(); }
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool Requires180Rotate() const override;
};

// Version 60: adds the custom hoop grid.
class PES6Header : public PES4Header {
public:
    PES6Header() { PES6Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    bool IsIndustrialMachine() const override { return IsIndustrialHoop(); }
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    int GetHoopType() const override;
    void GetCustomHoop(int& gridWidth, int& gridHeight, int& cellWidth, int& cellHeight) const override;
    bool Requires180Rotate() const override;

    bool IsCustomHoop() const { return m_customIndicator[0] == 1; }

protected:
    static constexpr std::size_t kCustomValueCount = 4;

    bool ReadCustomIndicator(Brodix::IArchiverStream& stream);
    bool ReadCustomValues(Brodix::IArchiverStream& stream);

    std::array<uint8_t, 2> m_customIndicator{};
    std::array<uint8_t, 2 * kCustomValueCount> m_customValues{};
};

// Versions 70 and 71: more hoops of the version 60 layout.
class PES7Header : public PES6Header {
public:
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool Requires180Rotate() const override;
};

// Version 80: the version 60 fields in another order, and a sixth text field.
class PES8Header : public PES6Header {
public:
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    int GetHoopType() const override;
    bool Requires180Rotate() const override;
};

// Versions 90 to 93: machine class and hoop code instead of extents.
class PES9Header : public BasePESHeader {
public:
    static constexpr int kTextFieldCount = 5;
    static constexpr std::size_t kHoopBlockSize = 14;
    static constexpr std::size_t kTailSize = 71;

    // The fields that follow the fixed start, in file order.
    struct PES9_Data {
        std::array<PESTextField, kTextFieldCount> text;
        std::array<uint8_t, kHoopBlockSize> hoop{};   // kept, custom flag, code, width, height, two kept
        PESTextField extraText;                        // kept, not part of the notes
        std::array<uint8_t, kTailSize> tail{};        // rotation, custom hoop, machine hoop code, kept
    };

    PES9Header() { PES9Header::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override;
    bool IsIndustrialMachine() const override;
    void GetHoop(int& width, int& height, bool& rotated) const override;
    int GetNumHoops() const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void GetDimensions(int& width, int& height) const override;
    int GetHoopType() const override;
    void CopyNotes(char* buffer, int size) const override;
    void GetCustomHoop(int& gridWidth, int& gridHeight, int& cellWidth, int& cellHeight) const override;
    bool Requires180Rotate() const override;

    void CleanUpPES9Data();
    PES9_Data const& GetData() const { return m_data; }

private:
    bool IsMachineClass(char const* code) const;
    bool IsHomeMachine() const { return IsMachineClass("01") || IsMachineClass("02"); }
    bool IsIndustrialClass() const { return IsMachineClass("10") || IsMachineClass("20"); }
    int HoopWord(std::size_t offset) const;
    int TailWord(std::size_t offset) const;

    PES9_Data m_data;
};

// A version newer than every layout above. Only the magic and the offset of
// the PEC section are read; loading fails unless that offset leads to a PEC
// section (its "LA:" label).
class PESNewerHeader : public BasePESHeader {
public:
    explicit PESNewerHeader(int version) : m_version(version) { PESNewerHeader::SetDefaults(); }
    void SetDefaults() override;
    int GetVersion() const override { return m_version; }
    void GetHoop(int& width, int& height, bool& rotated) const override;
    bool LoadFromFile(Brodix::IArchiverStream& stream) override;
    void GetDimensions(int& width, int& height) const override;
    bool ReadsOnlyPecSection() const override { return true; }

private:
    int m_version;
};

// The newest version whose header layout is known.
inline constexpr int kNewestKnownPESVersion = 93;

// Reads one text field: a length byte (0 absent, 255 a 16-bit length follows)
// then the text. False when the stream holds less than announced.
bool ReadPESTextField(Brodix::IArchiverStream& stream, PESTextField& field);

// The header class for a version number, or null for a version no class reads.
std::unique_ptr<BasePESHeader> CreatePESHeader(int version);
// A PESNewerHeader for a version after kNewestKnownPESVersion, else null.
std::unique_ptr<BasePESHeader> CreateNewerPESHeader(int version);
