#include "updater/UpdatingDialog.h"

#include "updater/CopyFinished.h"
#include "updater/UpdaterFiles.h"
#include "updater/UpdaterResource.h"
#include "updater/UpdaterState.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcStringList.h"

#include <cstring>
#include <new>

const wchar_t kUninstallProduct[] = L"rvl_morrowEX1";
const wchar_t kUninstallDisplayName[] = L"蒼嵐花譜 \uFF5E北辺の白狼編\uFF5E";

namespace {

// True when the list gives every line of the log back byte for byte: each line UTF-8 that comes
// back unchanged from wide text. A byte that is not UTF-8 would cut its line, a NUL byte would
// end the text. False, with a log line, otherwise or when the log cannot be read.
bool LogReadsBackWhole(const wchar_t* logPath)
{
    std::vector<char> bytes;
    if (!ReadWholeFile(logPath, bytes, kcStringListMaxFileBytes))
        return false;
    const size_t size = bytes.size() - kFilePadding;
    try {
        std::vector<wchar_t> wide;
        std::vector<char> back;
        for (size_t pos = 0, line = 1; pos < size; ++line) {
            const char* text = bytes.data() + pos;
            const char* lf = static_cast<const char*>(memchr(text, '\n', size - pos));
            const size_t n = lf ? static_cast<size_t>(lf - text) : size - pos;
            bytes[pos + n] = 0; // the LF, or the padding's first zero
            wide.resize(n + 1);
            back.resize(3 * n + 1); // 3 bytes a unit at most, 4 for a pair
            const bool same = kcUtf8ToWideN(text, wide.data(), (int)wide.size()) > 0 &&
                              kcWideToUtf8N(wide.data(), back.data(), (int)back.size()) == (int)n + 1 &&
                              !memcmp(back.data(), text, n);
            if (!same) {
                kcLogW(L"install.log line %d is not UTF-8 or holds a NUL byte : %s", (int)line, logPath);
                return false;
            }
            pos += n + 1;
        }
    } catch (const std::bad_alloc&) {
        kcLogW(L"no memory to check %s", logPath);
        return false;
    }
    return true;
}

} // namespace

bool WriteInstallLog(const wchar_t* logPath, const std::vector<std::wstring>& files)
{
    kcStringList log;
    // A missing log starts empty. One that is there but cannot be read (too large, say), or that
    // the list would not give back byte for byte, is left as it is: written over, its earlier
    // entries, which the uninstaller needs, would be lost or changed.
    if (GetFileAttributesW(logPath) != INVALID_FILE_ATTRIBUTES && !(LogReadsBackWhole(logPath) && log.Load(logPath))) {
        kcLogW(L"install.log cannot be read and is left as it is : %s", logPath);
        return false;
    }
    for (const std::wstring& file : files) {
        wchar_t entry[kPathChars];
        kcFormatW(entry, kPathChars, L"\"%s\"", file.c_str());
        if (!log.Add(entry))
            return false; // the old log whole rather than a new one without this file
    }
    log.SortUnique();
    return log.Save(logPath);
}

bool WriteUninstallKey(HKEY root, const wchar_t* product, const wchar_t* installFolder)
{
    wchar_t keyPath[kPathChars];
    kcFormatW(keyPath, kPathChars, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\%s", product);
    HKEY key;
    if (RegCreateKeyExW(root, keyPath, 0, const_cast<wchar_t*>(L""), 0, KEY_WRITE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    const std::wstring uninstall = JoinPath({installFolder, L"uninst.exe"});
    auto setText = [key](const wchar_t* name, const std::wstring& value) {
        // The size counts the terminating NUL.
        return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    };
    const bool ok = setText(L"DisplayName", kUninstallDisplayName) & setText(L"UninstallString", uninstall);
    RegCloseKey(key);
    return ok;
}

bool StartCopier(kcFileCopier& copier, HWND dialog)
{
    if (copier.Start(OnCopyFinished, dialog, nullptr))
        return true;
    // No report would ever come: take the road of a failed copy, or the dialog waits for ever.
    CopyStatus status = {};
    status.error = 1;
    kcFileCopier::SystemText(GetLastError(), 0, status.errorText, 514);
    OnCopyFinished(dialog, &status);
    return false;
}

namespace {

void BeginCopy(HWND dialog)
{
    UpdaterState& state = Updater();
    const std::wstring logPath = JoinPath({state.destinationRoot, L"install.log"});
    state.copier = new kcFileCopier(3, 0);
    wchar_t dataFolder[1024];
    if (!GetCurrentDirectoryW(1024, dataFolder))
        dataFolder[0] = 0;
    state.copier->SetMode(1);
    for (const std::wstring& file : state.fileList) {
        const std::wstring destination = JoinPath({state.destinationRoot, file});
        const std::wstring source = JoinPath({dataFolder, file});
        state.copier->AddJob(source.c_str(), destination.c_str(), 0);
    }
    // Written before the first copy, so the log names the files also after a failed copy.
    WriteInstallLog(logPath.c_str(), state.fileList);
    StartCopier(*state.copier, dialog);
}

void ShowOutcome(HWND dialog, const wchar_t* text)
{
    ShowWindow(dialog, SW_HIDE);
    MessageBoxW(dialog, text, Updater().info.current.wndtitle, MB_OK);
    PostMessageW(dialog, WM_UPDATE_CLOSE, 0, 0);
}

} // namespace

INT_PTR CALLBACK UpdatingDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    UpdaterState& state = Updater();
    switch (message) {
    case WM_INITDIALOG:
        kcCenterWindow(GetParent(dialog), dialog);
        SetDlgItemTextW(dialog, IDC_UPDATING_TEXT, state.info.current.copying);
        PostMessageW(dialog, WM_UPDATE_BEGIN_COPY, 0, 0);
        break;
    case WM_UPDATE_BEGIN_COPY:
        BeginCopy(dialog);
        break;
    case WM_UPDATE_COPY_DONE:
        WriteUninstallKey(HKEY_LOCAL_MACHINE, kUninstallProduct, state.destinationRoot);
        ShowOutcome(dialog, state.info.current.success);
        break;
    case WM_UPDATE_COPY_FAILED:
        ShowOutcome(dialog, state.info.current.error_copy);
        break;
    case WM_UPDATE_CLOSE:
        PostMessageW(GetParent(dialog), WM_UPDATE_CLOSE, 0, 0);
        EndDialog(dialog, 2);
        break;
    }
    return FALSE;
}
