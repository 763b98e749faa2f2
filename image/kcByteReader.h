#pragma once
// Bounded little-endian reader over bytes that came from a file. Every read checks what
// remains before touching memory; a failed read sets a sticky flag and yields 0, so a decoder
// can read a whole header and test Ok() once. Offsets are compared, never added to pointers
// before they are known to fit.
#include <cstdint>
#include <cstring>

class kcByteReader {
public:
    kcByteReader() : m_data(nullptr), m_size(0), m_pos(0), m_ok(true) {}
    kcByteReader(const void* data, uint32_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(data ? size : 0), m_pos(0), m_ok(true) {}

    uint32_t Size() const { return m_size; }
    uint32_t Pos() const { return m_pos; }
    uint32_t Remaining() const { return m_size - m_pos; }
    bool Ok() const { return m_ok; }
    void Fail() { m_ok = false; }
    bool Has(uint32_t n) const { return n <= m_size - m_pos; }
    const uint8_t* Data() const { return m_data; }

    // Moves to an absolute position; fails (and stays put) beyond the end.
    bool Seek(uint32_t pos)
    {
        if (pos > m_size) return m_ok = false;
        m_pos = pos;
        return true;
    }
    bool Skip(uint32_t n)
    {
        if (!Has(n)) return m_ok = false;
        m_pos += n;
        return true;
    }

    // Pointer to the next n bytes (consumed), or null when fewer remain.
    const uint8_t* Take(uint32_t n)
    {
        // After a failure every read fails too, so no pointer escapes a broken parse.
        if (!m_ok || !Has(n)) {
            m_ok = false;
            return nullptr;
        }
        const uint8_t* p = m_data + m_pos;
        m_pos += n;
        return p;
    }
    // Pointer to n bytes at an absolute offset, without moving; null when out of range.
    const uint8_t* At(uint32_t offset, uint32_t n) const
    {
        if (offset > m_size || n > m_size - offset) return nullptr;
        return m_data + offset;
    }
    bool Bytes(void* dst, uint32_t n)
    {
        const uint8_t* p = Take(n);
        if (p && n) memcpy(dst, p, n);
        return p != nullptr;
    }

    uint8_t U8()
    {
        const uint8_t* p = Take(1);
        return p ? p[0] : 0;
    }
    uint16_t U16()
    {
        const uint8_t* p = Take(2);
        return p ? Le16(p) : 0;
    }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    uint32_t U32()
    {
        const uint8_t* p = Take(4);
        return p ? Le32(p) : 0;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    // Big-endian reads, for formats that store their numbers so.
    uint16_t U16Be()
    {
        const uint8_t* p = Take(2);
        return p ? static_cast<uint16_t>((p[0] << 8) | p[1]) : 0;
    }
    uint32_t U32Be()
    {
        const uint8_t* p = Take(4);
        return p ? (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
                       (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3])
                 : 0;
    }

    // A reader over [offset, offset + length) of this one; an empty, failed reader when the
    // range does not lie inside.
    kcByteReader Sub(uint32_t offset, uint32_t length) const
    {
        const uint8_t* p = At(offset, length);
        kcByteReader r(p, p ? length : 0);
        if (!p) r.m_ok = false;
        return r;
    }

    static uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
    static uint32_t Le32(const uint8_t* p)
    {
        return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
               (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
    }

private:
    const uint8_t* m_data;
    uint32_t m_size;
    uint32_t m_pos;
    bool m_ok;
};
