#pragma once
// Blowfish (Schneier, 1993) in ECB mode, and the front the archive reader uses to decipher members.
#include <cstdint>

class kcBlowfish {
public:
    kcBlowfish();
    ~kcBlowfish();

    // Standard key schedule over key bytes cycled to 72; starts again from the pi tables each time.
    void SetKey(const uint8_t* key, int length);
    void EncipherBlock(uint32_t* left, uint32_t* right) const;
    void DecipherBlock(uint32_t* left, uint32_t* right) const;

    // Whole buffers, block by block. A short last block is zero-padded, so dst must hold
    // bytes rounded up to a multiple of 8.
    void Encipher(void* dst, const void* src, int bytes) const;
    void Decipher(void* dst, const void* src, int bytes) const;

    // The initial tables: 18 + 4 * 256 words of the hexadecimal fraction of pi.
    static const uint32_t* PiWords();

private:
    kcBlowfish(const kcBlowfish&) = delete;
    kcBlowfish& operator=(const kcBlowfish&) = delete;
    uint32_t F(uint32_t x) const;
    void Process(void* dst, const void* src, int bytes, bool encipher) const;

    uint32_t* m_p; // 18 words
    uint32_t* m_s; // 4 boxes of 256 words
};

class kcProtect {
public:
    kcProtect();
    ~kcProtect();

    // 1 when the key was taken; a null or empty key is refused (0) and the old key stays.
    int SetKey(const void* key, int length);
    // Both return bytes, or 0 without key, for null pointers, for no bytes, or (logged) for a
    // size that is not a multiple of 8. dst may equal src.
    int Encrypt(void* dst, const void* src, int bytes);
    int Decrypt(void* dst, const void* src, int bytes);

private:
    kcProtect(const kcProtect&) = delete;
    kcProtect& operator=(const kcProtect&) = delete;
    int CheckArgs(void* dst, const void* src, int bytes) const;

    kcBlowfish* m_engine;
};
