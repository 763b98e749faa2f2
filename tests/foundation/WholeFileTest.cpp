#include "foundation/kcFile.h"
#include "foundation/kcStringList.h"
#include "foundation/kcWholeFile.h"
#include "foundation/kcXmlParser.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

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

// A save keeps the attributes the user set on the file (0x22 stays hidden, 0x26 hidden and system), also when it takes
// a name whose temporary would end inside a surrogate pair; a read-only file, or a replace that
// fails, leaves the old bytes, the attributes and no temporary. 0: no file before the save.
TEST(WholeFile, ASaveKeepsTheFilesAttributes)
{
    const struct { const wchar_t* name; DWORD before; bool replaceFails; } rows[] = {
        {L"setup.xml", 0x22, false}, {L"setup.xml", 0x22, true}, {L"setup.xml", 0x26, false}, {L"setup.xml", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE, false},
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

// The destination is replaced in one step: a reader looking for it during many saves always finds
// it. Two savers of one file each wait out the other's moment on it: every save succeeds and the
// file ends as one of the two, whole.
TEST(WholeFile, TheDestinationIsNeverMissingDuringSaves)
{
    for (int savers : {1, 2}) {
        SCOPED_TRACE(savers);
        TempDir dir;
        const std::wstring path = dir.File(L"install.log");
        ASSERT_TRUE(WriteBytes(path, "first"));
        std::atomic<bool> done{false};
        std::atomic<int> polls{0}, missing{0}, failed{0};
        const int saves = savers == 1 ? 250 : 200;
        auto bytesOf = [&](int saver, int i) { return std::string(1000 * (saver + 1) + i, char('a' + (saver + i) % 26)); };
        {
            JoinedThread poller([&] {
                while (!done) {
                    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) ++missing;
                    ++polls;
                }
            });
            auto save = [&](int saver) {
                for (int i = 0; i < saves; ++i) {
                    const std::string bytes = bytesOf(saver, i);
                    if (kcSaveWholeFile(path.c_str(), bytes.data(), (int)bytes.size()) != KCSAVE_OK) ++failed;
                }
            };
            JoinedThread other([&] { if (savers == 2) save(1); });
            save(0);
            other.Join();
            done = true;
        }
        EXPECT_EQ(0, failed.load());
        EXPECT_EQ(0, missing.load()) << "in " << polls.load() << " polls";
        std::string last;
        EXPECT_TRUE(ReadBytes(path, &last) && (last == bytesOf(0, saves - 1) || (savers == 2 && last == bytesOf(1, saves - 1))))
            << last.size();
        EXPECT_EQ(Names{L"install.log"}, FilesIn(dir.Path()));
    }
}

// Another handle holds the destination (sharing all, or reading only). Let go after 400 ms: the
// save made during the hold succeeds. Held 6 s: the save fails after its wait, within 4 s, with
// one line naming the code and the tries. A destination read-only before the save or during its
// wait, or a move the hook refuses, ends the save at once. A failed save leaves the old bytes
// and no temporary.
TEST(WholeFile, ASaveWaitsOutADestinationHeldForAMoment)
{
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    const struct { DWORD share, holdMs; int readOnlyAtMs; bool hookRefuses, saved; DWORD withinMs; } rows[] = {
        {all, 400, -1, false, true, 4000}, {FILE_SHARE_READ, 400, -1, false, true, 4000},
        {all, 6000, -1, false, false, 4000}, {all, 6000, 0, false, false, 100},
        {all, 6000, 300, false, false, 1000}, {all, 6000, -1, true, false, 100}};
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.share << " " << r.holdMs << " " << r.readOnlyAtMs << (r.hookRefuses ? " hook" : ""));
        TempDir dir;
        const std::wstring path = dir.File(L"setup.xml");
        ASSERT_TRUE(WriteBytes(path, "old") && (r.readOnlyAtMs || SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY)));
        HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, r.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, held);
        HANDLE returned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        LogCapture capture;
        DWORD spent;
        {
            JoinedThread holder([&] {
                if (r.readOnlyAtMs > 0 && WaitForSingleObject(returned, r.readOnlyAtMs) == WAIT_TIMEOUT)
                    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
                WaitForSingleObject(returned, r.holdMs);
                CloseHandle(held);
            });
            g_failing = KCSAVE_STEP_MOVE;
            kcSaveSetStepHook(r.hookRefuses ? FailOne : nullptr);
            const DWORD start = GetTickCount();
            EXPECT_EQ(r.saved, kcSaveWholeFile(path.c_str(), "new", 3) == KCSAVE_OK);
            spent = GetTickCount() - start;
            kcSaveSetStepHook(nullptr);
            SetEvent(returned);
        }
        CloseHandle(returned);
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_LT(spent, r.withinMs);
        std::string bytes;
        EXPECT_TRUE(ReadBytes(path, &bytes) && bytes == (r.saved ? "new" : "old")) << bytes;
        EXPECT_EQ(Names{L"setup.xml"}, FilesIn(dir.Path()));
        const char* waited = "replacing the file failed (5) after ";
        int lines = 0, tries = 0;
        for (const std::string& line : capture.Lines()) {
            lines += line.find("kcSaveWholeFile : ") != std::string::npos;
            const size_t at = line.find(waited);
            if (at != std::string::npos) tries = atoi(line.c_str() + at + strlen(waited));
        }
        EXPECT_EQ(r.saved ? 0 : 1, lines);
        EXPECT_EQ(r.holdMs > 400 && r.readOnlyAtMs != 0 && !r.hookRefuses, tries > 5) << tries;
    }
}

namespace {
// A host symbolic link made by the host's own ln (Wine's CreateSymbolicLinkW makes nothing, and
// ln's exit code does not read back): made when the link reads as its target.
bool MakeHostLink(const std::wstring& folder, const std::wstring& target, const std::wstring& link, const std::string& bytes)
{
    std::wstring command = L"ln -s " + target + L" " + link;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    if (!CreateProcessW(L"Z:\\bin\\ln", &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, 30000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // Wine may signal a host program's handle before the program has run: wait for the effect.
    std::string read;
    for (int i = 0; i < 100 && !(ReadBytes(folder + L"\\" + link, &read) && read == bytes); ++i) Sleep(50);
    return read == bytes;
}
} // namespace

// A save through a link never touches the link's target (beside it, in a subfolder, on another
// file system): the link becomes a plain file holding the new bytes.
TEST(WholeFile, ASaveThroughALinkKeepsItsTarget)
{
    TempDir dir;
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"sub").c_str(), nullptr));
    const std::wstring shm = L"kc-save-" + std::to_wstring(GetCurrentProcessId());
    const struct { std::wstring target, windowsTarget; } rows[] = {
        {L"target.xml", dir.File(L"target.xml")},
        {L"sub/target.xml", dir.File(L"sub\\target.xml")},
        {L"/dev/shm/" + shm, L"Z:\\dev\\shm\\" + shm}};
    int made = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(testing::Message() << r.target.c_str());
        const std::wstring name = L"setup" + std::to_wstring(&r - rows) + L".xml", link = dir.File(name);
        if (!WriteBytes(r.windowsTarget, "the target's own") || !MakeHostLink(dir.Path(), r.target, name, "the target's own")) {
            DeleteFileW(r.windowsTarget.c_str());
            continue;
        }
        ++made;
        EXPECT_EQ(KCSAVE_OK, kcSaveWholeFile(link.c_str(), "new", 3));
        std::string target, saved;
        EXPECT_TRUE(ReadBytes(r.windowsTarget, &target) && target == "the target's own") << target;
        EXPECT_TRUE(ReadBytes(link, &saved) && saved == "new") << saved;
        DeleteFileW(r.windowsTarget.c_str());
    }
    if (!made) GTEST_SKIP() << "no host symbolic link can be made here (no Z:\\bin\\ln, or not Wine)";
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
