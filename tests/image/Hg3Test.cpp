#include "image/kcImageHg3.h"
#include "image/kcImageJpeg.h"
#include "image/kcImageWebP.h"
#include "image/ImageFixtures.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>

namespace {
Hg3StdInfo Info(int w, int h, int bits)
{
    Hg3StdInfo i;
    i.width = i.canvasWidth = w, i.height = i.canvasHeight = h, i.bits = bits;
    return i;
}

const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// The first pixel of top-down B, G, R, A bytes with red and blue exchanged.
Ints SwappedFirst(const std::string& bgra) { return Ints({uint8_t(bgra[2]), uint8_t(bgra[1]), uint8_t(bgra[0]), uint8_t(bgra[3])}); }

// Loads frame `id` of the file into img.
bool Load(kcImageHg3& img, const std::string& file, int id = 0)
{
    MemoryBlock in = View(file);
    return img.Load(&in, id);
}
} // namespace

TEST(Hg3Test, BandFramesAt32And24Bits)
{
    std::string px = Pattern(13, 9, 4, 1);
    Hg3StdInfo info = Info(13, 9, 32);
    info.offsetX = 3, info.offsetY = 4, info.canvasWidth = 40, info.canvasHeight = 30;
    info.transparent = 1, info.valueA = 7, info.valueB = -8;
    kcImageHg3 img;
    ASSERT_TRUE(Load(img, Hg3Builder().StdInfo(info).Bands(Bytes(px), 52, 13, 9, 4, 4).U32Chunk("cptype", 6).Build()));
    EXPECT_EQ(px, Rows(img));
    EXPECT_EQ(Ints({52, 3, 4, 40, 30, 2, 7, -8, 6}), Ints({img.pitch, img.offsetX, img.offsetY, img.canvasWidth, img.canvasHeight,
                                                           img.alphaState, img.headerValueA, img.headerValueB, img.cpType}));

    // 24 bits in two bands of 100 rows: 4 bytes a pixel, pitch width x 4, alpha 255.
    std::string rgb = Pattern(5, 200, 3, 2);
    ASSERT_TRUE(Load(img, Hg3Builder().StdInfo(Info(5, 200, 24)).Bands(Bytes(rgb), 15, 5, 200, 3, 100).Build()));
    EXPECT_EQ(Ints({4, 20, 1}), Ints({img.bytesPerPixel, img.pitch, img.alphaState}));
    std::string expect;
    for (size_t i = 0; i < rgb.size(); i += 3) expect += rgb.substr(i, 3) + '\xFF';
    EXPECT_EQ(expect, Rows(img));
}

TEST(Hg3Test, MissingBandEndsTheListAndUncoveredRowsAreZero)
{
    std::string px = Pattern(4, 200, 4, 3);
    kcImageHg3 img;
    ASSERT_TRUE(Load(img, Hg3Builder()
                              .StdInfo(Info(4, 200, 32))
                              .Band(0, Bytes(px), 16, 4, 200, 4, 0, 100)
                              .Band(2, Bytes(px), 16, 4, 200, 4, 100, 100)
                              .Build()));
    // Band 0 holds the bottom 100 rows; "img0002" is never reached, so rows 0..99 stay zero.
    EXPECT_EQ(std::string(1600, '\0') + px.substr(1600), Rows(img));
}

TEST(Hg3Test, BandsAreTheFirstOfTheirNameAmongTheChunksTheListReaches)
{
    std::string px = Pattern(4, 2, 4, 5), other = Pattern(4, 2, 4, 6);
    Hg3Builder late;
    late.StdInfo(Info(4, 2, 32)).Band(1, Bytes(other), 16, 4, 2, 4, 1, 1);
    std::string lateFile = late.Build();
    const struct {
        std::string file, rows;
    } cases[] = {
        // A second "img0000" after the bands is not taken.
        {Hg3Builder()
             .StdInfo(Info(4, 2, 32))
             .Band(0, Bytes(px), 16, 4, 2, 4, 0, 1)
             .Chunk("pad", "")
             .Band(1, Bytes(px), 16, 4, 2, 4, 1, 1)
             .Band(0, Bytes(other), 16, 4, 2, 4, 0, 1)
             .Build(),
         px},
        // "img0001" lies behind the chunk that ends the list: never reached, its row stays zero.
        {Hg3Builder().StdInfo(Info(4, 2, 32)).Band(0, Bytes(px), 16, 4, 2, 4, 0, 1).Build() +
             lateFile.substr(lateFile.find("img0001")),
         std::string(16, '\0') + px.substr(16)},
    };
    for (const auto& c : cases) {
        kcImageHg3 img;
        ASSERT_TRUE(Load(img, c.file));
        EXPECT_EQ(c.rows, Rows(img));
    }
}

TEST(Hg3Test, FramesByIdAndIndex)
{
    std::string a = Pattern(3, 3, 4, 4), c = Pattern(2, 5, 4, 5), d = Pattern(6, 1, 4, 6);
    Hg3Builder b;
    b.Frame(4).StdInfo(Info(3, 3, 32)).Bands(Bytes(a), 12, 3, 3, 4, 99);
    b.Frame(7).StdInfo(Info(2, 5, 32)).Bands(Bytes(c), 8, 2, 5, 4, 99);
    b.Frame(9).StdInfo(Info(6, 1, 32)).Bands(Bytes(d), 24, 6, 1, 4, 99);
    b.Frame(7).StdInfo(Info(6, 1, 32)).Bands(Bytes(d), 24, 6, 1, 4, 99);
    std::string file = b.Build();
    MemoryBlock in = View(file), empty;
    kcImageHg3 img;
    ASSERT_TRUE(img.Load(&in, 7));
    EXPECT_EQ(c, Rows(img));
    EXPECT_FALSE(img.Load(&in, 8));
    int id = 0;
    ASSERT_TRUE(img.LoadIndexed(&in, 2, &id));
    EXPECT_EQ(Ints({9, 6}), Ints({id, img.width}));
    ASSERT_TRUE(img.LoadIndexed(&in, 3, &id)); // id 7 again: the first frame with it loads
    EXPECT_EQ(Ints({7, 2}), Ints({id, img.width}));
    EXPECT_FALSE(img.LoadIndexed(&in, 4, &id));
    EXPECT_FALSE(img.LoadIndexed(&empty, 0, &id));
}

TEST(Hg3Test, AttributeChunksAndFindChunk)
{
    std::string px = Pattern(2, 2, 4, 7);
    std::string file = Hg3Builder()
                           .Chunk("ats12", std::string(20, '\x11'))
                           .StdInfo(Info(2, 2, 32))
                           .Bands(Bytes(px), 8, 2, 2, 4, 2)
                           .Chunk("ats12", std::string(20, '\x22'))
                           .Chunk("ats0x1F", std::string(20, '\x33'))
                           .Chunk("ats5", std::string(19, '\x44'))
                           .Chunk("atsx", std::string(20, '\x55'))
                           .U32Chunk("imgmode", 1)
                           .Build();
    kcImageHg3 img;
    ASSERT_TRUE(Load(img, file));
    ASSERT_TRUE(img.GetInfo(12) && img.GetInfo(0x1F));
    EXPECT_EQ(Ints({0x22, 0x33}), Ints({img.GetInfo(12)[0], img.GetInfo(0x1F)[19]})); // the last "ats12" wins
    EXPECT_EQ(nullptr, img.GetInfo(5)); // fewer than 20 bytes
    EXPECT_EQ(2u, img.infoMap->size());
    // imgmode 1: red and blue exchanged once, then the flag is cleared.
    EXPECT_EQ(SwappedFirst(px), Px(img, 0, 0));
    EXPECT_EQ(0, img.redBlueSwapped);

    std::string two = Hg3Builder().Frame(0).Chunk("first", "abc").Chunk("second", "de").Frame(1).Chunk("third", "f").Build();
    kcByteReader r(two.data(), uint32_t(two.size())), none;
    uint32_t size = 0;
    const uint8_t* p = kcImageHg3::FindChunk(r, 20, "second", &size);
    ASSERT_NE(nullptr, p);
    EXPECT_EQ("de", std::string(reinterpret_cast<const char*>(p), size));
    EXPECT_EQ(nullptr, kcImageHg3::FindChunk(r, 20, "third", &size)); // another frame's chunk
    EXPECT_EQ(0u, size);
    EXPECT_EQ(nullptr, kcImageHg3::FindChunk(none, 20, "first", &size));
}

TEST(Hg3Test, BadFilesFailWithTheirMessages)
{
    std::string px = Pattern(8, 8, 4, 8);
    const std::string good = Hg3Builder().StdInfo(Info(8, 8, 32)).Bands(Bytes(px), 32, 8, 8, 4, 8).Build();
    const size_t frame = 12, chunk = 20, info = 36, band = 20 + 16 + 40 + 16, kWhole = SIZE_MAX; // bytes: the whole file
    const char* kBroken = "HG3 : データが壊れています";
    Hg2Coded longTail = Hg2Encode(Bytes(px), 32, 8, 1, 4); // its byte area inflates on past its raw size
    longTail.packedArea = ZlibLongTail(longTail.area, 2000);
    struct Case {
        const char* what;
        size_t offset;
        std::string bytes;
        const char* message; // null: fails without a message
    } cases[] = {
        {"signature", 0, "HG-2", "HG3 : ヘッダが違います"},
        {"header size", 4, Le32(16), "HG3 : ヘッダサイズが違います"},
        {"frame id", frame + 4, Le32(3), nullptr},
        {"no stdinfo", chunk, "stdinfX", nullptr},
        {"name without NUL", chunk, "stdinfoX", kBroken},
        {"chunk size past end", chunk + 12, Le32(0x7FFFFFFF), kBroken},
        {"chunk link backwards", chunk + 8, Le32(0xFFFFFFF0), kBroken},
        {"chunk link inside header", chunk + 8, Le32(4), kBroken},
        {"frame link loops back", frame, Le32(0xFFFFFFF4) + Le32(3), kBroken},
        {"overflowing size", info, Le32(0x10000) + Le32(0x10000), kBroken},
        {"band rows past picture", band + 4, Le32(9), kBroken},
        {"band first row past picture", band, Le32(8), kBroken},
        {"band packed size past chunk", band + 8, Le32(0x10000), kBroken},
        {"band byte area size", band + 12, Le32(5), "kcImageHg3 : バイト領域のサイズが異常です"},
        {"band bit area size", band + 20, Le32(1), "kcImageHg3 : ビット領域のサイズが異常です"},
        {"bands at 16 bits", info + 8, Le16(16), kBroken},
        {"bands at 28 bits", info + 8, Le16(28), kBroken},
        {"24 bits past the pixel limit at 4 bytes", info, Le32(1) + Le32(0x4000001) + Le16(24), kBroken},
        {"JPEG at 16 bits", kWhole, Hg3Builder().StdInfo(Info(8, 8, 16)).Chunk("img_jpg", "\xFF\xD8 not really").Build(), kBroken},
        {"bands whose streams share bytes", kWhole, Hg3SharedTail(16, 4, 3, 1, 10), kBroken},
        {"byte area past its raw size", kWhole, Hg3Builder().StdInfo(Info(8, 1, 32)).CodedBand(0, 0, 1, longTail).Build(),
         "kcImageHg3 : バイト領域のサイズが異常です"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string file = c.offset == kWhole ? c.bytes : good;
        if (c.offset != kWhole) file.replace(c.offset, c.bytes.size(), c.bytes);
        LogCapture log;
        kcImageHg3 img;
        EXPECT_FALSE(Load(img, file));
        if (c.message)
            EXPECT_TRUE(log.Contains(c.message));
        else
            EXPECT_TRUE(log.Lines().empty());
    }
}

TEST(Hg3Test, LargePictureBandsDecodeAlikeAndTheFirstFailingBandIsReported)
{
    // 1 MiB of pixels in four bands: decoded side by side, with the same result as in order.
    const int w = 512, h = 512;
    std::string px = Pattern(w, h, 4, 11);
    std::string file = Hg3Builder().StdInfo(Info(w, h, 32)).Bands(Bytes(px), w * 4, w, h, 4, 128).Build();
    kcImageHg3 img;
    ASSERT_TRUE(Load(img, file));
    EXPECT_EQ(px, Rows(img));
    // Band 1 with a wrong bit-area size and band 3 with a wrong byte-area size.
    size_t band1 = file.find(std::string("img0001", 8)) + 16, band3 = file.find(std::string("img0003", 8)) + 16;
    file.replace(band1 + 20, 4, Le32(7));
    file.replace(band3 + 12, 4, Le32(9));
    LogCapture log;
    EXPECT_FALSE(Load(img, file));
    ASSERT_EQ(1u, log.Lines().size());
    EXPECT_TRUE(log.Contains("kcImageHg3 : ビット領域のサイズが異常です"));
}

TEST(Hg3Test, JpegAndWebPFramesAndWhichPictureIsTaken)
{
    const int w = 12, h = 6;
    kcImageJpeg jsrc, jref;
    kcImageWebP wsrc, wref;
    Paint(&jsrc, w, h, 3);
    Paint(&wsrc, w, h, 4);
    const std::string jpeg = Saved(jsrc), webp = Saved(wsrc), bgra = Pattern(w, h, 4, 9);
    MemoryBlock jin = View(jpeg), win = View(webp);
    ASSERT_TRUE(jref.Load(&jin, 0) && wref.Load(&win, 0));
    std::string alpha;
    for (int i = 0; i < w * h; i++) alpha += char(i * 2);
    struct Case {
        const char* what;
        bool webp;
        int bits;
        std::string alpha; // empty: no "img_al" chunk
        int imgmode;       // -1: no chunk
        bool others;       // bands and a JPEG chunk before the WebP one
    } cases[] = {
        {"JPEG with alpha plane", false, 32, alpha, -1, false},
        {"JPEG without alpha plane", false, 32, "", -1, false},
        {"JPEG with a short alpha plane", false, 32, alpha.substr(1), -1, false},
        {"JPEG, imgmode 0 keeps the decoder's order", false, 32, alpha, 0, false},
        {"JPEG at 24 bits ignores the plane", false, 24, alpha, -1, false},
        {"WebP keeps the decoder's order", true, 32, "", -1, false},
        {"WebP wins over bands and JPEG", true, 32, "", 1, true},
        {"WebP at 24 bits", true, 24, "", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Hg3Builder b;
        b.StdInfo(Info(w, h, c.bits));
        if (c.others) b.Bands(Bytes(bgra), w * 4, w, h, 4, h).Chunk("img_jpg", jpeg);
        b.Chunk(c.webp ? "img_wbp" : "img_jpg", c.webp ? webp : jpeg);
        if (!c.alpha.empty()) b.Alpha(c.alpha);
        if (c.imgmode >= 0) b.U32Chunk("imgmode", c.imgmode);
        kcImageHg3 img;
        ASSERT_TRUE(Load(img, b.Build()));
        EXPECT_EQ(w * 4, img.pitch);
        // A JPEG chunk without "imgmode" means red first, as "imgmode" 1 does.
        bool swapped = c.imgmode == 1 || (c.imgmode < 0 && (!c.webp || c.others));
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                Ints r = Px(c.webp ? static_cast<kcImage&>(wref) : jref, x, y);
                if (swapped) std::swap(r[0], r[2]);
                r.resize(3);
                bool plane = !c.webp && c.alpha.size() == alpha.size();
                r.push_back(c.bits == 24 ? 255 : c.webp ? wref.PixelAt(x, y)[3] : plane ? uint8_t((y * w + x) * 2) : 255);
                ASSERT_EQ(r, Px(img, x, y)) << x << "," << y;
            }
    }
    kcImageHg3 img; // a picture whose size differs from "stdinfo"
    EXPECT_FALSE(Load(img, Hg3Builder().StdInfo(Info(w, h + 1, 32)).Chunk("img_jpg", jpeg).Build()));
    // "img_jpa" alone marks a JPEG frame: band pixels come out with red and blue exchanged.
    ASSERT_TRUE(Load(img, Hg3Builder().StdInfo(Info(w, h, 32)).Bands(Bytes(bgra), w * 4, w, h, 4, h).Chunk("img_jpa", "x").Build()));
    EXPECT_EQ(SwappedFirst(bgra), Px(img, 0, 0));
    // A plane of 1024 bytes or more whose stream inflates on past its raw size is cut there and taken.
    Paint(&jsrc, 32, 32, 3);
    const std::string plane = Pattern(32, 32, 1, 7), packed = ZlibLongTail(plane, 2000);
    ASSERT_TRUE(Load(img, Hg3Builder().StdInfo(Info(32, 32, 32)).Chunk("img_jpg", Saved(jsrc))
                              .Chunk("img_al", Le32(uint32_t(packed.size())) + Le32(32 * 32) + packed).Build()));
    EXPECT_EQ(uint8_t(plane[33]), img.PixelAt(1, 1)[3]);
}

// All bands' streams with their fixed headers take at most the file's bytes: band 0's bit stream
// runs on over band 1 (inflate ignores what follows its end) until the sum is the file's size,
// or one byte more.
TEST(Hg3Test, BandStreamsSharingBytesAreRefused)
{
    std::string px;
    for (uint32_t i = 0, seed = 5; i < 8 * 8 * 4; i++) px += char((seed = seed * 1664525 + 1013904223) >> 24);
    const std::string two = Hg3Builder().StdInfo(Info(8, 8, 32)).Bands(Bytes(px), 32, 8, 8, 4, 4).Build();
    const size_t band0 = two.find(std::string("img0000", 8)) + 16, band1 = two.find(std::string("img0001", 8)) + 16;
    const uint32_t streams = At32(two, band0 - 4) + At32(two, band1 - 4); // each chunk: 24 bytes, then its two streams
    for (uint32_t extra : {0, 1}) {
        const uint32_t more = uint32_t(two.size()) - streams + extra;
        std::string file = two;
        file.replace(band0 - 4, 4, Le32(At32(two, band0 - 4) + more));
        file.replace(band0 + 16, 4, Le32(At32(two, band0 + 16) + more));
        LogCapture log;
        kcImageHg3 img;
        EXPECT_EQ(!extra, Load(img, file) && Rows(img) == px) << extra;
        EXPECT_EQ(extra == 1, log.Contains("HG3 : データが壊れています")) << extra;
    }
}

// Side by side, no band is begun once one has failed: the top band (decoded last) leaves the
// rows as the previous load left them.
TEST(Hg3Test, BandWorkersStopAtTheFirstFailure)
{
    const int w = 2048, h = 2048, rows = 32;
    const std::string a = Pattern(w, rows, 4, 31), b = Pattern(w, rows, 4, 32);
    const Hg2Coded ca = Hg2Encode(Bytes(a), w * 4, w, rows, 4), cb = Hg2Encode(Bytes(b), w * 4, w, rows, 4);
    Hg2Coded broken = cb;
    broken.area.resize(size_t(w) * rows * 4 + 4097); // a byte area too large for its rows
    Hg3Builder good = Hg3Builder().StdInfo(Info(w, h, 32)), bad = good;
    for (int i = 0; i < h / rows; i++) good.CodedBand(i, i * rows, rows, ca), bad.CodedBand(i, i * rows, rows, i ? cb : broken);
    kcImageHg3 img;
    ASSERT_TRUE(Load(img, good.Build()));
    LogCapture log;
    EXPECT_FALSE(Load(img, bad.Build()));
    EXPECT_TRUE(log.Contains("kcImageHg3 : バイト領域のサイズが異常です"));
    ASSERT_EQ(w, img.width);
    EXPECT_TRUE(a == std::string(reinterpret_cast<char*>(img.pixels), a.size()));
}

// Bands may overlap in any number, but together claim at most four times the frame's rows plus
// rows of 1 MiB (a zero-width row counting one byte).
TEST(Hg3Test, OverlappingBandsUpToTheRowBound)
{
    // Rows top-down: 0 zero, 1 from b, 2 zero, 3 and 4 from each of `count` bands of a, 5 zero.
    const std::string a = Pattern(4, 6, 4, 21), b = Pattern(4, 6, 4, 22), zero(16, '\0');
    for (int count : {255, 256, 512}) {
        Hg3Builder f = Hg3Builder().StdInfo(Info(4, 6, 32));
        for (int i = 0; i < count; i++) f.Band(i, Bytes(a), 16, 4, 6, 4, 1, 2);
        kcImageHg3 img;
        ASSERT_TRUE(Load(img, f.Band(count, Bytes(b), 16, 4, 6, 4, 4, 1).Build())) << count;
        EXPECT_EQ(zero + b.substr(16, 16) + zero + a.substr(48, 32) + zero, Rows(img)) << count;
    }
    const uint32_t tall = 0x10000000, w = 65536, h = 4; // rows of 256 KiB: 16 + 4 rows
    const std::string px = Pattern(w, h, 4, 24);
    const Hg2Coded none = Hg2Encode(nullptr, 0, 0, 0, 4), full = Hg2Encode(Bytes(px), w * 4, w, h, 4);
    for (uint32_t past : {0, 1}) {
        Hg3Builder flat = Hg3Builder().StdInfo(Info(0, tall, 24)).CodedBand(4, 0, (1 << 20) + past, none);
        Hg3Builder wide = Hg3Builder().StdInfo(Info(w, h, 32));
        for (uint32_t i = 0; i < 5 + past; i++) {
            if (i < 4) flat.CodedBand(i, 0, tall, none);
            wide.CodedBand(i, 0, h, full);
        }
        LogCapture log;
        kcImageHg3 empty, img;
        EXPECT_EQ(!past, Load(empty, flat.Build()));
        EXPECT_EQ(!past, Load(img, wide.Build()));
        EXPECT_EQ(past == 1, log.Contains("HG3 : データが壊れています"));
        if (past) continue;
        EXPECT_EQ(Ints({4, int(tall), 0}), Ints({empty.bytesPerPixel, empty.height, int(empty.pixelBytes)}));
        EXPECT_EQ(px, Rows(img));
    }
}
