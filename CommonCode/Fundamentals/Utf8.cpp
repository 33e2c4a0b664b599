#include "Fundamentals/Utf8.h"

namespace Brodix::Utf8 {
namespace {

constexpr unsigned char kSingleByteLimit = 0x80;
constexpr unsigned char kContinuationMask = 0b1100'0000;
constexpr unsigned char kContinuationTag = 0b1000'0000;
constexpr unsigned char kContinuationPayload = 0b0011'1111;
constexpr int kBitsPerContinuation = 6;

// A lead byte of a multi-byte sequence: its tag under the mask, the payload
// bits it carries, the sequence length, and the smallest value that needs
// that length (anything below is an overlong form).
struct LeadForm {
    unsigned char mask;
    unsigned char tag;
    unsigned char payload;
    std::size_t length;
    char32_t smallest;
};

constexpr LeadForm kLeadForms[] = {
    {0b1110'0000, 0b1100'0000, 0b0001'1111, 2, 0x80},
    {0b1111'0000, 0b1110'0000, 0b0000'1111, 3, 0x800},
    {0b1111'1000, 0b1111'0000, 0b0000'0111, 4, 0x10000},
};

LeadForm const* FormOf(unsigned char lead)
{
    for (LeadForm const& form : kLeadForms)
        if ((lead & form.mask) == form.tag)
            return &form;
    return nullptr;
}

char ContinuationByte(char32_t c, int shift)
{
    return static_cast<char>(kContinuationTag | ((c >> shift) & kContinuationPayload));
}

} // namespace

std::optional<Decoded> DecodeOne(std::string_view bytes)
{
    if (bytes.empty())
        return std::nullopt;
    auto const lead = static_cast<unsigned char>(bytes[0]);
    if (lead < kSingleByteLimit)
        return Decoded{lead, 1};
    LeadForm const* form = FormOf(lead);
    if (form == nullptr || bytes.size() < form->length)
        return std::nullopt;
    char32_t c = lead & form->payload;
    for (std::size_t k = 1; k < form->length; ++k) {
        auto const next = static_cast<unsigned char>(bytes[k]);
        if ((next & kContinuationMask) != kContinuationTag)
            return std::nullopt;
        c = (c << kBitsPerContinuation) | (next & kContinuationPayload);
    }
    if (c < form->smallest || !IsScalarValue(c))
        return std::nullopt;
    return Decoded{c, form->length};
}

bool Encode(char32_t c, std::string& out)
{
    if (!IsScalarValue(c))
        return false;
    if (c < kSingleByteLimit) {
        out.push_back(static_cast<char>(c));
        return true;
    }
    // The forms go up in size; the last one whose smallest value c reaches is c's shortest form.
    LeadForm const* form = &kLeadForms[0];
    for (LeadForm const& candidate : kLeadForms)
        if (c >= candidate.smallest)
            form = &candidate;
    int shift = kBitsPerContinuation * static_cast<int>(form->length - 1);
    out.push_back(static_cast<char>(form->tag | (c >> shift)));
    while (shift > 0) {
        shift -= kBitsPerContinuation;
        out.push_back(ContinuationByte(c, shift));
    }
    return true;
}

} // namespace Brodix::Utf8
