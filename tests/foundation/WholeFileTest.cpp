#include "foundation/kcFile.h"
#include "foundation/kcStringList.h"
#include "foundation/kcWholeFile.h"
#include "foundation/kcXmlParser.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <set>

namespace {
typedef std::vector<std::wstring> Names;
kcSaveStep g_failing;
bool FailOne(kcSaveStep step) { return step != g_failing; }
} // namespace

// Wine does not enforce Windows' path limits: each name is counted only when it is as long as
// the destination, in its folder and not its own name (never "a" itself, which is digit 10).
TEST(WholeFile, TemporaryNamesStayBesideTheDestinationWithinItsLength)
{
    const std::wstring deep = L"C:\\" + std::wstring(251, L'd') + L"\\abcd"; // 259 characters
    for (const auto& r : {std::make_pair(deep, 1000u), std::make_pair(std::wstring(L"x\\a"), 35u)}) {
        const size_t folder = r.first.rfind(L'\\') + 1;
        std::set<std::wstring> seen;
        wchar_t out[KCFILE_NAME_UNITS];
        for (int k = 0; k < 1000; ++k)
            if (kcSaveTempName(r.first.c_str(), k, out, KCFILE_NAME_UNITS) && r.first.size() == wcslen(out) &&
                !r.first.compare(0, folder, out, folder) && lstrcmpiW(out, r.first.c_str()))
                seen.insert(out);
        EXPECT_EQ(r.second, seen.size());
    }
}

// Each step made to fail, through each saver: the old file stays whole and no temporary is left
// (the XML writer: 10 when not written whole, 9 when not replaced). Taken names, one a folder, are
// passed over and stay as they were, also when the save succeeds.
TEST(WholeFile, AFailedStepLeavesTheOldFileWholeAndNoTemporary)
{
    const std::pair<int, kcXmlStatus> rows[] = {{KCSAVE_STEP_WRITE, KCXML_ERR_WRITE}, {KCSAVE_STEP_FLUSH, KCXML_ERR_WRITE},
                                                {KCSAVE_STEP_CLOSE, KCXML_ERR_WRITE}, {KCSAVE_STEP_MOVE, KCXML_ERR_CREATE}, {-1, KCXML_OK}};
    kcXmlParser xml;
    xml.AddChild(xml.AddChild(nullptr, "document", nullptr), "a", "1");
    kcStringList log;
    log.Add(L"\"new.txt\"");
    for (const auto& r : rows) {
        SCOPED_TRACE(r.first);
        TempDir dir;
        const std::wstring setup = dir.File(L"setup.xml"), install = dir.File(L"install.log");
        ASSERT_TRUE(WriteBytes(setup, "old settings") && WriteBytes(install, "\"old.txt\"\r\n") &&
                    WriteBytes(dir.File(L"~000setup"), "mine") && CreateDirectoryW(dir.File(L"~001setup").c_str(), nullptr));
        LogCapture capture;
        g_failing = (kcSaveStep)r.first;
        kcSaveSetStepHook(FailOne);
        EXPECT_EQ(r.second, xml.WriteFile(setup.c_str()));
        EXPECT_EQ(r.second == KCXML_OK, log.Save(install.c_str()));
        kcSaveSetStepHook(nullptr);
        std::string a, b, c;
        ASSERT_TRUE(ReadBytes(setup, &a) && ReadBytes(install, &b) && ReadBytes(dir.File(L"~000setup"), &c) && c == "mine");
        EXPECT_EQ(r.second != KCXML_OK, a == "old settings") << a;
        EXPECT_EQ(r.second != KCXML_OK, b == "\"old.txt\"\r\n" && capture.Contains("kcSaveWholeFile : ")) << b;
        EXPECT_EQ(r.first == KCSAVE_STEP_WRITE, capture.Contains("writing failed (112)")); // short without an error: disk full
        EXPECT_EQ((Names{L"install.log", L"setup.xml", L"~000setup"}), FilesIn(dir.Path()));
    }
}

// A save keeps the attributes the user set on the file (0x22 stays hidden), also when it takes
// a name whose temporary would end inside a surrogate pair; a read-only file, or a replace that
// fails, leaves the old bytes, the attributes and no temporary. 0: no file before the save.
TEST(WholeFile, ASaveKeepsTheFilesAttributes)
{
    const struct { const wchar_t* name; DWORD before; bool replaceFails; } rows[] = {
        {L"setup.xml", 0x22, false}, {L"setup.xml", 0x22, true}, {L"setup.xml", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, false},
        {L"\U0001F600abc", 0x20, false}, {L"\U0001F600abc", 0, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.before << (r.replaceFails ? " failing" : ""));
        TempDir dir;
        const std::wstring path = dir.File(r.name);
        ASSERT_TRUE(!r.before || (WriteBytes(path, "old") && SetFileAttributesW(path.c_str(), r.before)));
        g_failing = KCSAVE_STEP_MOVE;
        kcSaveSetStepHook(r.replaceFails ? FailOne : nullptr);
        const bool saved = kcSaveWholeFile(path.c_str(), "new", 3) == KCSAVE_OK;
        kcSaveSetStepHook(nullptr);
        std::string bytes;
        EXPECT_TRUE(ReadBytes(path, &bytes) && bytes == (saved ? "new" : "old")) << bytes;
        EXPECT_EQ(!r.replaceFails && !(r.before & FILE_ATTRIBUTE_READONLY), saved);
        EXPECT_EQ(r.before ? r.before : DWORD(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesW(path.c_str()));
        EXPECT_EQ(Names{r.name}, FilesIn(dir.Path()));
    }
}

// A byte above its reader's bound, or beyond a 32-bit size: refused, logged, the list kept.
TEST(WholeFile, ReadsAreBoundByTheirKind)
{
    TempDir dir;
    const std::wstring path = dir.File(L"big");
    for (long long size : {kcXmlMaxFileBytes + 1LL, kcStringListMaxFileBytes + 1LL, 3000000000LL}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(WriteSparseFile(path, size));
        LogCapture capture;
        kcXmlParser xml;
        kcStringList list;
        list.Add(L"kept");
        EXPECT_EQ(KCXML_ERR_READ, xml.ParseFile(path.c_str()));
        EXPECT_EQ(size <= kcStringListMaxFileBytes, list.Load(path.c_str())); // zeros: no lines
        EXPECT_TRUE(list.GetCount() == 1 && capture.Contains("is larger than"));
    }
}
