#include "foundation/kcFile.h"
#include "foundation/kcString.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <string>

namespace {

std::string ReadAll(kcFile& f)
{
    std::string s;
    char buf[64];
    int n;
    while ((n = f.Read(buf, sizeof buf)) > 0) s.append(buf, n);
    return s;
}

std::string Content(const std::wstring& path)
{
    std::string s;
    return ReadBytes(path, &s) ? s : std::string("<missing>");
}

} // namespace

TEST(File, OpenFlagMatrix)
{
    struct Case {
        int flags;
        bool exists;
        bool opens;
        const char* after; // file content afterwards
    } cases[] = {
        {257, false, false, "<missing>"},
        {257, true, true, "old"},
        {1026, false, true, ""},
        {1026, true, true, ""},
        {KCFILE_WRITE | KCFILE_OPEN_EXISTING, false, false, "<missing>"},
        {KCFILE_WRITE | KCFILE_OPEN_EXISTING, true, true, "old"},
        {KCFILE_WRITE | KCFILE_CREATE_NEW, false, true, ""},
        {KCFILE_WRITE | KCFILE_CREATE_NEW, true, false, "old"},
        {KCFILE_READ | KCFILE_OPEN_EXISTING | KCFILE_CREATE_NEW, true, true, "old"},
        {KCFILE_READ | KCFILE_OPEN_EXISTING | KCFILE_CREATE_NEW, false, false, "<missing>"},
        {KCFILE_WRITE | KCFILE_OPEN_ALWAYS, false, true, ""},
        {KCFILE_WRITE | KCFILE_OPEN_ALWAYS, true, true, "old"},
        {KCFILE_READ, true, false, "old"}, // no disposition
        {KCFILE_WRITE | KCFILE_OPEN_ALWAYS | KCFILE_CREATE_NEW, true, false, "old"},
        {KCFILE_WRITE | KCFILE_OPEN_ALWAYS | KCFILE_OPEN_EXISTING, true, false, "old"},
    };
    for (const Case& c : cases) {
        TempDir dir;
        std::wstring path = dir.File(L"f.bin");
        if (c.exists) {
            ASSERT_TRUE(WriteBytes(path, "old"));
        }
        kcFile f;
        EXPECT_EQ(c.opens, f.Open(path.c_str(), c.flags)) << "flags " << c.flags << " exists " << c.exists;
        EXPECT_EQ(c.opens, f.IsOpen());
        if (c.opens) {
            EXPECT_EQ(0, f.GetPosition());
            EXPECT_STREQ(path.c_str(), f.GetName(nullptr));
            EXPECT_TRUE(f.Close());
        } else {
            EXPECT_EQ(-1, f.GetPosition());
            EXPECT_EQ(nullptr, f.GetName(nullptr));
        }
        EXPECT_EQ(std::string(c.after), Content(path)) << "flags " << c.flags << " exists " << c.exists;
    }
}

TEST(File, ReadWriteOpensReadOnlyAndWriteFails)
{
    TempDir dir;
    std::wstring path = dir.File(L"rw.bin");
    ASSERT_TRUE(WriteBytes(path, "abc"));
    LogCapture log;
    kcFile f;
    ASSERT_TRUE(f.Open(path.c_str(), KCFILE_READ | KCFILE_WRITE | KCFILE_OPEN_EXISTING));
    EXPECT_EQ(-1, f.Write("x", 1));
    EXPECT_TRUE(log.Contains("Write file failed : "));
    EXPECT_TRUE(log.Asserts().empty());
    EXPECT_EQ(0, f.GetPosition());
    EXPECT_EQ("abc", ReadAll(f));
    f.Close();
    EXPECT_EQ("abc", Content(path));
}

TEST(File, WriteReadRoundTripCountsPosition)
{
    TempDir dir;
    std::wstring path = dir.File(L"表示.txt");
    kcFile w;
    ASSERT_TRUE(w.Open(path.c_str(), 1026));
    EXPECT_EQ(5, w.Write("hello", 5));
    EXPECT_EQ(6, w.Write(" world", 6));
    EXPECT_EQ(11, w.GetPosition());
    EXPECT_EQ(0, w.Write("", 0));
    EXPECT_EQ(11, w.GetSize());
    EXPECT_TRUE(w.Close());
    EXPECT_FALSE(w.Close());

    kcFile r;
    ASSERT_TRUE(r.Open(path.c_str(), 257));
    EXPECT_EQ(11, r.GetSize());
    char buf[4];
    EXPECT_EQ(4, r.Read(buf, 4));
    EXPECT_EQ(4, r.GetPosition());
    EXPECT_EQ(" world", ReadAll(r).substr(1));
    EXPECT_EQ(11, r.GetPosition());
    EXPECT_NE((void*)-1, r.GetHandle());
    wchar_t name[KCFILE_NAME_UNITS];
    EXPECT_EQ(r.GetName(name), r.GetName(nullptr));
    EXPECT_STREQ(path.c_str(), name);
}

TEST(File, SeekClampsToLastByteAndEndOfFileReadsZero)
{
    TempDir dir;
    std::wstring path = dir.File(L"ten.bin");
    ASSERT_TRUE(WriteBytes(path, "0123456789"));
    kcFile f;
    ASSERT_TRUE(f.Open(path.c_str(), 257));
    struct {
        int to, expect;
    } seeks[] = {{3, 3}, {0, 0}, {9, 9}, {10, 9}, {1000, 9}, {-1, 9}};
    for (auto s : seeks) {
        EXPECT_EQ(s.expect, f.Seek(s.to)) << s.to;
        EXPECT_EQ(s.expect, f.GetPosition());
    }
    f.Seek(3);
    char c;
    EXPECT_EQ(1, f.Read(&c, 1));
    EXPECT_EQ('3', c);
    f.Seek(100);
    EXPECT_EQ(1, f.Read(&c, 1));
    EXPECT_EQ('9', c);
    EXPECT_EQ(0, f.Read(&c, 1)); // the end of a disk file reads 0
    EXPECT_EQ(10, f.GetPosition());
}

TEST(File, SeekOnEmptyFileGivesMinusOne)
{
    TempDir dir;
    std::wstring path = dir.File(L"empty.bin");
    ASSERT_TRUE(WriteBytes(path, ""));
    kcFile f;
    ASSERT_TRUE(f.Open(path.c_str(), 257));
    EXPECT_EQ(-1, f.Seek(0));
    EXPECT_EQ(-1, f.GetPosition());
    char c;
    EXPECT_EQ(0, f.Read(&c, 1));
}

TEST(File, ClosedObjectAnswersWithFailures)
{
    LogCapture log;
    kcFile f;
    char c = 0;
    EXPECT_EQ(-1, f.Write(&c, 1));
    EXPECT_TRUE(log.Lines().empty()); // a write on a closed file says nothing
    EXPECT_EQ(-1, f.Read(&c, 1));
    EXPECT_TRUE(log.Contains("kcFile : ハンドルが無効です"));
    EXPECT_EQ(-1, f.Seek(0));
    EXPECT_EQ(-1, f.GetSize());
    EXPECT_EQ(-1, f.GetPosition());
    EXPECT_EQ(nullptr, f.GetName(nullptr));
    EXPECT_EQ((void*)-1, f.GetHandle());
    EXPECT_FALSE(f.Close());
}

TEST(File, ProgrammingErrorsAssert)
{
    TempDir dir;
    std::wstring path = dir.File(L"名前.bin");
    ASSERT_TRUE(WriteBytes(path, "x"));
    LogCapture log;
    {
        kcFile f;
        EXPECT_FALSE(f.Open(path.c_str(), KCFILE_OPEN_EXISTING));
        EXPECT_FALSE(f.Open(path.c_str(), KCFILE_READ | KCFILE_REPLACE));
        ASSERT_EQ(2u, log.Asserts().size());
        EXPECT_EQ(std::string("KCFILE_READ 又は KCFILE_WRITE を指定してください"), log.Asserts()[0]);
        EXPECT_EQ(std::string("KCFILE_READ ではアクセス出来ません"), log.Asserts()[1]);
        EXPECT_FALSE(f.IsOpen());
        ASSERT_TRUE(f.Open(path.c_str(), 257));
        EXPECT_FALSE(f.Open(path.c_str(), 257));
        EXPECT_EQ(std::string("既に違うファイルがオープンされています"), log.Asserts()[2]);
        EXPECT_TRUE(f.IsOpen());
        EXPECT_EQ(-1, f.Write("y", 1));
        char sjisPath[520];
        kcWideToSjisN(sjisPath, sizeof sjisPath, path.c_str());
        EXPECT_EQ(std::string("書き込みモードでオープンされていません : ") + sjisPath, log.Asserts()[3]);
    }
    {
        kcFile f;
        ASSERT_TRUE(f.Open(dir.File(L"w.bin").c_str(), 1026));
        char c;
        EXPECT_EQ(-1, f.Read(&c, 1));
        ASSERT_EQ(5u, log.Asserts().size());
        EXPECT_EQ(0u, log.Asserts()[4].find("読み込みモードでオープンされていません : "));
    }
    EXPECT_EQ("x", Content(path));
}

TEST(File, NamesThatDoNotFitAreRefused)
{
    TempDir dir;
    std::wstring longName = dir.File(std::wstring(300, L'a'));
    kcFile f;
    EXPECT_FALSE(f.Open(longName.c_str(), 1026));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_FALSE(f.Open(nullptr, 257));
}

TEST(File, SharingFollowsTheMode)
{
    TempDir dir;
    std::wstring path = dir.File(L"shared.bin");
    ASSERT_TRUE(WriteBytes(path, "data"));
    {
        kcFile a, b, w;
        ASSERT_TRUE(a.Open(path.c_str(), 257));
        EXPECT_TRUE(b.Open(path.c_str(), 257)); // readers share
        EXPECT_FALSE(w.Open(path.c_str(), 1026)); // a writer shares nothing
        EXPECT_FALSE(w.Open(path.c_str(), KCFILE_WRITE | KCFILE_OPEN_EXISTING));
    }
    {
        kcFile w, r;
        ASSERT_TRUE(w.Open(path.c_str(), KCFILE_WRITE | KCFILE_OPEN_EXISTING));
        EXPECT_FALSE(r.Open(path.c_str(), 257));
    }
    EXPECT_EQ("data", Content(path));
}

TEST(File, NamedFileOperations)
{
    TempDir dir;
    std::wstring file = dir.File(L"a.txt");
    std::wstring missing = dir.File(L"none.txt");
    ASSERT_TRUE(WriteBytes(file, "12345"));
    kcFile f; // none of these needs an open file
    EXPECT_TRUE(f.Exists(file.c_str()));
    EXPECT_FALSE(f.Exists(missing.c_str()));
    EXPECT_FALSE(f.Exists(dir.Path().c_str()));
    EXPECT_TRUE(f.Exists(dir.File(L"*.txt").c_str()));
    EXPECT_EQ(5, f.GetSizeOf(file.c_str()));
    EXPECT_EQ(0, f.GetSizeOf(missing.c_str()));
    EXPECT_EQ(0, f.GetSizeOf(dir.Path().c_str()));
    EXPECT_EQ(5u, f.GetSizeOf64(file.c_str()));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, f.GetAttributes(missing.c_str()));
    EXPECT_TRUE(f.GetAttributes(dir.Path().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(f.SetAttributes(file.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_TRUE(f.GetAttributes(file.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(f.Delete(missing.c_str(), false));
    EXPECT_FALSE(f.Delete(missing.c_str(), true));
}

TEST(File, DeleteHonoursAttributesUnlessForced)
{
    TempDir dir;
    kcFile f;
    struct {
        DWORD attributes;
    } kinds[] = {{FILE_ATTRIBUTE_READONLY}, {FILE_ATTRIBUTE_HIDDEN}, {FILE_ATTRIBUTE_SYSTEM}};
    for (auto k : kinds) {
        std::wstring path = dir.File(L"keep.bin");
        ASSERT_TRUE(WriteBytes(path, "k"));
        ASSERT_TRUE(f.SetAttributes(path.c_str(), k.attributes));
        EXPECT_FALSE(f.Delete(path.c_str(), false)) << k.attributes;
        EXPECT_TRUE(f.Exists(path.c_str()));
        EXPECT_TRUE(f.Delete(path.c_str(), true)) << k.attributes;
        EXPECT_FALSE(f.Exists(path.c_str()));
    }
    std::wstring plain = dir.File(L"plain.bin");
    ASSERT_TRUE(WriteBytes(plain, "p"));
    EXPECT_TRUE(f.Delete(plain.c_str(), false));
    EXPECT_FALSE(f.Exists(plain.c_str()));

    std::wstring sub = dir.File(L"sub");
    ASSERT_TRUE(CreateDirectoryW(sub.c_str(), nullptr));
    ASSERT_TRUE(f.SetAttributes(sub.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_FALSE(f.Delete(sub.c_str(), false));
    EXPECT_FALSE(f.Delete(sub.c_str(), true));
    DWORD a = f.GetAttributes(sub.c_str());
    EXPECT_TRUE(a & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_FALSE(a & FILE_ATTRIBUTE_HIDDEN); // set to normal on the way
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

TEST(File, SizesOverFourGiB)
{
    TempDir dir;
    std::wstring path = dir.File(L"big.bin");
    const unsigned long long size = 0x100000000ull + 10;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD ignored;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
    LARGE_INTEGER at;
    at.QuadPart = (LONGLONG)size;
    bool grown = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    CloseHandle(h);
    if (!grown) GTEST_SKIP() << "the file system cannot hold a sparse file over 4 GiB";

    kcFile f;
    EXPECT_EQ(size, f.GetSizeOf64(path.c_str()));
    EXPECT_EQ(10, f.GetSizeOf(path.c_str())); // the low 32 bits
    ASSERT_TRUE(f.Open(path.c_str(), 257));
    EXPECT_EQ(10, f.GetSize());
    EXPECT_EQ(9, f.Seek(100));
    char buf[4];
    EXPECT_EQ(4, f.Read(buf, 4));
}
