#include "image/kcImagePsd.h"
#include "image/FormatTestSupport.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <climits>
#include <cstring>

namespace {

std::vector<uint8_t> Pixel(const kcImage& image, int x, int y)
{
    const uint8_t* p = image.PixelAt(x, y);
    return std::vector<uint8_t>(p, p + 4);
}

} // namespace

TEST(Psd, MergedRawImageLoadsOpaqueWithTheLastRowFirst)
{
    ByteVec file = MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2());
    MemoryBlock block = ExternalBlock(file);
    EXPECT_TRUE(kcImagePsd::Probe(&block));
    kcImagePsd image;
    ASSERT_TRUE(image.Load(&block, 5));
    EXPECT_EQ(2, image.width);
    EXPECT_EQ(2, image.height);
    EXPECT_EQ(4, image.bytesPerPixel);
    EXPECT_EQ(8, image.pitch);
    EXPECT_EQ(std::vector<uint8_t>({32, 22, 12, 255}), Pixel(image, 0, 0));
    EXPECT_EQ(std::vector<uint8_t>({33, 23, 13, 255}), Pixel(image, 1, 0));
    EXPECT_EQ(std::vector<uint8_t>({30, 20, 10, 255}), Pixel(image, 0, 1));
}

TEST(Psd, RunLengthHeader128RepeatsTheNextByte129Times)
{
    ByteVec data = {0, 2, 0, 2, 0, 2}; // row byte counts of three channels, one row each
    data.insert(data.end(), {128, 0x11, 128, 0x22, 128, 0x33});
    ByteVec file = MakePsd(129, 1, ByteVec(), 1, data);
    MemoryBlock block = ExternalBlock(file);
    kcImagePsd image;
    ASSERT_TRUE(image.Load(&block, 0));
    for (int x = 0; x < 129; ++x) ASSERT_EQ(std::vector<uint8_t>({0x33, 0x22, 0x11, 255}), Pixel(image, x, 0)) << x;
}

TEST(Psd, RejectsOtherModesDepthsAndDamagedSections)
{
    struct Case {
        const char* name;
        ByteVec file;
    };
    ByteVec truncated = MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2());
    truncated.resize(truncated.size() - 1);
    ByteVec wrapped = MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2());
    wrapped[34] = 0xFF, wrapped[35] = 0xFF, wrapped[36] = 0xFF, wrapped[37] = 0xF0; // layer-and-mask length
    ByteVec colourData = MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2());
    colourData[27] = 1; // high half of the colour-data length neither 0 nor 3
    ByteVec rleCut = MakePsd(129, 1, ByteVec(), 1, {0, 2, 0, 2, 0, 2, 128, 0x11, 128});
    ByteVec zip = MakePsd(2, 2, ByteVec(), 2, RawPlanes2x2());
    ByteVec badLayerIndex = LayeredPsd();
    std::vector<Case> cases = {
        {"grey", MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2(), 8, 1)},
        {"CMYK", MakePsd(2, 2, ByteVec(), 0, RawPlanes2x2(), 8, 4)},
        {"16 bits per channel", MakePsd(2, 2, ByteVec(), 0, ByteVec(24, 1), 16)},
        {"width above 65535", MakePsd(0x10002, 1, ByteVec(), 0, ByteVec(12, 1))},
        {"plane data cut short", truncated},
        {"run-length data cut short", rleCut},
        {"section length wraps", wrapped},
        {"colour data high half", colourData},
        {"zip planes", zip},
        {"signature", ByteVec{'8', 'B', 'P', 'X'}},
    };
    for (const Case& c : cases) {
        MemoryBlock block = ExternalBlock(c.file);
        kcImagePsd image;
        EXPECT_FALSE(image.Load(&block, 0)) << c.name;
    }
    EXPECT_FALSE(kcImagePsd::Probe(nullptr));
}

TEST(Psd, ParserDescribesTheChosenLayer)
{
    ByteVec file = LayeredPsd();
    kcPsdInfo info;
    int blend = -1;
    ASSERT_TRUE(kcPsdParse(file.data(), (uint32_t)file.size(), &info, 1, 1, &blend));
    EXPECT_EQ(0, info.merged);
    EXPECT_EQ(2, info.layerCount);
    EXPECT_EQ(2, info.channels);
    EXPECT_EQ(3, blend);
    EXPECT_EQ(1, info.rect.left);
    EXPECT_EQ(1, info.rect.top);
    EXPECT_EQ(3, info.rect.right);
    EXPECT_EQ(3, info.rect.bottom);
    EXPECT_STREQ("レイヤ", info.name);
    EXPECT_EQ(2, info.sectionDivider);
    EXPECT_EQ(nullptr, info.data[1]);
    EXPECT_EQ(nullptr, info.data[2]);
    ASSERT_NE(nullptr, info.data[3]);
    EXPECT_EQ(0, info.compression[3]);
    EXPECT_EQ(4u, info.length[3]);
    EXPECT_EQ(0, memcmp(info.data[3], "\x01\x02\x03\x04", 4));
    ASSERT_NE(nullptr, info.data[0]);
    EXPECT_EQ(1, info.compression[0]);
    EXPECT_EQ(5u, info.length[0]);

    ByteVec plane(16, 0);
    const uint8_t* end = info.data[0] + info.length[0];
    EXPECT_EQ(end, kcPsdDecodePlane(plane.data(), info.data[0], end, 1, 4, 4, info.rect));
    EXPECT_EQ(ByteVec({0, 0, 0, 0, 0, 0x40, 0x40, 0, 0, 0x50, 0x51, 0, 0, 0, 0, 0}), plane);

    ASSERT_TRUE(kcPsdParse(file.data(), (uint32_t)file.size(), &info, 0, 1, &blend));
    EXPECT_STREQ("a", info.name);
    EXPECT_EQ(0, blend);
    EXPECT_EQ(0x77, info.data[0][0]);
    EXPECT_FALSE(kcPsdParse(file.data(), (uint32_t)file.size(), &info, 2, 1, &blend));

    // The merged image behind the layers is what Load delivers.
    MemoryBlock block = ExternalBlock(file);
    kcImagePsd image;
    ASSERT_TRUE(image.Load(&block, 0));
    EXPECT_EQ(std::vector<uint8_t>({0x80, 0x80, 0x80, 255}), Pixel(image, 3, 3));

    ByteVec unknownKey = file;
    size_t at = std::search(unknownKey.begin(), unknownKey.end(), "scrn", "scrn" + 4) - unknownKey.begin();
    memcpy(&unknownKey[at], "hue ", 4);
    EXPECT_FALSE(kcPsdParse(unknownKey.data(), (uint32_t)unknownKey.size(), &info, 1, 1, &blend));
    for (size_t cut = 30; cut < file.size(); cut += 7)
        kcPsdParse(file.data(), (uint32_t)cut, &info, 1, 1, &blend); // must stay inside, any result
}

TEST(Psd, DecodePlaneBoundsAndPacketsPastTheRightEdge)
{
    ByteVec plane(8, 0);
    ByteVec src = {2, 'a', 'b', 'c', 1, 'd', 'e'};
    kcPsdRect rect = {0, 0, 2, 2};
    const uint8_t* end = src.data() + src.size();
    EXPECT_EQ(end, kcPsdDecodePlane(plane.data(), src.data(), end, 1, 4, 2, rect));
    EXPECT_EQ(ByteVec({'a', 'b', 'c', 0, 'd', 'e', 0, 0}), plane);

    EXPECT_EQ(nullptr, kcPsdDecodePlane(plane.data(), src.data(), end - 1, 1, 4, 2, rect));
    EXPECT_EQ(nullptr, kcPsdDecodePlane(plane.data(), src.data(), src.data() + 3, 0, 4, 2, rect));
    kcPsdRect outside = {-3, -1, 1, 1}; // raw bytes outside the plane are consumed and dropped
    ByteVec raw = {1, 2, 3, 4, 5, 6, 7, 8};
    std::fill(plane.begin(), plane.end(), 0);
    EXPECT_EQ(raw.data() + 8, kcPsdDecodePlane(plane.data(), raw.data(), raw.data() + 8, 0, 4, 2, outside));
    EXPECT_EQ(ByteVec({8, 0, 0, 0, 0, 0, 0, 0}), plane);
    kcPsdRect empty = {5, INT_MIN, 5, INT_MAX};
    EXPECT_EQ(raw.data(), kcPsdDecodePlane(plane.data(), raw.data(), raw.data() + 8, 0, 4, 2, empty));
}
