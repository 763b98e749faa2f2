#include "UpdaterState.h"
#include "UpdatingDialog.h"
#include "kcFileCopier.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>

TEST(InstallLog, MergesSortedUniqueKeepingOldSpelling)
{
    TempDir dir;
    const std::wstring log = dir.File(L"install.log");
    ASSERT_TRUE(WriteBytes(log, "\"DATA\\A.TXT\"\r\n\"zeta.bin\"\r\n"));
    ASSERT_TRUE(WriteInstallLog(log.c_str(), {L"data\\a.txt", L"b.txt", L"画像\\表.png", L"b.txt"}));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(log, &bytes));
    EXPECT_EQ("\"b.txt\"\r\n\"DATA\\A.TXT\"\r\n\"zeta.bin\"\r\n" + std::string(u8"\"画像\\表.png\"\r\n"), bytes);
}

TEST(InstallLog, EmptyPackageRewritesTheLog)
{
    TempDir dir;
    const std::wstring log = dir.File(L"install.log");
    ASSERT_TRUE(WriteBytes(log, "\"b\"\n\"a\"\r\n\"B\""));
    ASSERT_TRUE(WriteInstallLog(log.c_str(), {}));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(log, &bytes));
    EXPECT_EQ("\"a\"\r\n\"b\"\r\n", bytes);

    // No log yet: a new one; no folder: nothing written and no failure shown.
    const std::wstring fresh = dir.File(L"fresh.log");
    ASSERT_TRUE(WriteInstallLog(fresh.c_str(), {L"x"}));
    ASSERT_TRUE(ReadBytes(fresh, &bytes));
    EXPECT_EQ("\"x\"\r\n", bytes);
    EXPECT_FALSE(WriteInstallLog(dir.File(L"missing\\install.log").c_str(), {L"x"}));
}

namespace {

std::wstring QueryText(HKEY key, const wchar_t* name, DWORD* type, DWORD* size)
{
    wchar_t value[600] = {};
    *size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, type, reinterpret_cast<BYTE*>(value), size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

} // namespace

TEST(UninstallKey, TextValuesCountTheirNul)
{
    const wchar_t product[] = L"kcUpdaterUnitTest";
    const wchar_t keyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\kcUpdaterUnitTest";
    for (const wchar_t* folder : {L"C:\\Games\\蒼嵐", L"C:\\Games\\蒼嵐\\"}) {
        RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);
        ASSERT_TRUE(WriteUninstallKey(HKEY_CURRENT_USER, product, folder));
        HKEY key;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_READ, &key));
        DWORD type = 0, size = 0;
        EXPECT_EQ(std::wstring(kUninstallDisplayName), QueryText(key, L"DisplayName", &type, &size));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ((wcslen(kUninstallDisplayName) + 1) * 2, size);
        EXPECT_EQ(L"C:\\Games\\蒼嵐\\uninst.exe", QueryText(key, L"UninstallString", &type, &size));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ((wcslen(L"C:\\Games\\蒼嵐\\uninst.exe") + 1) * 2, size);
        RegCloseKey(key);
    }
    RegDeleteKeyW(HKEY_CURRENT_USER, keyPath);
    EXPECT_STREQ(L"rvl_morrowEX1", kUninstallProduct);
    EXPECT_EQ(L"蒼嵐花譜 ～北辺の白狼編～", std::wstring(kUninstallDisplayName));
}

TEST(CopyCallback, PostsOnlyTheOutcomeOfARunWithoutError)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    auto posted = [window]() {
        MSG message;
        std::vector<UINT> ids;
        while (PeekMessageW(&message, window, WM_USER, WM_USER + 100, PM_REMOVE))
            ids.push_back(message.message);
        return ids;
    };
    CopyStatus status = {};
    EXPECT_EQ(1, OnCopyFinished(window, &status)); // progress
    EXPECT_TRUE(posted().empty());
    status.error = 1;
    status.done = 1; // final report after a failure that was reported already
    EXPECT_EQ(1, OnCopyFinished(window, &status));
    EXPECT_TRUE(posted().empty());
    status.error = 0;
    EXPECT_EQ(1, OnCopyFinished(window, &status));
    EXPECT_EQ(std::vector<UINT>{WM_UPDATE_COPY_DONE}, posted());
    DestroyWindow(window);
}
