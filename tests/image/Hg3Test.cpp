#include "image/kcImageHg3.h"
#include "support/Hg3Builder.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <cstring>

namespace {
MemoryBlock View(const std::string& s)
{
    MemoryBlock b;
    b.data = reinterpret_cast<uint8_t*>(const_cast<char*>(s.data()));
    b.size = b.capacity = static_cast<uint32_t>(s.size());
    b.external = 1;
    return b;
}

std::vector<uint8_t> Pixels(int w, int h, int bpp, int seed)
{
    std::vector<uint8_t> v(static_cast<size_t>(w) * h * bpp);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++)
            for (int k = 0; k < bpp; k++)
                v[(static_cast<size_t>(y) * w + x) * bpp + k] = static_cast<uint8_t>(x * (k + 1) + y * 3 + seed + ((x * y) % 5));
    return v;
}

Hg3StdInfo Info(int w, int h, int bits)
{
    Hg3StdInfo i;
    i.width = w, i.height = h, i.bits = bits;
    i.canvasWidth = w, i.canvasHeight = h;
    return i;
}
} // namespace

TEST(Hg3Test, BandFramesAt32And24Bits)
{
    std::vector<uint8_t> px = Pixels(13, 9, 4, 1);
    Hg3StdInfo info = Info(13, 9, 32);
    info.offsetX = 3, info.offsetY = 4, info.canvasWidth = 40, info.canvasHeight = 30;
    info.transparent = 1, info.valueA = 7, info.valueB = -8;
    Hg3Builder b;
    b.Frame(0).StdInfo(info).Bands(px.data(), 13 * 4, 13, 9, 4, 4).U32Chunk("cptype", 6);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 0));
    EXPECT_EQ(13, img.width);
    EXPECT_EQ(52, img.pitch);
    EXPECT_EQ(0, memcmp(img.pixels, px.data(), px.size()));
    EXPECT_EQ(3, img.offsetX);
    EXPECT_EQ(4, img.offsetY);
    EXPECT_EQ(40, img.canvasWidth);
    EXPECT_EQ(30, img.canvasHeight);
    EXPECT_EQ(2, img.alphaState);
    EXPECT_EQ(7, img.headerValueA);
    EXPECT_EQ(-8, img.headerValueB);
    EXPECT_EQ(6, img.cpType);

    std::vector<uint8_t> rgb = Pixels(5, 200, 3, 2);
    Hg3Builder b24;
    b24.Frame(0).StdInfo(Info(5, 200, 24)).Bands(rgb.data(), 15, 5, 200, 3, 100);
    file = b24.Build();
    in = View(file);
    ASSERT_TRUE(img.Load(&in, 0));
    EXPECT_EQ(4, img.bytesPerPixel);
    EXPECT_EQ(20, img.pitch);
    EXPECT_EQ(1, img.alphaState);
    for (int y = 0; y < 200; y++)
        for (int x = 0; x < 5; x++) {
            const uint8_t* p = img.PixelAt(x, y);
            ASSERT_EQ(0, memcmp(p, &rgb[(y * 5 + x) * 3], 3)) << x << "," << y;
            ASSERT_EQ(255, p[3]);
        }
}

TEST(Hg3Test, MissingBandStopsTheSequenceAndUncoveredRowsAreZero)
{
    std::vector<uint8_t> px = Pixels(4, 200, 4, 3);
    Hg3Builder b;
    b.Frame(0).StdInfo(Info(4, 200, 32)).Band(0, px.data(), 16, 4, 200, 4, 0, 100).Band(2, px.data(), 16, 4, 200, 4, 100, 100);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 0));
    // Band 0 holds the bottom 100 rows (99..199 top-down); rows 0..99 stay zero.
    EXPECT_EQ(0, memcmp(img.PixelAt(0, 100), &px[100 * 16], 100 * 16));
    for (int i = 0; i < 100 * 16; i++) ASSERT_EQ(0, img.pixels[i]);
}

TEST(Hg3Test, FramesByIdAndIndex)
{
    std::vector<uint8_t> a = Pixels(3, 3, 4, 4), c = Pixels(2, 5, 4, 5), d = Pixels(6, 1, 4, 6);
    Hg3Builder b;
    b.Frame(4).StdInfo(Info(3, 3, 32)).Bands(a.data(), 12, 3, 3, 4, 99);
    b.Frame(7).StdInfo(Info(2, 5, 32)).Bands(c.data(), 8, 2, 5, 4, 99);
    b.Frame(9).StdInfo(Info(6, 1, 32)).Bands(d.data(), 24, 6, 1, 4, 99);
    b.Frame(7).StdInfo(Info(6, 1, 32)).Bands(d.data(), 24, 6, 1, 4, 99);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 7));
    EXPECT_EQ(2, img.width);
    EXPECT_EQ(0, memcmp(img.pixels, c.data(), c.size()));
    EXPECT_FALSE(img.Load(&in, 8));
    int id = 0;
    ASSERT_TRUE(img.LoadIndexed(&in, 2, &id));
    EXPECT_EQ(9, id);
    EXPECT_EQ(6, img.width);
    ASSERT_TRUE(img.LoadIndexed(&in, 3, &id)); // id 7 again: the first frame with it
    EXPECT_EQ(7, id);
    EXPECT_EQ(2, img.width);
    EXPECT_FALSE(img.LoadIndexed(&in, 4, &id));
    MemoryBlock empty;
    EXPECT_FALSE(img.LoadIndexed(&empty, 0, &id));
}

TEST(Hg3Test, AttributeChunks)
{
    std::vector<uint8_t> px = Pixels(2, 2, 4, 7);
    std::string rec1(20, '\x11'), rec2(20, '\x22'), rec3(20, '\x33');
    Hg3Builder b;
    b.Frame(0)
        .Chunk("ats12", rec1)
        .StdInfo(Info(2, 2, 32))
        .Bands(px.data(), 8, 2, 2, 4, 2)
        .Chunk("ats12", rec2)
        .Chunk("ats0x1F", rec3)
        .Chunk("ats5", std::string(19, '\x44'))
        .Chunk("atsx", rec1)
        .U32Chunk("imgmode", 1);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 0));
    ASSERT_NE(nullptr, img.GetInfo(12));
    EXPECT_EQ(0x22, img.GetInfo(12)[0]);
    ASSERT_NE(nullptr, img.GetInfo(0x1F));
    EXPECT_EQ(0x33, img.GetInfo(0x1F)[19]);
    EXPECT_EQ(nullptr, img.GetInfo(5));
    EXPECT_EQ(2u, img.infoMap->size());
    // imgmode 1: red and blue exchanged once, then the flag is cleared.
    EXPECT_EQ(px[2], img.pixels[0]);
    EXPECT_EQ(px[0], img.pixels[2]);
    EXPECT_EQ(0, img.redBlueSwapped);
}

TEST(Hg3Test, FindChunkWalksOneFrame)
{
    Hg3Builder b;
    b.Frame(0).Chunk("first", "abc").Chunk("second", "de").Frame(1).Chunk("third", "f");
    std::string file = b.Build();
    kcByteReader r(file.data(), static_cast<uint32_t>(file.size()));
    uint32_t size = 0;
    const uint8_t* p = kcImageHg3::FindChunk(r, 20, "second", &size);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(2u, size);
    EXPECT_EQ('d', p[0]);
    EXPECT_EQ(nullptr, kcImageHg3::FindChunk(r, 20, "third", &size));
    EXPECT_EQ(0u, size);
    kcByteReader none;
    EXPECT_EQ(nullptr, kcImageHg3::FindChunk(none, 20, "first", &size));
}

TEST(Hg3Test, BadFiles)
{
    std::vector<uint8_t> px = Pixels(8, 8, 4, 8);
    Hg3Builder b;
    b.Frame(0).StdInfo(Info(8, 8, 32)).Bands(px.data(), 32, 8, 8, 4, 8);
    const std::string good = b.Build();
    const size_t frame = 12, chunk = 20, info = 36, band = 20 + 16 + 40 + 16;
    struct Case {
        const char* what;
        size_t offset;
        std::string bytes;
        const char* message; // null: fails without a message
    } cases[] = {
        {"signature", 0, "HG-2", "HG3 : ヘッダが違います"},
        {"header size", 4, Le32(16), "HG3 : ヘッダサイズが違います"},
        {"frame id", frame + 4, Le32(3), nullptr},
        {"no stdinfo", chunk, std::string("stdinfX", 7), nullptr},
        {"name without NUL", chunk, "stdinfoX", "HG3 : データが壊れています"},
        {"chunk size past end", chunk + 12, Le32(0x7FFFFFFF), "HG3 : データが壊れています"},
        {"chunk link backwards", chunk + 8, Le32(0xFFFFFFF0), "HG3 : データが壊れています"},
        {"chunk link inside header", chunk + 8, Le32(4), "HG3 : データが壊れています"},
        {"overflowing size", info, Le32(0x10000) + Le32(0x10000), "HG3 : データが壊れています"},
        {"band rows past picture", band + 4, Le32(9), "HG3 : データが壊れています"},
        {"band first row past picture", band, Le32(8), "HG3 : データが壊れています"},
        {"band packed size past chunk", band + 8, Le32(0x10000), "HG3 : データが壊れています"},
        {"band byte area size", band + 12, Le32(5), "kcImageHg3 : バイト領域のサイズが異常です"},
        {"band bit area size", band + 20, Le32(1), "kcImageHg3 : ビット領域のサイズが異常です"},
        {"JPEG at 16 bits", 0, "", "HG3 : データが壊れています"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = good;
        if (c.bytes.empty()) {
            Hg3Builder j;
            j.Frame(0).StdInfo(Info(8, 8, 16)).Jpeg("\xFF\xD8 not really");
            file = j.Build();
        } else {
            file.replace(c.offset, c.bytes.size(), c.bytes);
        }
        MemoryBlock in = View(file);
        LogCapture log;
        kcImageHg3 img;
        EXPECT_FALSE(img.Load(&in, 0));
        if (c.message)
            EXPECT_TRUE(log.Contains(c.message));
        else
            EXPECT_TRUE(log.Lines().empty());
    }
    // A frame link that loops back is not followed.
    std::string loop = good;
    loop.replace(frame, 4, Le32(0xFFFFFFF4));
    MemoryBlock in = View(loop);
    kcImageHg3 img;
    EXPECT_FALSE(img.Load(&in, 5));
    for (size_t n = 0; n < good.size(); n++) {
        std::string cut = good.substr(0, n);
        in = View(cut);
        EXPECT_FALSE(img.Load(&in, 0)) << n;
    }
}

// ---------------------------------------------------------------------------------------------
// JPEG and WebP frames

#include "image/kcImageJpeg.h"
#include "image/kcImageWebP.h"

namespace {
std::string Saved(kcImage& img)
{
    MemoryBlock out;
    if (!img.Save(&out, 0, 0, 0, 0)) return std::string();
    std::string s(reinterpret_cast<char*>(out.data), out.size);
    out.Free();
    return s;
}

// A JPEG of w x h in the file's R, G, B order, and the decoder's own pixels of it.
std::string MakeJpeg(int w, int h, kcImageJpeg* decoded)
{
    kcImageJpeg src;
    EXPECT_TRUE(src.Create(w, h, 3));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = src.PixelAt(x, y);
            p[0] = static_cast<uint8_t>(200 - x * 8);
            p[1] = static_cast<uint8_t>(y * 10);
            p[2] = static_cast<uint8_t>(40 + x * 4);
        }
    std::string file = Saved(src);
    MemoryBlock in = View(file);
    EXPECT_TRUE(decoded->Load(&in, 0));
    return file;
}

std::string MakeWebP(int w, int h, kcImageWebP* decoded)
{
    kcImageWebP src;
    EXPECT_TRUE(src.Create(w, h, 4));
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            uint8_t* p = src.PixelAt(x, y);
            p[0] = static_cast<uint8_t>(30 + x * 9);
            p[1] = static_cast<uint8_t>(250 - y * 7);
            p[2] = static_cast<uint8_t>(100);
            p[3] = static_cast<uint8_t>(x < w / 2 ? 255 : 80);
        }
    std::string file = Saved(src);
    MemoryBlock in = View(file);
    EXPECT_TRUE(decoded->Load(&in, 0));
    return file;
}
} // namespace

TEST(Hg3PictureTest, JpegFramesTakeAlphaPlaneAndColourOrder)
{
    const int w = 16, h = 8;
    kcImageJpeg ref;
    std::string jpeg = MakeJpeg(w, h, &ref);
    ASSERT_FALSE(jpeg.empty());
    std::string alpha(w * h, '\0');
    for (int i = 0; i < w * h; i++) alpha[i] = static_cast<char>(i * 2);

    struct Case {
        const char* what;
        int bits;
        const char* alpha; // "plane", "short", "none"
        int imgmode;       // -1: no chunk
        bool swapped;
    } cases[] = {
        {"32 bits with alpha plane", 32, "plane", -1, true},
        {"32 bits without alpha", 32, "none", -1, true},
        {"short alpha plane ignored", 32, "short", -1, true},
        {"imgmode 0 keeps decoder order", 32, "plane", 0, false},
        {"24 bits", 24, "plane", -1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Hg3Builder b;
        b.Frame(0).StdInfo(Info(w, h, c.bits)).Jpeg(jpeg);
        if (std::string(c.alpha) == "plane") b.Alpha(alpha);
        if (std::string(c.alpha) == "short") b.Alpha(alpha.substr(0, w * h - 1));
        if (c.imgmode >= 0) b.U32Chunk("imgmode", c.imgmode);
        std::string file = b.Build();
        MemoryBlock in = View(file);
        kcImageHg3 img;
        ASSERT_TRUE(img.Load(&in, 0));
        EXPECT_EQ(4, img.bytesPerPixel);
        EXPECT_EQ(w * 4, img.pitch);
        bool alphaUsed = c.bits == 32 && std::string(c.alpha) == "plane";
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint8_t* p = img.PixelAt(x, y);
                const uint8_t* r = ref.PixelAt(x, y);
                ASSERT_EQ(c.swapped ? r[2] : r[0], p[0]);
                ASSERT_EQ(r[1], p[1]);
                ASSERT_EQ(c.swapped ? r[0] : r[2], p[2]);
                ASSERT_EQ(alphaUsed ? static_cast<uint8_t>((y * w + x) * 2) : 255, p[3]);
            }
    }

    // A JPEG whose size differs from "stdinfo" fails the load.
    Hg3Builder b;
    b.Frame(0).StdInfo(Info(w, h + 1, 32)).Jpeg(jpeg);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    EXPECT_FALSE(img.Load(&in, 0));
}

TEST(Hg3PictureTest, WebPFramesAndPictureChoice)
{
    const int w = 12, h = 6;
    kcImageWebP ref;
    std::string webp = MakeWebP(w, h, &ref);
    ASSERT_FALSE(webp.empty());
    kcImageJpeg jref;
    std::string jpeg = MakeJpeg(w, h, &jref);
    std::vector<uint8_t> px(w * h * 4, 0x33);

    for (int bits : {32, 24}) {
        SCOPED_TRACE(bits);
        // WebP wins over JPEG and bands; imgmode 1 puts it into blue-first order.
        Hg3Builder b;
        b.Frame(0).StdInfo(Info(w, h, bits)).Bands(px.data(), w * 4, w, h, 4, h).Jpeg(jpeg).WebP(webp).U32Chunk("imgmode", 1);
        std::string file = b.Build();
        MemoryBlock in = View(file);
        kcImageHg3 img;
        ASSERT_TRUE(img.Load(&in, 0));
        EXPECT_EQ(w * 4, img.pitch);
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                const uint8_t* p = img.PixelAt(x, y);
                const uint8_t* r = ref.PixelAt(x, y);
                ASSERT_EQ(r[2], p[0]);
                ASSERT_EQ(r[0], p[2]);
                ASSERT_EQ(bits == 32 ? r[3] : 255, p[3]);
            }
    }

    // Without imgmode a WebP frame keeps the decoder's R, G, B, A order.
    Hg3Builder plain;
    plain.Frame(0).StdInfo(Info(w, h, 32)).WebP(webp);
    std::string file = plain.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 0));
    EXPECT_EQ(0, memcmp(img.pixels, ref.pixels, w * h * 4));

    // "img_jpa" alone marks a JPEG frame: band pixels come out with red and blue exchanged.
    std::vector<uint8_t> bgra = Pixels(w, h, 4, 9);
    Hg3Builder jpa;
    jpa.Frame(0).StdInfo(Info(w, h, 32)).Bands(bgra.data(), w * 4, w, h, 4, h).Chunk("img_jpa", "x");
    file = jpa.Build();
    in = View(file);
    ASSERT_TRUE(img.Load(&in, 0));
    EXPECT_EQ(bgra[2], img.pixels[0]);
    EXPECT_EQ(bgra[0], img.pixels[2]);
    EXPECT_EQ(bgra[3], img.pixels[3]);
}

TEST(Hg3Test, LargePictureBandsDecodeAlikeAndFailInOrder)
{
    // 1 MiB of pixels in four bands: decoded side by side, with the same result as in order.
    const int w = 512, h = 512;
    std::vector<uint8_t> px = Pixels(w, h, 4, 11);
    Hg3Builder b;
    b.Frame(0).StdInfo(Info(w, h, 32)).Bands(px.data(), w * 4, w, h, 4, 128);
    std::string file = b.Build();
    MemoryBlock in = View(file);
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 0));
    EXPECT_EQ(0, memcmp(img.pixels, px.data(), px.size()));

    // Band 1 with a wrong bit-area size and band 3 with a wrong byte-area size: the first
    // failing band in order is the one reported.
    std::string bad = file;
    size_t band1 = bad.find(std::string("img0001", 8)) + 16, band3 = bad.find(std::string("img0003", 8)) + 16;
    bad.replace(band1 + 20, 4, Le32(7));
    bad.replace(band3 + 12, 4, Le32(9));
    in = View(bad);
    LogCapture log;
    EXPECT_FALSE(img.Load(&in, 0));
    ASSERT_EQ(1u, log.Lines().size());
    EXPECT_TRUE(log.Contains("kcImageHg3 : ビット領域のサイズが異常です"));
}
