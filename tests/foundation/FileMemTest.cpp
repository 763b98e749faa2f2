#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <string>

namespace {

std::string Written(kcMemFile& m)
{
    void* data = nullptr;
    int length = -1;
    if (!m.GetBuffer(&data, &length)) return "<none>";
    return std::string((const char*)data, length);
}

std::string Rest(kcMemFile& m)
{
    std::string s;
    char buf[7];
    int n;
    while ((n = m.Read(buf, sizeof buf)) > 0) s.append(buf, n);
    return s;
}

// Every test checks that the private heap holds no block of its own afterwards.
class MemFile : public ::testing::Test {
protected:
    void SetUp() override { m_blocks = kcHeapLiveBlocks(); }
    void TearDown() override { EXPECT_EQ(m_blocks, kcHeapLiveBlocks()); }
    int m_blocks = 0;
};

} // namespace

TEST_F(MemFile, GrowsInWholeStepsOnceTheCapacityIsReached)
{
    struct {
        int step;
        std::string first, second;
        int sizeAfterFirst, sizeAfterSecond;
    } cases[] = {
        {16, std::string(16, 'a'), "", 32, 32},                 // reaching the capacity grows
        {16, std::string(10, 'a'), std::string(5, 'b'), 16, 16}, // below it does not
        {16, std::string(10, 'a'), std::string(6, 'b'), 16, 32},
        {16, std::string(40, 'a'), "x", 48, 48},                 // several steps at once
        {0, "abc", "de", 4, 6},                                  // no step: just past the end
    };
    for (auto& c : cases) {
        kcMemFile m;
        ASSERT_TRUE(m.Create(c.step));
        EXPECT_EQ(c.step, m.GetSize());
        EXPECT_EQ(0, m.GetPosition());
        EXPECT_EQ((int)c.first.size(), m.Write(c.first.data(), (int)c.first.size()));
        EXPECT_EQ(c.sizeAfterFirst, m.GetSize()) << c.step << " " << c.first.size();
        EXPECT_EQ((int)c.second.size(), m.Write(c.second.data(), (int)c.second.size()));
        EXPECT_EQ(c.sizeAfterSecond, m.GetSize()) << c.step << " " << c.second.size();
        EXPECT_EQ(c.first + c.second, Written(m));
        EXPECT_GT(m.GetSize(), m.GetPosition());
    }
}

TEST_F(MemFile, GrowthKeepsDataAndClearsTheNewPart)
{
    kcMemFile m;
    ASSERT_TRUE(m.Create(8));
    m.Write("12345678", 8); // grows to 16
    m.Seek(2);
    m.Write("ab", 2);
    EXPECT_EQ(16, m.GetSize());
    void* data;
    int length;
    ASSERT_TRUE(m.GetBuffer(&data, &length));
    EXPECT_EQ(4, length);
    EXPECT_EQ(std::string("12ab5678") + std::string(8, '\0'), std::string((const char*)data, 16));
}

TEST_F(MemFile, ReadSeekAndEndOfFile)
{
    kcMemFile m;
    ASSERT_TRUE(m.LoadFromMemory(L"mem.bin", "0123456789", 10));
    EXPECT_EQ(10, m.GetSize());
    EXPECT_STREQ(L"mem.bin", m.GetName(nullptr));
    char buf[4];
    EXPECT_EQ(4, m.Read(buf, 4));
    EXPECT_EQ(4, m.GetPosition());
    EXPECT_EQ("456789", Rest(m));
    EXPECT_EQ(-1, m.Read(buf, 1)); // the end of a memory file reads -1
    struct {
        int to, expect;
    } seeks[] = {{3, 3}, {9, 9}, {10, 9}, {500, 9}, {-5, 9}, {0, 0}};
    for (auto s : seeks) EXPECT_EQ(s.expect, m.Seek(s.to)) << s.to;
    EXPECT_EQ(0, m.Read(buf, 0));
}

TEST_F(MemFile, EmptyFileSeeksToAUsablePosition)
{
    kcMemFile m;
    ASSERT_TRUE(m.LoadFromMemory(L"empty", "", 0));
    EXPECT_EQ(0, m.GetSize());
    EXPECT_EQ(0, m.Seek(5));
    EXPECT_EQ(0, m.GetPosition());
    char c;
    EXPECT_EQ(-1, m.Read(&c, 1));
    // Loaded data has no grow step: writing still works and stops.
    EXPECT_EQ(3, m.Write("abc", 3));
    EXPECT_EQ("abc", Written(m));
    EXPECT_EQ(4, m.GetSize());
}

TEST_F(MemFile, WithoutDataEverythingFails)
{
    LogCapture log;
    kcMemFile m;
    char c;
    EXPECT_EQ(-1, m.Read(&c, 1));
    EXPECT_EQ(-1, m.Write(&c, 1));
    ASSERT_EQ(2u, log.Lines().size());
    EXPECT_EQ(std::string("kcMemFile : ファイルがオープンされていません"), log.Lines()[0]);
    EXPECT_EQ(log.Lines()[0], log.Lines()[1]);
    EXPECT_EQ(-1, m.Seek(0));
    EXPECT_EQ(-1, m.GetPosition());
    EXPECT_EQ(-1, m.GetSize());
    EXPECT_EQ(nullptr, m.GetName(nullptr));
    EXPECT_FALSE(m.GetBuffer(nullptr, nullptr));
    EXPECT_FALSE(m.Close());
    EXPECT_TRUE(m.Open(L"x", 257)); // always 1, does nothing
    EXPECT_FALSE(m.IsOpen());
}

TEST_F(MemFile, NamedOperationsAndHandleAreThoseOfNoFile)
{
    kcMemFile m;
    EXPECT_EQ(-1, m.GetSizeOf(L"x"));
    EXPECT_FALSE(m.Exists(L"x"));
    EXPECT_EQ(0u, m.GetAttributes(L"x"));
    EXPECT_FALSE(m.SetAttributes(L"x", 0));
    EXPECT_FALSE(m.Delete(L"x", true));
    EXPECT_EQ((void*)-1, m.GetHandle());
}

TEST_F(MemFile, EachFillRefusedWhileDataIsHeld)
{
    kcMemFile m, other;
    ASSERT_TRUE(other.LoadFromMemory(L"o", "o", 1));
    ASSERT_TRUE(m.Create(4));
    EXPECT_FALSE(m.Create(4));
    EXPECT_FALSE(m.LoadFromMemory(L"n", "n", 1));
    EXPECT_FALSE(m.LoadFromFile(&other));
    EXPECT_FALSE(m.ShareFrom(&other));
    EXPECT_TRUE(m.Close());
    EXPECT_TRUE(m.LoadFromMemory(L"n", "n", 1));
}

TEST_F(MemFile, SharingLeavesTheOwnersData)
{
    kcMemFile owner;
    ASSERT_TRUE(owner.LoadFromMemory(L"owner.bin", "shared", 6));
    owner.Seek(2);
    int blocks = kcHeapLiveBlocks();
    {
        kcMemFile borrower;
        EXPECT_FALSE(borrower.ShareFrom(nullptr));
        ASSERT_TRUE(borrower.ShareFrom(&owner));
        EXPECT_EQ(blocks, kcHeapLiveBlocks()); // nothing copied
        EXPECT_STREQ(L"owner.bin", borrower.GetName(nullptr));
        EXPECT_EQ(2, borrower.GetPosition());
        EXPECT_EQ("ared", Rest(borrower));
        EXPECT_EQ(-1, borrower.Write("XX", 2)); // borrowed data is read only
        borrower.Seek(5);
        EXPECT_EQ(-1, borrower.Write("XXXX", 4)); // and never grown or released
        EXPECT_TRUE(borrower.Close());
        EXPECT_EQ(blocks, kcHeapLiveBlocks());
        // After a close the borrower owns what it creates.
        ASSERT_TRUE(borrower.Create(4));
    }
    EXPECT_EQ(blocks, kcHeapLiveBlocks());
    owner.Seek(0);
    EXPECT_EQ("shared", Rest(owner));

    kcMemFile empty, taker;
    EXPECT_FALSE(taker.ShareFrom(&empty)); // nothing to share
}

TEST_F(MemFile, LoadFromFileTakesTheWholeFile)
{
    TempDir dir;
    std::wstring path = dir.File(L"load.bin");
    ASSERT_TRUE(WriteBytes(path, "file content"));
    kcFile f;
    ASSERT_TRUE(f.Open(path.c_str(), 257));
    kcMemFile m;
    ASSERT_TRUE(m.LoadFromFile(&f));
    EXPECT_EQ(12, m.GetSize());
    EXPECT_STREQ(path.c_str(), m.GetName(nullptr));
    EXPECT_EQ("file content", Rest(m));

    // A short read (the file is not at its start) fails and keeps nothing.
    kcMemFile partial;
    f.Seek(4);
    EXPECT_FALSE(partial.LoadFromFile(&f));
    EXPECT_FALSE(partial.IsOpen());
    EXPECT_EQ(nullptr, partial.GetName(nullptr));

    kcFile closed;
    EXPECT_FALSE(partial.LoadFromFile(&closed));
    EXPECT_FALSE(partial.LoadFromFile(nullptr));

    // From another memory file, including an empty one.
    m.Seek(0);
    kcMemFile copy;
    ASSERT_TRUE(copy.LoadFromFile(&m));
    EXPECT_EQ("file content", Rest(copy));
    kcMemFile emptySource, emptyCopy;
    ASSERT_TRUE(emptySource.LoadFromMemory(L"e", "", 0));
    EXPECT_TRUE(emptyCopy.LoadFromFile(&emptySource));
    EXPECT_EQ(0, emptyCopy.GetSize());
}

TEST_F(MemFile, NamesThatDoNotFitAreRefused)
{
    std::wstring longName(KCFILE_NAME_UNITS, L'n');
    kcMemFile m;
    EXPECT_FALSE(m.LoadFromMemory(longName.c_str(), "x", 1));
    EXPECT_FALSE(m.IsOpen());
    longName.pop_back(); // 259 characters fit
    ASSERT_TRUE(m.LoadFromMemory(longName.c_str(), "x", 1));
    wchar_t out[KCFILE_NAME_UNITS];
    EXPECT_STREQ(longName.c_str(), m.GetName(out));
    EXPECT_STREQ(longName.c_str(), out);
    EXPECT_FALSE(m.LoadFromMemory(L"n", nullptr, 1));
}

TEST_F(MemFile, HeapExhaustionLeavesTheFileEmpty)
{
    LogCapture log;
    kcMemFile m;
    EXPECT_FALSE(m.Create(0x7FFFFF00));
    EXPECT_FALSE(m.IsOpen());
    EXPECT_TRUE(log.Contains("メモリが確保出来ませんでした"));
    ASSERT_TRUE(m.Create(16));
    m.Seek(15);
    EXPECT_EQ(-1, m.Write("x", 0x7FFFFFF0)); // growth that cannot be had changes nothing
    EXPECT_EQ(16, m.GetSize());
    EXPECT_EQ(15, m.GetPosition());
}

TEST(FileBase, DefaultsOfAKindWithoutOperations)
{
    struct Bare : kcFileBase {};
    Bare b;
    kcFileBase& f = b;
    char c;
    EXPECT_FALSE(f.Open(L"x", 257));
    EXPECT_FALSE(f.Close());
    EXPECT_EQ(-1, f.Read(&c, 1));
    EXPECT_EQ(-1, f.Write(&c, 1));
    EXPECT_EQ(-1, f.GetPosition());
    EXPECT_EQ(-1, f.Seek(0));
    EXPECT_EQ(nullptr, f.GetName(nullptr));
    EXPECT_EQ(-1, f.GetSizeOf(L"x"));
    EXPECT_EQ(-1, f.GetSize());
    EXPECT_EQ((void*)-1, f.GetHandle());
    EXPECT_FALSE(f.Exists(L"x"));
    EXPECT_EQ(0xFFFFFFFFu, f.GetAttributes(L"x"));
    EXPECT_FALSE(f.SetAttributes(L"x", 0));
    EXPECT_FALSE(f.Delete(L"x", true));
}
