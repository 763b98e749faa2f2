#include "updater/UpdatingDialog.h"

#include "updater/CopyFinished.h"
#include "updater/UpdaterFiles.h"
#include "updater/UpdaterResource.h"
#include "updater/UpdaterState.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcStringList.h"

const wchar_t kUninstallProduct[] = L"rvl_morrowEX1";
const wchar_t kUninstallDisplayName[] = L"蒼嵐花譜 \uFF5E北辺の白狼編\uFF5E";

bool WriteInstallLog(const wchar_t* logPath, const std::vector<std::wstring>& files)
{
    kcStringList log;
    // A missing log starts empty; one that is there but cannot be read (too large, say) is left
    // as it is: written over, its earlier entries, which the uninstaller needs, would be lost.
    if (!log.Load(logPath) && GetFileAttributesW(logPath) != INVALID_FILE_ATTRIBUTES) {
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
