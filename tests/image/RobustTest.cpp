// Every reader gets deterministic mutations of valid files (bit flips, truncations, size fields
// set to extremes) and must answer true or false cleanly, without leaking. The bytes end flush
// against an inaccessible page, so any read past the block stops the test.
#include "image/kcImageBmp.h"
#include "image/kcImageHg2.h"
#include "image/kcImageHg3.h"
#include "image/kcImageHolder.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageKcf.h"
#include "image/kcImagePng.h"
#include "image/kcImagePsd.h"
#include "image/kcImageWebP.h"
#include "image/ImageFixtures.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdio>

namespace {
class GuardedBlock {
public:
    explicit GuardedBlock(const std::string& bytes)
    {
        const size_t page = 4096;
        m_span = (bytes.size() + page - 1) / page * page + page;
        m_base = static_cast<uint8_t*>(VirtualAlloc(nullptr, m_span, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        VirtualProtect(m_base + m_span - page, page, PAGE_NOACCESS, &old);
        uint8_t* start = m_base + m_span - page - bytes.size();
        bytes.copy(reinterpret_cast<char*>(start), bytes.size());
        m_block.data = start;
        m_block.size = m_block.capacity = static_cast<uint32_t>(bytes.size());
        m_block.external = 1;
    }
    ~GuardedBlock() { VirtualFree(m_base, 0, MEM_RELEASE); }
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
    std::string Apply(std::string s, bool bigEndian)
    {
        static const uint32_t kExtremes[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x10000, 0xFFFF, 0x8000};
        const uint32_t size = uint32_t(s.size());
        auto put = [&](uint32_t at, uint32_t v, int bytes) {
            for (int i = 0; i < bytes; i++) s[at + i] = char(v >> (bigEndian ? 8 * (bytes - 1 - i) : 8 * i));
        };
        switch (Below(4)) {
        case 0: // bit flips
            for (uint32_t n = 1 + Below(3); n > 0; --n) s[Below(size)] ^= char(1u << Below(8));
            break;
        case 1: // truncation
            s.resize(Below(size));
            break;
        case 2: // a 32-bit field, mostly in the headers, set to an extreme or to the file size
            put(Below((size > 160 && Below(4) ? 160 : size) - 3), Below(9) == 8 ? size + Below(3) : kExtremes[Below(8)], 4);
            break;
        default: // a 16-bit field (depths, bits per pixel) set to a small or extreme value
            put(Below(size - 1), Below(2) ? Below(64) : 0xFFFF - Below(4), 2);
            break;
        }
        return s;
    }
};

struct Format {
    const char* name;
    kcImage* (*create)();
    bool (*probe)(const MemoryBlock*);
    bool bigEndian;
    std::vector<std::string> samples;
};

// Every entry point that reads the bytes: the reader by id and by index, its probe, the holder,
// the PSD layer parser and the caller-pixel decoders.
void ReadEveryWay(const Format& f, const MemoryBlock* b, int m, int* loaded, int* refused)
{
    kcImage* img = f.create();
    (img->Load(b, m & 1) ? *loaded : *refused)++;
    int id = 0;
    img->LoadIndexed(b, m & 3, &id);
    img->Release();
    f.probe(b);
    kcImageHolder holder;
    holder.LoadFromMemory(b, (m & 2) != 0, 0);
    kcPsdInfo info;
    kcPsdParse(b->data, b->size, &info, 1, 1, &id);
    static uint8_t pixels[16 * 12 * 4];
    for (int bpp = 3; bpp <= 4; bpp++) {
        kcJpegDecodeTo(b->data, b->size, pixels, 16, 12, 16 * bpp, bpp);
        kcWebPDecodeTo(b->data, b->size, pixels, 16, 12, 16 * bpp, bpp);
    }
}

const int kMutationsPerSample = 2000;
} // namespace

TEST(RobustTest, ReadersSurviveMutatedFiles)
{
    Hg2Frame a, b;
    a.id = 0, a.width = 16, a.height = 12, a.bpp = 4, a.pixels = Pattern(16, 12, 4);
    b.id = 1, b.width = 9, b.height = 7, b.bpp = 3, b.depth = 6, b.pixels = Pattern(9, 7, 3);
    const uint8_t* px = reinterpret_cast<const uint8_t*>(a.pixels.data());
    std::string rgb = Pattern(10, 9, 3), rle("\0\2\0\2\0\2\0\4\0\4\0\4", 12);
    for (int c = 0; c < 3; ++c) rle += char(254 - c) + std::string("\x09\x01\x07\x08\xC8\x03", 6);
    Hg3StdInfo i, j;
    i.width = 16, i.height = 12, i.transparent = 1;
    j.width = 10, j.height = 9, j.bits = 24, j.canvasWidth = j.canvasHeight = 20;
    Hg3Builder chain;
    chain.Frame(0).StdInfo(i).Bands(px, 64, 16, 12, 4, 5).Chunk("ats3", std::string(20, 'a')).U32Chunk("cptype", 2);
    chain.Frame(1).StdInfo(j).Bands(reinterpret_cast<const uint8_t*>(rgb.data()), 30, 10, 9, 3, 9).U32Chunk("imgmode", 1);
    const Format formats[] = {
        {"HG-2", New<kcImageHg2>, kcImageHg2::Probe, false, {Hg2File(37, {a, b}), Hg2File(32, {b, a}), Hg2File(16, {b})}},
        {"HG-3", New<kcImageHg3>, kcImageHg3::Probe, false,
         {chain.Build(), Hg3FromBgra(px, 16, 12, 4),
          Hg3Builder().StdInfo(i).Chunk("img_jpg", SavedPattern<kcImageJpeg>(16, 12, 3)).Alpha(std::string(192, '@')).Build(),
          Hg3Builder().StdInfo(i).Chunk("img_wbp", SavedPattern<kcImageWebP>(16, 12, 4)).U32Chunk("imgmode", 1).Build()}},
        {"KCF", New<kcImageKcf>, kcImageKcf::Probe, false, {SavedPattern<kcImageKcf>(16, 12, 4), SavedPattern<kcImageKcf>(9, 7, 3)}},
        {"BMP", New<kcImageBmp>, kcImageBmp::Probe, false, {SavedPattern<kcImageBmp>(16, 12, 4), SavedPattern<kcImageBmp>(9, 7, 3)}},
        {"PSD", New<kcImagePsd>, kcImagePsd::Probe, true, {Psd(2, 2, "", 0, RawPlanes2x2()), Psd(5, 2, "", 1, rle), LayeredPsd()}},
        {"PNG", New<kcImagePng>, kcImagePng::Probe, true,
         {SavedPattern<kcImagePng>(16, 12, 4), SavedPattern<kcImagePng>(9, 7, 3),
          Png(3, 2, 4, 3, {"\x01\x20", std::string("\x12\0", 2)}, "\1\2\3\4\5\6\7\x08\x09", "\x10\x80")}},
        {"JPEG", New<kcImageJpeg>, kcImageJpeg::Probe, true, {SavedPattern<kcImageJpeg>(16, 12, 3)}},
        {"WebP", New<kcImageWebP>, kcImageWebP::Probe, false, {SavedPattern<kcImageWebP>(16, 12, 4)}},
    };
    LogCapture quiet;
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        Mutator mutator{0x2545F491u};
        const int live = kcHeapLiveBlocks();
        int loaded = 0, refused = 0;
        for (const std::string& sample : f.samples) {
            {
                GuardedBlock valid(sample);
                kcImage* img = f.create();
                EXPECT_TRUE(f.probe(valid.Block()) && img->Load(valid.Block(), 0)); // the sample itself is sound
                img->Release();
            }
            for (int m = 0; m < kMutationsPerSample; ++m) {
                GuardedBlock mutated(mutator.Apply(sample, f.bigEndian));
                ReadEveryWay(f, mutated.Block(), m, &loaded, &refused);
                quiet.Clear();
            }
        }
        EXPECT_EQ(live, kcHeapLiveBlocks());
        EXPECT_TRUE(loaded > 0 && refused > 0); // the mutations reach past the first checks
    }
}

// Bands behind tens of thousands of other chunks: a search through the whole list for each band
// made this file load hundreds of times slower than its size warrants (bench_image measures it);
// it must load, and load right.
TEST(RobustTest, Hg3WithManyBandsAmongManyChunksEnds)
{
    const int height = 9999;
    const std::string pixel("\x10\x20\x30\xFF", 4);
    // One coded row serves every band; each band chunk names its own row.
    const std::string one = Hg3Builder().Band(0, reinterpret_cast<const uint8_t*>(pixel.data()), 4, 1, 1, 4, 0, 1).Build();
    const std::string row = one.substr(12 + 8 + 16 + 4);
    Hg3StdInfo info;
    info.width = info.canvasWidth = 1, info.height = info.canvasHeight = height;
    Hg3Builder file;
    file.StdInfo(info);
    for (int i = 0; i < 40000; ++i) file.Chunk("pad", "");
    for (int band = 0; band < height; ++band) {
        char name[8];
        snprintf(name, sizeof name, "img%04d", band);
        file.Chunk(name, Le32(band) + row);
    }
    GuardedBlock block(file.Build());
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(block.Block(), 0));
    std::string expected;
    for (int y = 0; y < height; ++y) expected += pixel;
    EXPECT_EQ(expected, Rows(img));
}
