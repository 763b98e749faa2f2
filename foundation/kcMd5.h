#pragma once
// MD5 message digest (RFC 1321) over data given in any number of pieces.
#include <cstdint>

class kcMd5 {
public:
    kcMd5();
    void Init();
    void Reset();
    void Update(const void* data, unsigned bytes);
    // Writes the 16-byte digest and wipes the object; 0 (object kept) when out is null or too small.
    int Final(void* out, unsigned outBytes);

private:
    void Transform(const uint8_t* block);

    uint32_t m_state[4];
    uint32_t m_bits[2]; // message length in bits: low, high
    uint8_t m_buffer[64];
};
