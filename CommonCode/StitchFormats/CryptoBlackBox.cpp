// The VIP colour-table scrambler: key schedule, rotors and the per-byte steps.
// The original design kept the current key in storage shared by all objects;
// here each object keeps its own, which gives the same bytes without a race.
#include "StitchFormats/CryptoBlackBox.h"
#include <cstdint>
#include <cstring>

namespace {

constexpr uint32_t kScheduleMultiplier = 17;

} // namespace

CryptoRotor::CryptoRotor(char const* bytes, int length)
{
    Load(bytes, length);
}

bool CryptoRotor::Load(char const* bytes, int length)
{
    if (m_data != nullptr)
        return false;
    if (length <= 0 || bytes == nullptr)
        return false;
    m_data = std::make_unique<char[]>(static_cast<std::size_t>(length));
    std::memcpy(m_data.get(), bytes, static_cast<std::size_t>(length));
    m_length = length;
    m_position = 0;
    return true;
}

signed char CryptoRotor::operator++(int)
{
    if (m_length == 0)
        return 0;
    auto const current = static_cast<signed char>(m_data[static_cast<std::size_t>(m_position)]);
    if (++m_position == m_length)
        m_position = 0;
    return current;
}

int CryptoRotor::Set(int n)
{
    if (m_length == 0)
        return 0;
    // A negative n still lands inside the rotor.
    m_position = ((n % m_length) + m_length) % m_length;
    return n / m_length;
}

char CryptoRotor::GetChar() const
{
    return m_length == 0 ? char{0} : m_data[static_cast<std::size_t>(m_position)];
}

CryptoBlackBox::CryptoBlackBox(char const* password, eDir direction, eMode mode)
    : m_direction(direction), m_mode(mode)
{
    if (password != nullptr && password[0] != '\0')
        SetPassword(password);
}

void CryptoBlackBox::HashString(char const* text, int textLength, char* out, int outLength)
{
    if (text == nullptr || textLength <= 0)
        return;
    // Unsigned arithmetic wraps where the 32-bit original would; only the low
    // byte of each step reaches the output.
    uint32_t accumulator = 0;
    for (int i = 0; i < outLength; ++i) {
        auto const c = static_cast<int32_t>(static_cast<signed char>(text[i % textLength]));
        auto const d = static_cast<uint32_t>(static_cast<unsigned char>(text[(i + 1) % textLength]));
        uint32_t const t = (static_cast<uint32_t>(i) + static_cast<uint32_t>(c)) * kScheduleMultiplier;
        out[i] = static_cast<char>((d + (t + accumulator) * static_cast<uint32_t>(c)) & 0xFF);
        accumulator = (accumulator & 0xFF) + t;
    }
}

bool CryptoBlackBox::SetPassword(char const* password)
{
    if (password == nullptr || password[0] == '\0')
        return false;
    char schedule[kScheduleLength];
    HashString(password, static_cast<int>(std::strlen(password)), schedule, kScheduleLength);
    // Slices of 23, 24 and 25 bytes: the rotor lengths share no factor, so the
    // key stream repeats only after 23 * 24 * 25 bytes.
    constexpr int kSliceBase = (kScheduleLength - kRotorCount * (kRotorCount - 1) / 2) / kRotorCount;
    static_assert(kSliceBase > 0);
    bool loaded = true;
    int offset = 0;
    for (int i = 0; i < kRotorCount; ++i) {
        loaded = m_rotors[i].Load(schedule + offset, kSliceBase + i) && loaded;
        offset += kSliceBase + i;
    }
    return loaded;
}

void CryptoBlackBox::SetPtr(int n)
{
    for (auto& rotor : m_rotors)
        rotor.Set(n);
}

void CryptoBlackBox::Reset()
{
    for (auto& rotor : m_rotors)
        rotor.Reset();
}

char CryptoBlackBox::NextKey()
{
    signed char key = 0;
    for (auto& rotor : m_rotors)
        key = static_cast<signed char>(key ^ rotor++);
    m_key = static_cast<char>(key);
    return m_key;
}

void CryptoBlackBox::Encrypt(char& byte)
{
    char const cipher = static_cast<char>(m_key ^ byte ^ m_encryptFeedback);
    if (m_mode == ModeChained)
        m_encryptFeedback = cipher;
    byte = cipher;
}

void CryptoBlackBox::Decrypt(char& byte)
{
    char const plain = static_cast<char>(m_key ^ byte ^ m_decryptFeedback);
    if (m_mode == ModeChained)
        m_decryptFeedback = byte;
    byte = plain;
}

void CryptoBlackBox::TransformBuf(char* buffer, int length)
{
    for (int i = 0; i < length; ++i) {
        NextKey();
        if (m_direction == DirEncrypt)
            Encrypt(buffer[i]);
        else
            Decrypt(buffer[i]);
    }
}
