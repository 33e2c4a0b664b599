// The scrambler of the VIP colour table: a password becomes a key schedule
// that fills three rotors of 23, 24 and 25 bytes; the key stream is the
// exclusive or of the rotors, combined byte by byte with the data, and in
// chained mode also with the previous cipher byte. Every object keeps its own
// working state, so separate objects may scramble on separate threads.
#pragma once
#include <memory>

class CryptoRotor {
public:
    CryptoRotor() = default;
    CryptoRotor(char const* bytes, int length);
    CryptoRotor(CryptoRotor const&) = delete;
    CryptoRotor& operator=(CryptoRotor const&) = delete;

    // False, changing nothing, when the rotor already holds bytes.
    bool Load(char const* bytes, int length);

    // The current byte; then the rotor turns by one.
    signed char operator++(int);
    // Position n modulo the length; returns n / length.
    int Set(int n);
    [[nodiscard]] char GetChar() const;
    void Reset() { m_position = 0; }

    [[nodiscard]] int GetLength() const { return m_length; }

private:
    std::unique_ptr<char[]> m_data;
    int m_length = 0;
    int m_position = 0;
};

class CryptoBlackBox {
public:
    enum eDir { DirEncrypt = 0, DirDecrypt = 1 };   // any value but 0 decrypts
    enum eMode { ModePlain = 0, ModeChained = 1 };

    static constexpr int kRotorCount = 3;
    static constexpr int kScheduleLength = 72;

    explicit CryptoBlackBox(char const* password = nullptr, eDir direction = DirEncrypt, eMode mode = ModePlain);

    // False when a password was set before (the first key stays) or the
    // schedule cannot fill the rotors.
    bool SetPassword(char const* password);

    void SetDir(eDir direction) { m_direction = direction; }
    void SetMode(eMode mode) { m_mode = mode; }
    [[nodiscard]] eMode GetMode() const { return m_mode; }

    void SetPtr(int n);
    // Rotors back to their first byte; the feedback bytes stay.
    void Reset();

    // Scrambles or unscrambles in place; rotor positions and feedback carry
    // over to the next call. Needs a password.
    void TransformBuf(char* buffer, int length);

    // The key schedule: outLength bytes from textLength (at least 1) bytes of text.
    static void HashString(char const* text, int textLength, char* out, int outLength);

    // The per-byte steps of TransformBuf: NextKey turns the rotors and keeps
    // their combined byte as the current key, which Encrypt or Decrypt then
    // combines with one byte.
    char NextKey();
    void Encrypt(char& byte);
    void Decrypt(char& byte);

private:
    CryptoRotor m_rotors[kRotorCount];
    eDir m_direction;
    eMode m_mode;
    char m_key = 0;
    char m_decryptFeedback = 0;
    char m_encryptFeedback = 0;
};
