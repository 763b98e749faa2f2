#include "foundation/kcFile.h"
#include "foundation/kcStringList.h"
#include "foundation/kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <string>

namespace {
std::string Content(const std::wstring& path)
{
    std::string s;
    return ReadBytes(path, &s) ? s : "<missing>";
}
} // namespace

TEST(File, OpenFlagMatrix)
{
    const int W = KCFILE_WRITE, R = KCFILE_READ, EX = KCFILE_OPEN_EXISTING, NEW = KCFILE_CREATE_NEW,
              ALW = KCFILE_OPEN_ALWAYS;
    const struct {
        int flags;
        bool exists, opens;
        const char* after; // file content afterwards
    } cases[] = {
        {257, false, false, "<missing>"}, {257, true, true, "old"},
        {1026, false, true, ""},          {1026, true, true, ""},
        {W | EX, false, false, "<missing>"}, {W | EX, true, true, "old"},
        {W | NEW, false, true, ""},       {W | NEW, true, false, "old"},
        {R | EX | NEW, true, true, "old"}, {R | EX | NEW, false, false, "<missing>"},
        {W | ALW, false, true, ""},       {W | ALW, true, true, "old"},
        {R, true, false, "old"},          // no disposition
        {W | ALW | NEW, true, false, "old"}, {W | ALW | EX, true, false, "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " exists " << c.exists);
        TempDir dir;
        std::wstring path = dir.File(L"f.bin");
        if (c.exists) ASSERT_TRUE(WriteBytes(path, "old"));
        kcFile f;
        EXPECT_EQ(c.opens, f.Open(path.c_str(), c.flags));
        EXPECT_EQ(c.opens, f.IsOpen());
        EXPECT_EQ(c.opens ? 0 : -1, f.GetPosition());
        EXPECT_EQ(c.opens, f.GetName(nullptr) != nullptr);
        f.Close();
        EXPECT_EQ(c.after, Content(path));
    }
}

TEST(File, ReadWriteSeekAndEndOfFile)
{
    TempDir dir;
    std::wstring path = dir.File(L"表示.txt");
    kcFile w;
    ASSERT_TRUE(w.Open(path.c_str(), 1026));
    EXPECT_EQ(5, w.Write("01234", 5));
    EXPECT_EQ(5, w.Write("56789", 5));
    EXPECT_EQ(10, w.GetPosition());
    EXPECT_TRUE(w.Close());
    EXPECT_FALSE(w.Close());

    kcFile r;
    ASSERT_TRUE(r.Open(path.c_str(), 257));
    EXPECT_EQ(10, r.GetSize());
    EXPECT_STREQ(path.c_str(), r.GetName(nullptr));
    const struct {
        int to, expect;
    } seeks[] = {{3, 3}, {0, 0}, {9, 9}, {10, 9}, {1000, 9}, {-1, 9}}; // clamped to the last byte
    for (auto s : seeks) {
        EXPECT_EQ(s.expect, r.Seek(s.to)) << s.to;
        EXPECT_EQ(s.expect, r.GetPosition());
    }
    r.Seek(3);
    EXPECT_EQ("3456789", ReadRest(r));
    char c;
    EXPECT_EQ(0, r.Read(&c, 1)); // the end of a disk file reads 0
    EXPECT_EQ(10, r.GetPosition());

    // Read and write asked: opened for reading only, and a write fails without an assertion.
    LogCapture log;
    kcFile rw;
    ASSERT_TRUE(rw.Open(path.c_str(), KCFILE_READ | KCFILE_WRITE | KCFILE_OPEN_EXISTING));
    EXPECT_EQ(-1, rw.Write("x", 1));
    EXPECT_TRUE(log.Contains("Write file failed : "));
    EXPECT_TRUE(log.Asserts().empty());
    EXPECT_EQ("0123456789", ReadRest(rw));

    // An empty file has no position to seek to.
    std::wstring empty = dir.File(L"empty.bin");
    ASSERT_TRUE(WriteBytes(empty, ""));
    kcFile e;
    ASSERT_TRUE(e.Open(empty.c_str(), 257));
    EXPECT_EQ(-1, e.Seek(0));
    EXPECT_EQ(0, e.Read(&c, 1));
}

TEST(File, MisuseFailsWithItsMessages)
{
    TempDir dir;
    std::wstring path = dir.File(L"名前.bin");
    ASSERT_TRUE(WriteBytes(path, "x"));
    char sjisPath[520];
    kcWideToSjisN(sjisPath, sizeof sjisPath, path.c_str());
    LogCapture log;
    kcFile closed;
    char c = 0;
    EXPECT_EQ(-1, closed.Write(&c, 1)); // says nothing
    EXPECT_EQ(-1, closed.Read(&c, 1));
    EXPECT_EQ(std::vector<std::string>{"kcFile : ハンドルが無効です"}, log.Lines());
    EXPECT_EQ(-1, closed.Seek(0));

    kcFile f, w;
    EXPECT_FALSE(f.Open(path.c_str(), KCFILE_OPEN_EXISTING));
    EXPECT_FALSE(f.Open(path.c_str(), KCFILE_READ | KCFILE_REPLACE));
    ASSERT_TRUE(f.Open(path.c_str(), 257));
    EXPECT_FALSE(f.Open(path.c_str(), 257));
    EXPECT_EQ(-1, f.Write("y", 1));
    ASSERT_TRUE(w.Open(dir.File(L"w.bin").c_str(), 1026));
    EXPECT_EQ(-1, w.Read(&c, 1));
    const std::vector<std::string> asserts = {
        "KCFILE_READ 又は KCFILE_WRITE を指定してください", "KCFILE_READ ではアクセス出来ません",
        "既に違うファイルがオープンされています", std::string("書き込みモードでオープンされていません : ") + sjisPath,
        "読み込みモードでオープンされていません : "};
    ASSERT_EQ(5u, log.Asserts().size());
    for (int i = 0; i < 4; i++) EXPECT_EQ(asserts[i], log.Asserts()[i]);
    EXPECT_EQ(0u, log.Asserts()[4].find(asserts[4]));
    EXPECT_EQ("x", Content(path));

    // Names that do not fit the name field are refused.
    kcFile n;
    EXPECT_FALSE(n.Open(dir.File(std::wstring(300, L'a')).c_str(), 1026));
    EXPECT_FALSE(n.Open(nullptr, 257));
}

TEST(File, SharingFollowsTheMode)
{
    TempDir dir;
    std::wstring path = dir.File(L"shared.bin");
    ASSERT_TRUE(WriteBytes(path, "data"));
    {
        kcFile a, b, w;
        ASSERT_TRUE(a.Open(path.c_str(), 257));
        EXPECT_TRUE(b.Open(path.c_str(), 257));   // readers share
        EXPECT_FALSE(w.Open(path.c_str(), 1026)); // a writer shares nothing
    }
    kcFile w, r;
    ASSERT_TRUE(w.Open(path.c_str(), KCFILE_WRITE | KCFILE_OPEN_EXISTING));
    EXPECT_FALSE(r.Open(path.c_str(), 257));
    w.Close();
    EXPECT_EQ("data", Content(path));
}

TEST(File, NamedFileOperations)
{
    TempDir dir;
    std::wstring file = dir.File(L"a.txt"), missing = dir.File(L"none.txt"), sub = dir.File(L"sub");
    ASSERT_TRUE(WriteBytes(file, "12345"));
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    kcFile f; // none of these needs an open file
    EXPECT_TRUE(f.Exists(file.c_str()));
    EXPECT_FALSE(f.Exists(missing.c_str()));
    EXPECT_FALSE(f.Exists(sub.c_str()));
    EXPECT_EQ(5, f.GetSizeOf(file.c_str()));
    EXPECT_EQ(0, f.GetSizeOf(missing.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, f.GetAttributes(missing.c_str()));
    EXPECT_FALSE(f.Delete(missing.c_str(), true));

    // Read-only, hidden and system files go only when forced.
    for (DWORD attributes : {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        ASSERT_TRUE(f.SetAttributes(file.c_str(), attributes));
        EXPECT_TRUE(f.GetAttributes(file.c_str()) & attributes);
        EXPECT_FALSE(f.Delete(file.c_str(), false)) << attributes;
        EXPECT_TRUE(f.Delete(file.c_str(), true)) << attributes;
        EXPECT_FALSE(f.Exists(file.c_str()));
        ASSERT_TRUE(WriteBytes(file, "again"));
    }
    EXPECT_TRUE(f.Delete(file.c_str(), false));
    // A folder is not deleted, but its attributes are set to normal on the way.
    ASSERT_TRUE(f.SetAttributes(sub.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(f.Delete(sub.c_str(), true));
    EXPECT_EQ(0u, f.GetAttributes(sub.c_str()) & FILE_ATTRIBUTE_HIDDEN);
}

TEST(File, ReplaceOnReadOnlyFileFails)
{
    TempDir dir;
    std::wstring path = dir.File(L"ro.bin");
    ASSERT_TRUE(WriteBytes(path, "keep"));
    ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
    kcFile f;
    bool opened = f.Open(path.c_str(), 1026);
    f.Close();
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (opened) GTEST_SKIP() << "this system lets the superuser write through a read-only attribute";
    EXPECT_EQ("keep", Content(path));
}

// Sparse files past the int range: the named size keeps its low 32 bits, the open file's size is
// refused, so a whole-file reader fails instead of taking a part for the whole.
TEST(File, SizesBeyondTheIntRange)
{
    const struct {
        unsigned long long size;
        int sizeOf, seek100;
    } cases[] = {
        {0x80000000ull + 10, int(0x8000000A), 100},
        {0x100000000ull + 10, 10, 9},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        TempDir dir;
        std::wstring path = dir.File(L"big.bin");
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD ignored;
        DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER at;
        at.QuadPart = (LONGLONG)c.size;
        bool grown = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
        CloseHandle(h);
        if (!grown) GTEST_SKIP() << "the file system cannot hold a sparse file over 4 GiB";

        kcFile f;
        EXPECT_EQ(c.size, f.GetSizeOf64(path.c_str()));
        EXPECT_EQ(c.sizeOf, f.GetSizeOf(path.c_str()));
        ASSERT_TRUE(f.Open(path.c_str(), 257));
        EXPECT_EQ(-1, f.GetSize());
        EXPECT_EQ(c.seek100, f.Seek(100));
        char buf[4];
        EXPECT_EQ(4, f.Read(buf, 4));
        kcMemFile whole;
        EXPECT_FALSE(whole.LoadFromFile(&f));
        f.Close();
        kcStringList lines;
        EXPECT_FALSE(lines.Load(path.c_str()));
    }
}
