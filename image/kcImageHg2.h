#pragma once
// HG-2: the engine's lossless image format, and the pixel coding it shares with HG-3 bands
// (row deltas, folded bytes split into bit planes, zero runs, two zlib streams).
#include "image/kcByteReader.h"
#include "image/kcImage.h"

// Decoder of one block in the HG-2 coding, with its lookup tables and bit-reader state.
class kcHg2Coding {
public:
    kcHg2Coding();

    enum Result { kOk, kByteAreaSize, kBitAreaSize, kBadData };

    // Decodes stream 1 (byte area) and stream 2 (bit stream) into `rows` rows of rowBytes
    // bytes: the first decoded row is pixels + firstRow * pitch (coded with the left delta),
    // each further row the one above the previous, coded against it. The caller guarantees
    // that rows firstRow - rows + 1 .. firstRow exist.
    Result Decode(const uint8_t* stream1, uint32_t packed1, uint32_t raw1, const uint8_t* stream2, uint32_t packed2,
                  uint32_t raw2, uint8_t* pixels, int pitch, int firstRow, int rows, int rowBytes, int bytesPerPixel);

    // Widens d-bit samples (d = 4..7) to 8 bits by repeating their top bits.
    static void WidenDepth(uint8_t* pixels, uint32_t bytes, int depth);

    static uint8_t Fold(uint8_t v) { return v < 128 ? static_cast<uint8_t>(2 * v) : static_cast<uint8_t>(2 * (255 - v) + 1); }
    uint8_t Unfold(uint8_t v) const { return m_unfold[v]; }
    // Four unfolded data bytes from the plane bytes of one position (what the interleave
    // tables and the unfold table give together, in one step).
    uint32_t UnfoldedWord(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3) const
    {
        return m_unfolded[0][p0] ^ m_unfolded[1][p1] ^ m_unfolded[2][p2] ^ m_unfolded[3][p3];
    }
    uint32_t InterleavedWord(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3) const
    {
        return m_interleave[0][p0] | m_interleave[1][p1] | m_interleave[2][p2] | m_interleave[3][p3];
    }

private:
    bool Expand(const uint8_t* area, uint32_t byteCount, uint8_t* planes, uint32_t total, bool dataFirst);
    void Rebuild(const uint8_t* planes, uint32_t quarter, uint8_t* rowBuffer, uint8_t* pixels, int pitch, int firstRow,
                 int rows, int rowBytes, int bpp) const;
    void StartBits(const uint8_t* bits, uint32_t bytes);
    uint32_t Window() const;
    bool ReadBit(uint32_t* bit);
    bool ReadGamma(uint32_t* value);
    bool ReadLongGamma(uint32_t* value);

    uint32_t m_interleave[4][256];
    uint8_t m_unfold[256];
    // The unfold distributed over the planes: since unfold(d) = (d >> 1) ^ (d & 1 ? 0xFF : 0)
    // and the planes fill disjoint bits of d, each plane's share can be tabled and XORed.
    uint32_t m_unfolded[4][256];
    // Bit reader: the stream (followed by at least 8 zero bytes), the position of the next bit
    // and the number of bits in the stream.
    const uint8_t* m_bits;
    uint32_t m_bitPos;
    uint32_t m_bitLimit;
};

class kcImageHg2 : public kcImage {
public:
    kcImageHg2();
    ~kcImageHg2() override;
    bool Load(const MemoryBlock* source, int frameId) override;
    bool LoadIndexed(const MemoryBlock* source, unsigned index, int* frameIdOut) override;
    bool Save(MemoryBlock* destination, int frameId, int headerValueA, int headerValueB, int clearTransparent) override;

    static bool Probe(const MemoryBlock* block);

private:
    // Offsets of a frame's info block and record (record 0 for version 16).
    struct Frame {
        uint32_t info;
        uint32_t record;
        int id;
    };
    bool CheckHeader(const kcByteReader& r, int* version);
    bool FindFrame(const kcByteReader& r, int version, bool byIndex, int idOrIndex, Frame* out);
    bool ReadFrame(const kcByteReader& r, int version, const Frame& frame);
    int Encode(uint8_t* out, uint32_t capacity, int frameId);

    int m_reservedA, m_reservedB;
    int m_crop;
    kcHg2Coding m_coding;
};
