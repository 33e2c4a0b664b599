// Test helpers for the TVK/VIP stream: a bit writer to build streams by hand,
// and a plain reference reader that lists the symbols of a stream, written
// from the stream's description without any of the decoder's tables.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

namespace TvkVipTesting {

class BitWriter {
public:
    BitWriter& Put(int n, unsigned value)
    {
        for (int bit = n - 1; bit >= 0; --bit) {
            if (m_used % 8 == 0)
                m_bytes.push_back(0);
            if (((value >> bit) & 1) != 0)
                m_bytes.back() = static_cast<char>(m_bytes.back() | (0x80 >> (m_used % 8)));
            ++m_used;
        }
        return *this;
    }
    std::vector<char> const& Bytes() const { return m_bytes; }

private:
    std::vector<char> m_bytes;
    int m_used = 0;
};

// One symbol of the stream: a literal, a match (length and position) or the end.
struct Symbol {
    enum Kind { Literal, Match, End } kind;
    int value;      // the byte, or the match length
    int position;   // matches: distance back minus one

    friend bool operator==(Symbol const&, Symbol const&) = default;
};

class ReferenceReader {
public:
    explicit ReferenceReader(std::vector<char> bytes) : m_bytes(std::move(bytes)) {}

    // Every symbol up to and including the end symbol; throws on a bad stream.
    std::vector<Symbol> Symbols()
    {
        std::vector<Symbol> symbols;
        for (;;) {
            unsigned const count = Bits(16);
            m_blockSizes.push_back(count);
            Code const lengthCode = ShortCode(19, 3);
            Code const symbolCode = SymbolCode(lengthCode);
            Code const positionCode = ShortCode(15, -1);
            for (unsigned i = 0; i < count; ++i) {
                int const symbol = Decode(symbolCode);
                if (symbol < 256) {
                    symbols.push_back({Symbol::Literal, symbol, 0});
                    continue;
                }
                int const positionClass = Decode(positionCode);
                int const position =
                    positionClass < 2 ? positionClass : (1 << (positionClass - 1)) + static_cast<int>(Bits(positionClass - 1));
                if (symbol == 510) {
                    symbols.push_back({Symbol::End, 0, position});
                    return symbols;
                }
                symbols.push_back({Symbol::Match, symbol - 253, position});
            }
        }
    }

    // The symbol count of each block read so far.
    std::vector<unsigned> const& BlockSizes() const { return m_blockSizes; }

private:
    // Either one symbol sent in no bits, or canonical codes keyed by (length, code).
    struct Code {
        std::optional<int> only;
        std::map<std::pair<int, unsigned>, int> codes;
    };

    unsigned Bits(int n)
    {
        unsigned value = 0;
        for (int i = 0; i < n; ++i, ++m_bit) {
            std::size_t const byte = m_bit / 8;
            if (byte >= m_bytes.size())
                throw std::runtime_error("stream ends early");
            value = (value << 1) | ((static_cast<unsigned char>(m_bytes[byte]) >> (7 - m_bit % 8)) & 1);
        }
        return value;
    }

    static Code Canonical(std::vector<int> const& lengths)
    {
        Code code;
        unsigned next = 0;
        for (int length = 1; length <= 16; ++length) {
            for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol)
                if (lengths[symbol] == length)
                    code.codes[{length, next++}] = static_cast<int>(symbol);
            next <<= 1;
        }
        return code;
    }

    int Decode(Code const& code)
    {
        if (code.only)
            return *code.only;
        unsigned value = 0;
        for (int length = 1; length <= 16; ++length) {
            value = (value << 1) | Bits(1);
            if (auto const found = code.codes.find({length, value}); found != code.codes.end())
                return found->second;
        }
        throw std::runtime_error("no such code");
    }

    Code ShortCode(int alphabet, int zeroRunAfter)
    {
        int const count = static_cast<int>(Bits(5));
        if (count == 0)
            return Code{static_cast<int>(Bits(5)), {}};
        std::vector<int> lengths(static_cast<std::size_t>(alphabet), 0);
        int i = 0;
        while (i < count) {
            int length = static_cast<int>(Bits(3));
            if (length == 7)
                while (Bits(1) == 1)
                    ++length;
            lengths.at(static_cast<std::size_t>(i++)) = length;
            if (i == zeroRunAfter)
                i += static_cast<int>(Bits(2));
        }
        return Canonical(lengths);
    }

    Code SymbolCode(Code const& lengthCode)
    {
        int const count = static_cast<int>(Bits(9));
        if (count == 0)
            return Code{static_cast<int>(Bits(9)), {}};
        std::vector<int> lengths(511, 0);
        int i = 0;
        while (i < count) {
            int const t = Decode(lengthCode);
            if (t == 0)
                i += 1;
            else if (t == 1)
                i += static_cast<int>(Bits(4)) + 3;
            else if (t == 2)
                i += static_cast<int>(Bits(9)) + 20;
            else
                lengths.at(static_cast<std::size_t>(i++)) = t - 2;
        }
        return Canonical(lengths);
    }

    std::vector<char> m_bytes;
    std::size_t m_bit = 0;
    std::vector<unsigned> m_blockSizes;
};

} // namespace TvkVipTesting
