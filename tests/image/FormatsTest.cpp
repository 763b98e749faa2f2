// The formats with writers in one table (round trips through the holder), the written layouts,
// the refused saves, every reader's bad files, and the hand-built files of BMP, PNG and PSD.
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
#include <climits>
#include <cstdlib>

namespace {
// Smooth enough for the lossy coders; every channel and row differs, so swaps and flips show.
std::string Gradient(int w, int h, int bpp)
{
    std::string s;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const int v[4] = {x * 6, y * 8, 240 - x * 5, y % 2 ? 255 : 128 + x};
            for (int c = 0; c < bpp; c++) s += char(v[c]);
        }
    return s;
}

bool Loads(kcImage* img, const std::string& file)
{
    MemoryBlock in = View(file);
    bool ok = img->Load(&in, 0);
    img->Release();
    return ok;
}

const char* kWrongType = "イメージのタイプが違います";

// A one-component progressive JPEG of any declared size: headers, a DC scan, a byte of data.
std::string ProgressiveJpeg(int width, int height)
{
    const std::string quant = "\xFF\xDB" + Be16(67) + '\0' + std::string(64, '\1');
    const std::string frame = "\xFF\xC2" + Be16(11) + '\x08' + Be16(height) + Be16(width) + std::string("\x01\x01\x11\x00", 4);
    const std::string huffman = "\xFF\xC4" + Be16(20) + '\0' + '\1' + std::string(16, '\0'); // one code: DC difference 0
    return "\xFF\xD8" + quant + frame + huffman + "\xFF\xDA" + Be16(8) + std::string("\x01\x01\x00\x00\x00\x00\x00\xFF\xD9", 9);
}
} // namespace

TEST(FormatsTest, RoundTripsThroughTheHolder)
{
    struct Writer {
        const char* name;
        kcImage* (*make)();
        int bpp, loadedBpp;
        kcImageType type;
        bool lossy, unroundedPitch, roundsTo8;
    } writers[] = {
        {"BMP 24", New<kcImageBmp>, 3, 4, kcImageTypeBmp, false, false, true},
        {"BMP 32", New<kcImageBmp>, 4, 4, kcImageTypeBmp, false, false, true},
        {"PNG 24", New<kcImagePng>, 3, 3, kcImageTypePng, false, false, true},
        {"PNG 32", New<kcImagePng>, 4, 4, kcImageTypePng, false, false, true},
        {"KCF 8", New<kcImageKcf>, 1, 1, kcImageTypeKcf, false, false, true},
        {"KCF 16", New<kcImageKcf>, 2, 2, kcImageTypeKcf, false, false, true},
        {"KCF 24", New<kcImageKcf>, 3, 3, kcImageTypeKcf, false, false, true},
        {"KCF 32", New<kcImageKcf>, 4, 4, kcImageTypeKcf, false, false, true},
        {"HG-2 24", New<kcImageHg2>, 3, 3, kcImageTypeHg2, false, true, false},
        {"HG-2 32", New<kcImageHg2>, 4, 4, kcImageTypeHg2, false, true, false},
        {"JPEG", New<kcImageJpeg>, 3, 3, kcImageTypeJpeg, true, false, false},
        {"WebP", New<kcImageWebP>, 4, 4, kcImageTypeWebP, true, false, true},
    };
    const int w = 39, h = 30; // rows of odd length; more than 1024 bytes for the HG-2 planes
    for (const Writer& f : writers) {
        SCOPED_TRACE(f.name);
        kcImage* src = f.make();
        Paint(src, w, h, f.bpp, Gradient(w, h, f.bpp));
        MemoryBlock out;
        ASSERT_TRUE(src->Save(&out, 0, 0, 0, 0));
        EXPECT_TRUE(!f.roundsTo8 || (out.size % 8 == 0 && out.size == out.capacity));
        kcImageHolder holder;
        ASSERT_NE(nullptr, holder.LoadFromMemory(&out, false, 0));
        EXPECT_EQ(f.type, holder.type);
        const kcImage& back = *holder.GetImage();
        int cw = 0, ch = 0;
        back.GetCanvasSize(&cw, &ch);
        EXPECT_EQ(Ints({w, h, f.loadedBpp, w, h, 0, 0}), Ints({back.width, back.height, back.bytesPerPixel, cw, ch, back.offsetX, back.offsetY}));
        EXPECT_EQ(f.unroundedPitch ? w * f.bpp : (w * f.loadedBpp + 3) & ~3, back.pitch);
        long error = 0;
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) {
                Ints want = Px(*src, x, y), got = Px(back, x, y);
                want.resize(f.loadedBpp, 255);
                ASSERT_TRUE(f.lossy || want == got) << x << "," << y;
                for (int c = 0; c < f.loadedBpp; c++) error += std::abs(want[c] - got[c]);
            }
        EXPECT_LE(error, f.lossy ? 8L * w * h * f.bpp : 0L); // a swap or flip would cost far more
        out.Free();
        src->Release();
    }
}

TEST(FormatsTest, WrittenLayouts)
{
    kcImageBmp bmp;
    Paint(&bmp, 3, 2, 3);
    std::string file = Saved(bmp), px = Pattern(3, 2, 3);
    std::string rows = px.substr(0, 9) + std::string(3, '\0') + px.substr(9) + std::string(3, '\0');
    EXPECT_EQ("BM" + Le32(78) + Le32(0) + Le32(54) + Le32(40) + Le32(3) + Le32(2) + Le16(1) + Le16(24) + Le32(0) + Le32(24) +
                  std::string(16, '\0') + rows + std::string(2, '\0'),
              file); // 78 bytes rounded up to 80

    kcImageKcf kcf;
    Paint(&kcf, 5, 3, 3);
    file = Saved(kcf);
    EXPECT_EQ(std::string("KCF\0", 4) + Le16(5) + Le16(3) + Le16(16) + Le16(3) + "KCLZ", file.substr(0, 16));

    for (int bpp = 3; bpp <= 4; ++bpp) {
        kcImagePng png;
        Paint(&png, 7, 5, bpp);
        file = Saved(png);
        EXPECT_EQ((std::string{8, char(bpp == 3 ? 2 : 6), 0, 0, 0}), file.substr(24, 5)); // 8 bits, RGB or RGBA
        size_t end = file.find("IEND\xAE\x42\x60\x82") + 8;
        EXPECT_EQ((end + 7) / 8 * 8, file.size());
    }

    kcImageJpeg jpeg;
    Paint(&jpeg, 33, 17, 3);
    MemoryBlock out;
    ASSERT_TRUE(jpeg.Save(&out, 0, 0, 0, 0));
    EXPECT_EQ(Ints({0xFF, 0xD8, 0xFF, 0xD9, 8192}), Ints({out.data[0], out.data[1], out.data[out.size - 2], out.data[out.size - 1], int(out.capacity)}));
    out.Free();
    kcImageWebP webp;
    Paint(&webp, 6, 4, 4);
    EXPECT_EQ("RIFF", Saved(webp).substr(0, 4));
}

TEST(FormatsTest, SavesThatCannotRepresentTheImageFail)
{
    struct Case {
        const char* what;
        kcImage* (*make)();
        int w, h, bpp;
        const char* message;
        bool keepsDestination;
    } cases[] = {
        {"HG-2 of 2 bytes", New<kcImageHg2>, 4, 4, 2, "この色数には対応していません", false},
        {"BMP of 1 byte", New<kcImageBmp>, 3, 3, 1, nullptr, true},
        {"BMP of 2 bytes", New<kcImageBmp>, 3, 3, 2, nullptr, true},
        {"PNG of 1 byte", New<kcImagePng>, 4, 4, 1, nullptr, true},
        {"PNG of 2 bytes", New<kcImagePng>, 4, 4, 2, nullptr, true},
        {"JPEG of 1 byte", New<kcImageJpeg>, 8, 8, 1, nullptr, true},
        {"JPEG without pixels", New<kcImageJpeg>, 0, 0, 3, nullptr, true},
        {"WebP of 3 bytes", New<kcImageWebP>, 4, 4, 3, nullptr, true},
        {"KCF wider than 65535", New<kcImageKcf>, 70000, 1, 1, "イメージの保存に失敗しました", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        kcImage* img = c.make();
        if (c.w) Paint(img, c.w, c.h, c.bpp);
        std::string guard(16, 'g');
        MemoryBlock out = View(guard);
        LogCapture log;
        EXPECT_FALSE(img->Save(&out, 0, 0, 0, 0));
        EXPECT_EQ(c.keepsDestination ? guard.data() : nullptr, reinterpret_cast<char*>(out.data));
        EXPECT_EQ(c.keepsDestination ? Ints({16, 1}) : Ints({0, 0}), Ints({int(out.size), out.external}));
        EXPECT_TRUE(!c.message || log.Contains(c.message));
        img->Release();
    }
}

TEST(FormatsTest, BadFilesFailCleanly)
{
    const std::string rows24(16, '\x07'), kcfPixels(24, '\x09');
    auto kcf = [](int w, int h, int pitch, int bpp, const std::string& pixels) {
        return std::string("KCF\0", 4) + Le16(w) + Le16(h) + Le16(pitch) + Le16(bpp) + Kclz(pixels, 0);
    };
    const std::string bmp = Bmp(2, 2, 24, rows24), goodKcf = kcf(3, 2, 12, 4, kcfPixels);
    const std::string redInTopByte = MaskedBmp(0xff000000, 0x00ff0000, 0x0000ff00), bgrMasks = MaskedBmp(0x0000ff, 0x00ff00, 0xff0000);
    const std::string raw = Psd(2, 2, "", 0, RawPlanes2x2()), png = Png(4, 4, 8, 2, std::vector<std::string>(4, std::string(12, '3')));
    kcImageJpeg jsrc;
    Paint(&jsrc, 32, 32, 3);
    kcImageWebP wsrc;
    Paint(&wsrc, 16, 16, 4);
    const std::string jpeg = Saved(jsrc), webp = Saved(wsrc);
    std::string unsupported = jpeg;
    unsupported[unsupported.find("\xFF\xC0") + 1] = '\xCF'; // a coding the library does not take
    const std::string huge = ProgressiveJpeg(30000, 30000); // refused before the decoder reserves anything
    MemoryBlock hugeIn = View(huge);
    EXPECT_TRUE(kcImageJpeg::Probe(&hugeIn)); // which reads only the header
    struct Case {
        const char* what;
        kcImage* (*make)();
        std::string file;
        const char* message; // null: fails without a message
    } cases[] = {
        {"BMP: not BM", New<kcImageBmp>, "MB\0\0", kWrongType},
        {"BMP: header size 56", New<kcImageBmp>, bmp.substr(0, 14) + '\x38' + bmp.substr(15), kWrongType},
        {"BMP: 16 bits", New<kcImageBmp>, Bmp(2, 2, 16, rows24), nullptr},
        {"BMP: pixels cut short", New<kcImageBmp>, bmp.substr(0, bmp.size() - 3), nullptr},
        {"BMP: pixel offset outside", New<kcImageBmp>, bmp.substr(0, 10) + Le32(0xFF0000F0) + bmp.substr(14), nullptr},
        {"BMP: top-down rows", New<kcImageBmp>, Bmp(2, -2, 24, rows24), kWrongType},
        {"BMP: run-length coded", New<kcImageBmp>, Bmp(2, 2, 24, rows24, 1), kWrongType},
        {"BMP: colour masks with red in the top byte", New<kcImageBmp>, redInTopByte, kWrongType},
        {"BMP: colour masks in R, G, B byte order", New<kcImageBmp>, bgrMasks, kWrongType},
        {"BMP: colour masks cut off", New<kcImageBmp>, Bmp(1, 1, 32, "", 3), kWrongType},
        {"BMP: huge width", New<kcImageBmp>, Bmp(0x7FFFFFFF, 2, 32, rows24), nullptr},
        {"BMP: headers cut", New<kcImageBmp>, "BM\1\2\3", nullptr},
        {"KCF: signature", New<kcImageKcf>, "KCX" + goodKcf.substr(3), kWrongType},
        {"KCF: pitch below width x bpp", New<kcImageKcf>, kcf(3, 2, 8, 4, kcfPixels), nullptr},
        {"KCF: bpp 0", New<kcImageKcf>, kcf(3, 2, 12, 0, kcfPixels), nullptr},
        {"KCF: bpp 5", New<kcImageKcf>, kcf(3, 2, 15, 5, std::string(30, '\1')), nullptr},
        {"KCF: raw length below pitch x height", New<kcImageKcf>, kcf(3, 3, 12, 4, kcfPixels), nullptr},
        {"KCF: damaged block", New<kcImageKcf>, goodKcf.substr(0, 32) + Le32(0xF0) + goodKcf.substr(36), nullptr},
        {"KCF: truncated block", New<kcImageKcf>, goodKcf.substr(0, goodKcf.size() - 3), nullptr},
        {"KCF: header only", New<kcImageKcf>, goodKcf.substr(0, 12), nullptr},
        {"PSD: grey", New<kcImagePsd>, Psd(2, 2, "", 0, RawPlanes2x2(), 8, 1), nullptr},
        {"PSD: CMYK", New<kcImagePsd>, Psd(2, 2, "", 0, RawPlanes2x2(), 8, 4), nullptr},
        {"PSD: 16 bits a channel", New<kcImagePsd>, Psd(2, 2, "", 0, std::string(24, '\1'), 16), nullptr},
        {"PSD: width above 65535", New<kcImagePsd>, Psd(0x10002, 1, "", 0, std::string(12, '\1')), nullptr},
        {"PSD: planes cut short", New<kcImagePsd>, raw.substr(0, raw.size() - 1), nullptr},
        {"PSD: run-length data cut short", New<kcImagePsd>, Psd(129, 1, "", 1, std::string("\0\2\0\2\0\2\x80\x11\x80", 9)), nullptr},
        {"PSD: section length wraps", New<kcImagePsd>, raw.substr(0, 34) + Be32(0xFFFFFFF0) + raw.substr(38), nullptr},
        {"PSD: colour data high half", New<kcImagePsd>, raw.substr(0, 27) + '\1' + raw.substr(28), nullptr},
        {"PSD: zip planes", New<kcImagePsd>, Psd(2, 2, "", 2, RawPlanes2x2()), nullptr},
        {"PSD: signature", New<kcImagePsd>, "8BPX", nullptr},
        {"PNG: bad CRC", New<kcImagePng>, png.substr(0, 29) + char(png[29] ^ 1) + png.substr(30), nullptr},
        {"PNG: huge size", New<kcImagePng>, Png(0x7FFFFFFF, 0x7FFFFFFF, 8, 2, {"\1\2\3"}), nullptr},
        {"PNG: signature only", New<kcImagePng>, png.substr(0, 8), nullptr},
        {"PNG: cut in IHDR", New<kcImagePng>, png.substr(0, 20), nullptr},
        {"PNG: cut in IDAT", New<kcImagePng>, png.substr(0, 45), nullptr},
        {"PNG: cut before IEND", New<kcImagePng>, png.substr(0, png.size() - 13), nullptr},
        {"JPEG: 10 bytes", New<kcImageJpeg>, jpeg.substr(0, 10), nullptr},
        {"JPEG: 11 bytes", New<kcImageJpeg>, jpeg.substr(0, 11), nullptr},
        {"JPEG: damaged frame header", New<kcImageJpeg>, std::string("\xFF\xD8\xFF\xC0\0\x04\0\0\xFF\xD9\0\0", 12), nullptr},
        {"JPEG: unsupported coding", New<kcImageJpeg>, unsupported, nullptr},
        {"JPEG: progressive, 30000 x 30000", New<kcImageJpeg>, huge, "ピクセルイメージ用バッファの確保に失敗しました"},
        {"WebP: cut in half", New<kcImageWebP>, webp.substr(0, webp.size() / 2), nullptr},
        {"WebP: junk", New<kcImageWebP>, std::string(64, 'A'), nullptr},
    };
    int live = kcHeapLiveBlocks();
    for (const Case& c : cases) {
        LogCapture log;
        EXPECT_FALSE(Loads(c.make(), c.file)) << c.what;
        if (c.message)
            EXPECT_TRUE(log.Contains(c.message)) << c.what;
        else
            EXPECT_TRUE(log.Lines().empty()) << c.what;
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
    EXPECT_FALSE(Loads(New<kcImageBmp>(), "")); // and a null block
    kcImageBmp none;
    EXPECT_FALSE(none.Load(nullptr, 0));
}

TEST(FormatsTest, ProbesAndHandBuiltPngAndBmp)
{
    bool (*probes[])(const MemoryBlock*) = {kcImageHg3::Probe, kcImageHg2::Probe, kcImagePng::Probe, kcImageJpeg::Probe,
                                            kcImageBmp::Probe, kcImagePsd::Probe, kcImageWebP::Probe, kcImageKcf::Probe};
    MemoryBlock empty;
    for (auto probe : probes) EXPECT_FALSE(probe(nullptr) || probe(&empty));
    std::string prefix = "\x89PN", other = "\x89PXG\r\n\x1A\n", bmp8 = Bmp(1, 1, 8, std::string(4, '\0'));
    std::string core = "BM" + Le32(34) + Le32(0) + Le32(26) + Le32(12) + Le16(2) + Le16(1) + Le16(1) + Le16(24) +
                       std::string("\1\2\3\4\5\6\0\0", 8);
    MemoryBlock p = View(prefix), o = View(other), b8 = View(bmp8), c = View(core);
    EXPECT_TRUE(kcImagePng::Probe(&p)); // the first min(size, 8) bytes
    EXPECT_FALSE(kcImagePng::Probe(&o) || kcImageBmp::Probe(&b8));
    // A core header: not taken by the probe, read by Load.
    EXPECT_FALSE(kcImageBmp::Probe(&c));
    kcImageBmp bmp;
    ASSERT_TRUE(bmp.Load(&c, 0));
    EXPECT_EQ(Ints({40, 2, 24}), Ints({int(bmp.info.size), bmp.info.width, bmp.info.bitCount}));
    EXPECT_EQ(Ints({4, 5, 6, 255}), Px(bmp, 1, 0));
    // Colour masks naming the B, G, R byte order: the bytes as they stand.
    const std::string masked = MaskedBmp(0x00ff0000, 0x0000ff00, 0x000000ff);
    MemoryBlock m = View(masked);
    ASSERT_TRUE(bmp.Load(&m, 0));
    EXPECT_EQ(Ints({5, 6, 7, 8}), Px(bmp, 1, 1));

    struct Kind {
        const char* what;
        std::string file;
        int bpp, x, y;
        Ints px;
    } kinds[] = {
        {"RGB becomes BGR", Png(2, 1, 8, 2, {"\x0A\x14\x1E\x28\x32\x3C"}), 3, 1, 0, {60, 50, 40}},
        {"grey", Png(3, 1, 8, 0, {"\x10\x80\xFF"}), 3, 1, 0, {128, 128, 128}},
        {"1-bit grey", Png(3, 1, 1, 0, {"\xA0"}), 3, 2, 0, {255, 255, 255}},
        {"palette with tRNS", Png(2, 1, 8, 3, {std::string("\0\1", 2)}, "\1\2\3\4\5\6", "\x40"), 4, 0, 0, {3, 2, 1, 0x40}},
        {"palette past tRNS", Png(2, 1, 8, 3, {std::string("\0\1", 2)}, "\1\2\3\4\5\6", "\x40"), 4, 1, 0, {6, 5, 4, 255}},
        {"16 bits", Png(1, 1, 16, 6, {"\x12\x34\x56\x78\x9A\xBC\xDE\xF0"}), 4, 0, 0, {0x9A, 0x56, 0x12, 0xDE}},
        {"grey with alpha", Png(1, 2, 8, 4, {"\x5A\x07", "\xC8\xFF"}), 4, 0, 1, {200, 200, 200, 255}},
    };
    for (const Kind& k : kinds) {
        kcImagePng png;
        MemoryBlock in = View(k.file);
        ASSERT_TRUE(png.Load(&in, 0)) << k.what;
        EXPECT_EQ(k.bpp, png.bytesPerPixel) << k.what;
        EXPECT_EQ(k.px, Px(png, k.x, k.y)) << k.what;
    }
}

TEST(FormatsTest, PsdMergedImagesAndLayers)
{
    std::string file = Psd(2, 2, "", 0, RawPlanes2x2());
    MemoryBlock in = View(file);
    EXPECT_TRUE(kcImagePsd::Probe(&in));
    kcImagePsd merged;
    ASSERT_TRUE(merged.Load(&in, 5));
    EXPECT_EQ(Ints({2, 2, 4, 8}), Ints({merged.width, merged.height, merged.bytesPerPixel, merged.pitch}));
    // The document's last row comes first; opaque B, G, R from the planes.
    EXPECT_EQ(Ints({32, 22, 12, 255, 33, 23, 13, 255, 30, 20, 10, 255, 31, 21, 11, 255}),
              Ints(merged.pixels, merged.pixels + 16));
    file = Psd(129, 1, "", 1, std::string("\0\2\0\2\0\2\x80\x11\x80\x22\x80\x33", 12)); // 128 repeats 129 times
    in = View(file);
    ASSERT_TRUE(merged.Load(&in, 0));
    for (int x = 0; x < 129; ++x) ASSERT_EQ(Ints({0x33, 0x22, 0x11, 255}), Px(merged, x, 0)) << x;

    std::string layered = LayeredPsd();
    const uint8_t* data = reinterpret_cast<const uint8_t*>(layered.data());
    uint32_t size = uint32_t(layered.size());
    kcPsdInfo info;
    int blend = -1;
    ASSERT_TRUE(kcPsdParse(data, size, &info, 1, 1, &blend));
    EXPECT_EQ(Ints({0, 2, 2, 3, 1, 1, 3, 3, 2}), Ints({info.merged, info.layerCount, info.channels, blend, info.rect.left,
                                                       info.rect.top, info.rect.right, info.rect.bottom, info.sectionDivider}));
    EXPECT_STREQ("レイヤ", info.name);
    EXPECT_TRUE(info.data[0] && !info.data[1] && !info.data[2] && info.data[3]);
    EXPECT_EQ(Ints({1, 5, 0, 4}), Ints({info.compression[0], int(info.length[0]), info.compression[3], int(info.length[3])}));
    EXPECT_EQ(Ints({1, 2, 3, 4}), Ints(info.data[3], info.data[3] + 4));
    std::string plane(16, '\0');
    const uint8_t* end = info.data[0] + info.length[0];
    EXPECT_EQ(end, kcPsdDecodePlane(reinterpret_cast<uint8_t*>(&plane[0]), info.data[0], end, 1, 4, 4, info.rect));
    EXPECT_EQ(std::string("\0\0\0\0\0\x40\x40\0\0\x50\x51\0\0\0\0\0", 16), plane);
    ASSERT_TRUE(kcPsdParse(data, size, &info, 0, 1, &blend));
    EXPECT_STREQ("a", info.name);
    EXPECT_EQ(Ints({0, 0x77}), Ints({blend, info.data[0][0]}));
    EXPECT_FALSE(kcPsdParse(data, size, &info, 2, 1, &blend));
    in = View(layered); // Load takes the merged image behind the layers
    ASSERT_TRUE(merged.Load(&in, 0));
    EXPECT_EQ(Ints({0x80, 0x80, 0x80, 255}), Px(merged, 3, 3));
    std::string hue = layered;
    hue.replace(hue.find("scrn"), 4, "hue ");
    EXPECT_FALSE(kcPsdParse(reinterpret_cast<const uint8_t*>(hue.data()), size, &info, 1, 1, &blend));

    // Packets that pass the right edge go on in the row; bytes outside the plane are dropped.
    std::string src = "\2abc\1de", out(8, '\0'), raw = "\1\2\3\4\5\6\7\x08";
    const uint8_t* s = reinterpret_cast<const uint8_t*>(src.data());
    const uint8_t* r = reinterpret_cast<const uint8_t*>(raw.data());
    uint8_t* o = reinterpret_cast<uint8_t*>(&out[0]);
    EXPECT_EQ(s + 7, kcPsdDecodePlane(o, s, s + 7, 1, 4, 2, kcPsdRect{0, 0, 2, 2}));
    EXPECT_EQ(std::string("abc\0de\0\0", 8), out);
    EXPECT_EQ(nullptr, kcPsdDecodePlane(o, s, s + 6, 1, 4, 2, kcPsdRect{0, 0, 2, 2}));
    EXPECT_EQ(nullptr, kcPsdDecodePlane(o, r, r + 3, 0, 4, 2, kcPsdRect{0, 0, 2, 2}));
    out.assign(8, '\0');
    EXPECT_EQ(r + 8, kcPsdDecodePlane(o, r, r + 8, 0, 4, 2, kcPsdRect{-3, -1, 1, 1}));
    EXPECT_EQ(std::string("\x08\0\0\0\0\0\0\0", 8), out);
    EXPECT_EQ(r, kcPsdDecodePlane(o, r, r + 8, 0, 4, 2, kcPsdRect{5, INT_MIN, 5, INT_MAX}));
}

// The caller-pixel decoders also run under the HG-3 tests and the robustness harness.
TEST(FormatsTest, TruncatedJpegAndOpaqueWebP)
{
    kcImageJpeg jsrc, truncated;
    Paint(&jsrc, 32, 32, 3, Gradient(32, 32, 3));
    std::string jpeg = Saved(jsrc);
    // Cut inside the scan: the source's end-of-image marker completes the picture.
    std::string cut = jpeg.substr(0, (jpeg.find("\xFF\xDA") + jpeg.size()) / 2);
    MemoryBlock in = View(cut);
    ASSERT_TRUE(truncated.Load(&in, 0));
    EXPECT_EQ(32, truncated.width);
    std::vector<uint8_t> three(32 * 32 * 3 + 1, 0x5A);
    const uint8_t* d = reinterpret_cast<const uint8_t*>(jpeg.data());
    EXPECT_TRUE(kcJpegDecodeTo(d, uint32_t(jpeg.size()), three.data(), 32, 32, 96, 3));
    EXPECT_EQ(0x5A, three.back()); // nothing written past the rows
    EXPECT_FALSE(kcJpegDecodeTo(d, uint32_t(jpeg.size()), three.data(), 32, 32, 64, 2));

    // An opaque WebP still loads as 4 bytes a pixel with pitch width x 4.
    kcImageWebP wsrc, opaque;
    Paint(&wsrc, 6, 4, 4, std::string(96, '\xFF'));
    std::string file = Saved(wsrc);
    in = View(file);
    ASSERT_TRUE(opaque.Load(&in, 0));
    EXPECT_EQ(Ints({4, 24, 255}), Ints({opaque.bytesPerPixel, opaque.pitch, opaque.PixelAt(5, 3)[3]}));
}
