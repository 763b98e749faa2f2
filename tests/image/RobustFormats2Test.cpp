// The KCF, BMP, PSD, PNG, JPEG and WebP readers get thousands of deterministic mutations of
// valid files (bit flips, truncations, size fields set to extremes) and must answer true or
// false cleanly, without leaking. The bytes end flush against an inaccessible page, so any read
// past the block stops the test.
#include "image/kcImageBmp.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageKcf.h"
#include "image/kcImagePng.h"
#include "image/kcImagePsd.h"
#include "image/kcImageWebP.h"
#include "image/FormatTestSupport.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <functional>

namespace {

class PageEndBlock {
public:
    explicit PageEndBlock(const ByteVec& bytes)
    {
        const size_t page = 4096;
        m_span = (bytes.size() + page - 1) / page * page + page;
        m_base = (uint8_t*)VirtualAlloc(nullptr, m_span, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
        DWORD old = 0;
        VirtualProtect(m_base + m_span - page, page, PAGE_NOACCESS, &old);
        uint8_t* start = m_base + m_span - page - bytes.size();
        if (!bytes.empty()) memcpy(start, bytes.data(), bytes.size());
        m_block.data = start;
        m_block.size = m_block.capacity = (uint32_t)bytes.size();
        m_block.external = 1;
    }
    ~PageEndBlock() { VirtualFree(m_base, 0, MEM_RELEASE); }
    const MemoryBlock* Block() const { return &m_block; }

private:
    uint8_t* m_base;
    size_t m_span;
    MemoryBlock m_block;
};

// xorshift32: the same mutations on every run.
struct Mutator {
    uint32_t state;
    uint32_t Below(uint32_t n)
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return n ? state % n : 0;
    }

    ByteVec Apply(const ByteVec& in, bool bigEndian)
    {
        static const uint32_t kExtremes[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x10000, 0xFFFF, 0x8000};
        ByteVec s = in;
        const uint32_t size = (uint32_t)s.size();
        switch (Below(4)) {
        case 0:
            for (uint32_t n = 1 + Below(3); n > 0; --n) s[Below(size)] ^= (uint8_t)(1u << Below(8));
            break;
        case 1:
            s.resize(Below(size));
            break;
        case 2: {
            // Mostly inside the headers, where the sizes and offsets are.
            uint32_t limit = size > 96 && Below(4) ? 96 : size;
            uint32_t at = Below(limit - 3);
            uint32_t v = Below(9) == 8 ? size + Below(3) : kExtremes[Below(8)];
            for (int i = 0; i < 4; ++i) s[at + i] = (uint8_t)(v >> (bigEndian ? 24 - 8 * i : 8 * i));
            break;
        }
        default: {
            uint32_t at = Below(size - 1);
            uint16_t v = (uint16_t)(Below(2) ? Below(64) : 0xFFFF - Below(4));
            s[at] = (uint8_t)(bigEndian ? v >> 8 : v);
            s[at + 1] = (uint8_t)(bigEndian ? v : v >> 8);
            break;
        }
        }
        return s;
    }
};

ByteVec Saved(kcImage* image, int w, int h, int bpp)
{
    FillPattern(image, w, h, bpp);
    MemoryBlock out;
    EXPECT_TRUE(image->Save(&out, 0, 0, 0, 0));
    ByteVec bytes = BlockBytes(out);
    out.Free();
    image->Release();
    return bytes;
}

template <class T>
kcImage* Make()
{
    return new T();
}

struct Format {
    const char* name;
    std::function<std::vector<ByteVec>()> samples;
    kcImage* (*create)();
    bool (*probe)(const MemoryBlock*);
    bool bigEndian;
    // Extra entry points that read the same bytes (the caller-pixel decoders, the layer parser).
    std::function<void(const MemoryBlock*)> more;
};

void DecodeToCallerPixels(bool (*decode)(const uint8_t*, uint32_t, uint8_t*, int, int, int, int),
                          const MemoryBlock* b)
{
    static uint8_t pixels[16 * 12 * 4];
    decode(b->data, b->size, pixels, 16, 12, 64, 4);
    decode(b->data, b->size, pixels, 16, 12, 48, 3);
}

const Format kFormats[] = {
    {"KCF", [] { return std::vector<ByteVec>{Saved(new kcImageKcf, 16, 12, 4), Saved(new kcImageKcf, 9, 7, 3)}; },
     Make<kcImageKcf>, kcImageKcf::Probe, false, nullptr},
    {"BMP", [] { return std::vector<ByteVec>{Saved(new kcImageBmp, 9, 7, 3), Saved(new kcImageBmp, 6, 5, 4)}; },
     Make<kcImageBmp>, kcImageBmp::Probe, false, nullptr},
    {"PSD",
     [] {
         ByteVec rle = {0, 2, 0, 2, 0, 2, 0, 4, 0, 4, 0, 4};
         for (int c = 0; c < 3; ++c) rle.insert(rle.end(), {(uint8_t)(254 - c), 9, 1, 7, 8, 200, 3});
         return std::vector<ByteVec>{MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2()), MakePsd(5, 2, ByteVec(), 1, rle),
                                     LayeredPsd()};
     },
     Make<kcImagePsd>, kcImagePsd::Probe, true,
     [](const MemoryBlock* b) {
         kcPsdInfo info;
         int blend = 0;
         kcPsdParse(b->data, b->size, &info, 1, 1, &blend);
     }},
    {"PNG",
     [] {
         return std::vector<ByteVec>{Saved(new kcImagePng, 9, 7, 3), Saved(new kcImagePng, 16, 12, 4),
                                     MakePng(3, 2, 4, 3, {{0x01, 0x20}, {0x12, 0x00}}, {1, 2, 3, 4, 5, 6, 7, 8, 9},
                                             {0x10, 0x80})};
     },
     Make<kcImagePng>, kcImagePng::Probe, true, nullptr},
    {"JPEG", [] { return std::vector<ByteVec>{Saved(new kcImageJpeg, 16, 12, 3)}; }, Make<kcImageJpeg>,
     kcImageJpeg::Probe, true, [](const MemoryBlock* b) { DecodeToCallerPixels(kcJpegDecodeTo, b); }},
    {"WebP", [] { return std::vector<ByteVec>{Saved(new kcImageWebP, 16, 12, 4)}; }, Make<kcImageWebP>,
     kcImageWebP::Probe, false, [](const MemoryBlock* b) { DecodeToCallerPixels(kcWebPDecodeTo, b); }},
};

const int kMutationsPerSample = 3000;

} // namespace

TEST(RobustFormats2, ReadersSurviveMutatedFiles)
{
    LogCapture quiet;
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.name);
        Mutator mutator{0x2545F491u};
        const int live = kcHeapLiveBlocks();
        int loaded = 0, refused = 0;
        for (const ByteVec& sample : f.samples()) {
            {
                PageEndBlock valid(sample);
                kcImage* image = f.create();
                EXPECT_TRUE(f.probe(valid.Block()));
                EXPECT_TRUE(image->Load(valid.Block(), 0)); // the sample itself is sound
                image->Release();
            }
            for (int m = 0; m < kMutationsPerSample; ++m) {
                PageEndBlock mutated(mutator.Apply(sample, f.bigEndian));
                f.probe(mutated.Block());
                kcImage* image = f.create();
                (image->Load(mutated.Block(), 0) ? loaded : refused)++;
                image->Release();
                if (f.more) f.more(mutated.Block());
                quiet.Clear();
            }
        }
        EXPECT_EQ(live, kcHeapLiveBlocks());
        // Both answers occur: the mutations reach past the first check.
        EXPECT_GT(loaded, 0);
        EXPECT_GT(refused, 0);
    }
}
