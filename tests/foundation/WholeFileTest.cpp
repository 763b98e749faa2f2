// Whole files: the temporary's names, saves that leave the old file whole whatever step fails
// (through both savers, "setup.xml" and "install.log"), and reads bounded by their kind.
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

struct FailStep {
    explicit FailStep(kcSaveStep step) { g_failing = step, kcSaveSetStepHook(FailOne); }
    ~FailStep() { kcSaveSetStepHook(nullptr); }
};
} // namespace

TEST(WholeFile, TemporaryNamesStayInTheFolderAndWithinTheDestinationsLength)
{
    const std::wstring deep = L"C:\\" + std::wstring(251, L'd'); // with "\\abcd", 259 characters
    const struct {
        std::wstring path, first, at36; // the names of attempts 0 and 36 (empty: none)
        size_t names;                   // distinct names that attempts 0 to 999 give
    } rows[] = {
        {L"C:\\dir\\setup.xml", L"C:\\dir\\~000setup", L"C:\\dir\\~010setup", 1000},
        {L"x/ab", L"x/~0", L"", 36},
        {L"a", L"0", L"", 35},          // never the destination's own name ("a" is digit 10)
        {L"C:~000", L"", L"C:~010", 999},
        {deep + L"\\abcd", deep + L"\\~000", deep + L"\\~010", 1000},
        {L"dir\\", L"", L"", 0},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(std::string(r.path.begin(), r.path.end()));
        const size_t folder = r.path.find_last_of(L"\\/:") + 1;
        std::set<std::wstring> seen;
        for (int k = 0; k < 1000; ++k) {
            wchar_t out[KCFILE_NAME_UNITS];
            const bool named = kcSaveTempName(r.path.c_str(), k, out, KCFILE_NAME_UNITS);
            if (k == 0 || k == 36) EXPECT_EQ(k ? r.at36 : r.first, named ? std::wstring(out) : L"");
            if (!named) continue;
            EXPECT_TRUE(r.path.size() == wcslen(out) && r.path.compare(0, folder, out, folder) == 0 &&
                        lstrcmpiW(out, r.path.c_str()) != 0);
            seen.insert(out);
        }
        EXPECT_EQ(r.names, seen.size());
    }
    wchar_t small[8];
    EXPECT_FALSE(kcSaveTempName(L"C:\\dir\\setup.xml", 0, small, 8)); // does not fit the output
}

TEST(WholeFile, SavedWholeBesideAnyTakenName)
{
    TempDir dir;
    const std::wstring path = dir.File(L"setup.xml");
    ASSERT_TRUE(WriteBytes(path, "old"));
    // The first names are taken, one by a folder: they are passed over, and left as they were.
    ASSERT_TRUE(WriteBytes(dir.File(L"~000setup"), "mine"));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"~001setup").c_str(), nullptr));
    EXPECT_EQ(KCSAVE_OK, kcSaveWholeFile(path.c_str(), "new bytes", 9));
    std::string bytes;
    EXPECT_TRUE(ReadBytes(path, &bytes) && bytes == "new bytes");
    EXPECT_TRUE(ReadBytes(dir.File(L"~000setup"), &bytes) && bytes == "mine");
    EXPECT_EQ((Names{L"setup.xml", L"~000setup"}), FilesIn(dir.Path()));
    // An empty file, a new destination, a one-character name.
    EXPECT_EQ(KCSAVE_OK, kcSaveWholeFile(dir.File(L"a").c_str(), nullptr, 0));
    EXPECT_TRUE(ReadBytes(dir.File(L"a"), &bytes) && bytes.empty());
    EXPECT_EQ(KCSAVE_CREATE_FAILED, kcSaveWholeFile(dir.File(L"no\\such\\x").c_str(), "x", 1));
}

// Each step made to fail, through each saver: the old file stays whole, no temporary is left, and
// the saver reports it (the XML writer: 10 when not written whole, 9 when not replaced).
TEST(WholeFile, AFailedStepLeavesTheOldFileWholeAndNoTemporary)
{
    const struct {
        kcSaveStep step;
        kcSaveResult result;
        kcXmlStatus status;
    } rows[] = {{KCSAVE_STEP_WRITE, KCSAVE_WRITE_FAILED, KCXML_ERR_WRITE}, {KCSAVE_STEP_FLUSH, KCSAVE_WRITE_FAILED, KCXML_ERR_WRITE},
                {KCSAVE_STEP_CLOSE, KCSAVE_WRITE_FAILED, KCXML_ERR_WRITE}, {KCSAVE_STEP_MOVE, KCSAVE_REPLACE_FAILED, KCXML_ERR_CREATE}};
    kcXmlParser xml;
    xml.AddChild(xml.AddChild(nullptr, "document", nullptr), "a", "1");
    kcStringList log;
    log.Add(L"\"new.txt\"");
    for (const auto& r : rows) {
        SCOPED_TRACE((int)r.step);
        TempDir dir;
        const std::wstring setup = dir.File(L"setup.xml"), install = dir.File(L"install.log");
        ASSERT_TRUE(WriteBytes(setup, "old settings") && WriteBytes(install, "\"old.txt\"\r\n"));
        LogCapture capture;
        {
            FailStep fail(r.step);
            EXPECT_EQ(r.result, kcSaveWholeFile(setup.c_str(), "0123456789", 10));
            EXPECT_EQ(r.status, xml.WriteFile(setup.c_str()));
            EXPECT_FALSE(log.Save(install.c_str()));
        }
        EXPECT_TRUE(capture.Contains("kcSaveWholeFile : "));
        std::string bytes;
        EXPECT_TRUE(ReadBytes(setup, &bytes) && bytes == "old settings");
        EXPECT_TRUE(ReadBytes(install, &bytes) && bytes == "\"old.txt\"\r\n");
        EXPECT_EQ((Names{L"install.log", L"setup.xml"}), FilesIn(dir.Path()));
    }
}

// A file one byte above its reader's bound, or too large for a 32-bit size, is refused with a log
// line and the reader's failure result; the list keeps what it had. (At the bound: the tests of
// the updater's and the language files.)
TEST(WholeFile, ReadsAreBoundByTheirKind)
{
    TempDir dir;
    const std::wstring path = dir.File(L"big");
    for (long long size : {kcXmlMaxFileBytes + 1LL, kcStringListMaxFileBytes + 1LL, 3000000000LL}) {
        SCOPED_TRACE(size);
        ASSERT_TRUE(WriteSparseFile(path, size));
        LogCapture capture;
        kcXmlParser xml;
        EXPECT_EQ(KCXML_ERR_READ, xml.ParseFile(path.c_str()));
        kcStringList list;
        list.Add(L"kept");
        EXPECT_EQ(size <= kcStringListMaxFileBytes, list.Load(path.c_str())); // zeros: no lines
        EXPECT_EQ(1, list.GetCount());
        EXPECT_TRUE(capture.Contains("is larger than"));
    }
}
