// Every reader gets a few thousand deterministic mutations of valid files (bit flips,
// truncations, size fields set to extremes) and must answer true or false cleanly. The data
// sits flush against an inaccessible page, so a read past the block ends the test.
#include "image/kcImageHg2.h"
#include "image/kcImageHg3.h"
#include "image/kcImageHolder.h"
#include "image/kcImageBmp.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageKcf.h"
#include "image/kcImagePng.h"
#include "image/kcImagePsd.h"
#include "image/kcImageWebP.h"
#include "support/Hg3Builder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <cstring>
#include <functional>

namespace {
// Bytes placed so that the byte after the last one is on a PAGE_NOACCESS page.
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
        memcpy(start, bytes.data(), bytes.size());
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

struct Rng {
    uint32_t s;
    uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
};

std::string Mutate(const std::string& in, Rng& rng)
{
    std::string s = in;
    static const uint32_t kExtremes[] = {0, 1, 0xFFFFFFFF, 0x7FFFFFFF, 0x80000000, 0x10000, 0xFFFF, 0x8000};
    switch (rng.Below(4)) {
    case 0: // bit flips
        for (uint32_t n = 1 + rng.Below(3); n > 0; n--) s[rng.Below(static_cast<uint32_t>(s.size()))] ^= static_cast<char>(1 << rng.Below(8));
        break;
    case 1: // truncation
        s.resize(rng.Below(static_cast<uint32_t>(s.size())));
        break;
    case 2: { // a 32-bit field, mostly in the headers, set to an extreme or to the file size
        uint32_t limit = s.size() > 160 && rng.Below(4) ? 160 : static_cast<uint32_t>(s.size());
        uint32_t at = rng.Below(limit - 3) & ~3u;
        uint32_t v = rng.Below(9) == 8 ? static_cast<uint32_t>(s.size()) + rng.Below(3) : kExtremes[rng.Below(8)];
        s.replace(at, 4, Le32(v));
        break;
    }
    default: { // a 16-bit field (depths, bits per pixel) set to a small or extreme value
        uint32_t at = rng.Below(static_cast<uint32_t>(s.size()) - 1);
        uint16_t v = static_cast<uint16_t>(rng.Below(2) ? rng.Below(64) : 0xFFFF - rng.Below(4));
        s.replace(at, 2, Le16(v));
        break;
    }
    }
    return s;
}

std::vector<uint8_t> Picture(int w, int h, int bpp)
{
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * bpp);
    for (size_t i = 0; i < v.size(); i++) v[i] = static_cast<uint8_t>((i * 37) ^ (i / 5));
    return v;
}

// The readers under test: a name, valid sample files and a factory. Other formats append rows.
struct RobustFormat {
    const char* name;
    std::function<std::vector<std::string>()> samples;
    std::function<kcImage*()> create;
};

std::vector<std::string> Hg2Samples()
{
    Hg2Frame a, b;
    a.id = 0, a.width = 16, a.height = 12, a.bpp = 4, a.pixels = Picture(16, 12, 4);
    b.id = 1, b.width = 9, b.height = 7, b.bpp = 3, b.depth = 6, b.pixels = Picture(9, 7, 3);
    return {Hg2File(37, {a, b}), Hg2File(32, {b, a}), Hg2File(16, {b})};
}

std::vector<std::string> Hg3Samples()
{
    std::vector<uint8_t> px = Picture(16, 12, 4), rgb = Picture(10, 9, 3);
    Hg3StdInfo i;
    i.width = 16, i.height = 12, i.bits = 32, i.canvasWidth = 20, i.canvasHeight = 20, i.transparent = 1;
    Hg3StdInfo j = i;
    j.width = 10, j.height = 9, j.bits = 24;
    Hg3Builder b;
    b.Frame(0).StdInfo(i).Bands(px.data(), 64, 16, 12, 4, 5).Chunk("ats3", std::string(20, 'a')).U32Chunk("cptype", 2);
    b.Frame(1).StdInfo(j).Bands(rgb.data(), 30, 10, 9, 3, 9).U32Chunk("imgmode", 1);
    return {b.Build(), Hg3FromBgra(px.data(), 16, 12, 4)};
}

// Samples of the formats with writers, saved by the format itself from a small patterned image.
template <class T> std::string SavedSample(int w, int h, int bpp)
{
    T img;
    img.Create(w, h, bpp);
    std::vector<uint8_t> px = Picture(w, h, bpp);
    for (int y = 0; y < h; y++) memcpy(img.PixelAt(0, y), &px[static_cast<size_t>(y) * w * bpp], static_cast<size_t>(w) * bpp);
    MemoryBlock out;
    if (!img.Save(&out, 0, 0, 0, 0)) return std::string();
    std::string s(reinterpret_cast<char*>(out.data), out.size);
    out.Free();
    return s;
}

std::vector<std::string> Hg3PictureSamples()
{
    std::string jpeg = SavedSample<kcImageJpeg>(16, 12, 3), webp = SavedSample<kcImageWebP>(16, 12, 4);
    Hg3StdInfo i;
    i.width = 16, i.height = 12, i.bits = 32;
    Hg3Builder j, w;
    j.Frame(0).StdInfo(i).Jpeg(jpeg).Alpha(std::string(16 * 12, '\x40'));
    w.Frame(0).StdInfo(i).WebP(webp).U32Chunk("imgmode", 1);
    return {j.Build(), w.Build()};
}

// A 3-channel 8-bit PSD of 6 x 4, raw planes or PackBits rows.
std::vector<std::string> PsdSamples()
{
    std::vector<std::string> out;
    for (int compression = 0; compression < 2; compression++) {
        std::string b = "8BPS" + std::string("\0\1", 2) + std::string(6, '\0') + std::string("\0\3", 2) +
                        std::string("\0\0\0\4\0\0\0\6\0\x08\0\3", 12) + std::string(12, '\0') +
                        std::string(1, '\0') + std::string(1, static_cast<char>(compression));
        std::string rows;
        for (int c = 0; c < 3; c++)
            for (int y = 0; y < 4; y++) {
                std::string row;
                for (int x = 0; x < 6; x++) row += static_cast<char>(c * 80 + y * 10 + x);
                rows += compression ? std::string(1, '\x05') + row : row;
            }
        if (compression)
            for (int i = 0; i < 12; i++) b += std::string("\0\x07", 2);
        out.push_back(b + rows);
    }
    return out;
}

template <class T> kcImage* New() { return new T(); }

const RobustFormat kFormats[] = {
    {"HG-2", Hg2Samples, New<kcImageHg2>},
    {"HG-3", Hg3Samples, New<kcImageHg3>},
    {"HG-3 JPEG/WebP", Hg3PictureSamples, New<kcImageHg3>},
    {"PNG", [] { return std::vector<std::string>{SavedSample<kcImagePng>(16, 12, 4), SavedSample<kcImagePng>(9, 5, 3)}; }, New<kcImagePng>},
    {"JPEG", [] { return std::vector<std::string>{SavedSample<kcImageJpeg>(16, 12, 3)}; }, New<kcImageJpeg>},
    {"WebP", [] { return std::vector<std::string>{SavedSample<kcImageWebP>(16, 12, 4)}; }, New<kcImageWebP>},
    {"BMP", [] { return std::vector<std::string>{SavedSample<kcImageBmp>(16, 12, 4), SavedSample<kcImageBmp>(9, 5, 3)}; }, New<kcImageBmp>},
    {"KCF", [] { return std::vector<std::string>{SavedSample<kcImageKcf>(16, 12, 4), SavedSample<kcImageKcf>(9, 5, 3)}; }, New<kcImageKcf>},
    {"PSD", PsdSamples, New<kcImagePsd>},
};

const int kMutationsPerSample = 3000;
} // namespace

TEST(RobustTest, ReadersSurviveMutatedFiles)
{
    LogCapture quiet;
    for (const RobustFormat& f : kFormats) {
        SCOPED_TRACE(f.name);
        std::vector<std::string> samples = f.samples();
        Rng rng{0x9E3779B9u};
        for (const std::string& sample : samples) {
            ASSERT_FALSE(sample.empty());
            {
                GuardedBlock g(sample);
                kcImage* img = f.create();
                ASSERT_TRUE(img->Load(g.Block(), 0)); // the sample itself is valid
                img->Release();
            }
            for (int m = 0; m < kMutationsPerSample; m++) {
                GuardedBlock g(Mutate(sample, rng));
                kcImage* img = f.create();
                img->Load(g.Block(), m & 1);
                int id = 0;
                img->LoadIndexed(g.Block(), m & 3, &id);
                img->Release();
                kcImageHolder holder;
                holder.LoadFromMemory(g.Block(), (m & 2) != 0, 0);
                quiet.Clear();
            }
        }
    }
}
