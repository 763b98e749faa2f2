#include "plugin/SystemInfoPage.h"
#include <commctrl.h>
#include <cstring>
#include <cwchar>
#include "config/ConfigBlock.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcString.h"
#include "plugin/LanguageText.h"
#include "plugin/PageCommon.h"
#include "plugin/SaveDialog.h"
#include "plugin/SettingsPages.h"
#include "plugin/SystemReport.h"
#include "plugin/gx7Conf.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"
#include "plugin/kcNoThrow.h"

namespace {
const wchar_t* const kLabels[SYSINFO_ROWS] = {
    L"$0500-0019$ゲームタイトル",
    L"$0500-0020$ゲームバージョン",
    L"$0500-0022$システムバージョン",
    L"$0500-0023$ＰＣメーカー名",
    L"$0500-0024$ＰＣモデル名",
    L"$0500-0025$ＯＳ",
    L"$0500-0026$ＣＰＵメーカー",
    L"$0500-0027$ＣＰＵクロック(測定値)",
    L"$0500-0029$空きメモリ／全メモリ",
    L"$0500-0031$ビデオカード",
    L"$0500-0032$ビデオドライババージョン",
    L"$0500-0033$画面解像度",
    L"$0500-0035$画面色数",
    L"$0500-0040$DirectX バージョン",
};

const wchar_t* ColourDepthText(int bits)
{
    switch (bits) {
    case 32: return L"$0500-0036$32bit フルカラー";
    case 24: return L"$0500-0037$24bit フルカラー";
    case 16: return L"$0500-0038$16bit ハイカラー";
    case 8: return L"$0500-0039$8bit インデックスカラー";
    default: return L"";
    }
}

void Copy(wchar_t* out, int outUnits, const wchar_t* text)
{
    lstrcpynW(out, text ? text : L"", outUnits);
}

void SaveReport(HWND page, const ConfigBlock* record)
{
    wchar_t file[260];
    Copy(file, 260, record ? record->infoFile : L"info.txt");
    wchar_t parts[4][260];
    Copy(parts[0], 260, TranslateText(L"$0500-0006$テキストファイル(*.txt)"));
    Copy(parts[1], 260, TranslateText(L"$0500-0007$*.txt"));
    Copy(parts[2], 260, TranslateText(L"$0500-0008$全てのファイル(*.*)"));
    Copy(parts[3], 260, TranslateText(L"$0500-0009$*.*"));
    wchar_t filter[4 * 260 + 1];
    BuildFilterString(filter, 4 * 260 + 1, 4, parts[0], parts[1], parts[2], parts[3]);
    wchar_t title[260], extension[32];
    Copy(title, 260, TranslateText(L"$0500-0005$環境情報の保存先"));
    Copy(extension, 32, TranslateText(L"txt"));
    if (!ShowSaveFileDialog(page, title, filter, extension, file, true))
        return;
    wchar_t exe[520];
    GameExecutablePath(exe, 520);
    WriteSystemInfoReport(file, exe);
}

void InitPage(HWND page, LPARAM lParam)
{
    gx7Conf* owner = PageHelper::Attach(page, lParam)->owner;
    HWND sheet = GetParent(page);
    if (owner) {
        kcCenterWindow(owner->hostWindow, sheet);
        owner->sheetWindow = sheet;
        AddSettingsPages(owner);
    }

    HWND list = GetDlgItem(page, IDC_INFO_LIST);
    const struct { const wchar_t* text; int width; } columns[] = {
        {L"$0500-0002$項目", 140}, {L"$0500-0003$内容", 220}};
    for (int i = 0; i < 2; ++i) {
        wchar_t text[260];
        Copy(text, 260, TranslateText(columns[i].text));
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = columns[i].width;
        column.pszText = text;
        column.iSubItem = i;
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
    }
    FillSystemInfoList(page);

    const ConfigBlock* record = CurrentRecord();
    wchar_t caption[1024];
    FormatText(caption, 1024, L"$0500-0004$システム情報を %s に保存する", record ? record->infoFile : L"info.txt");
    SetDlgItemTextW(page, IDC_INFO_SAVE, caption);
    TranslateDialog(page);
}
}

const wchar_t* SystemInfoLabel(int row)
{
    return (row >= 0 && row < SYSINFO_ROWS) ? TranslateText(kLabels[row]) : L"";
}

void GameExecutablePath(wchar_t* out, int outUnits)
{
    wchar_t folder[512] = {};
    const DWORD length = GetCurrentDirectoryW(512, folder);
    if (length == 0 || length >= 512)
        folder[0] = 0;
    const size_t used = wcslen(folder);
    const bool endsWithSlash = used > 0 && folder[used - 1] == L'\\';
    kcFormatW(out, outUnits, endsWithSlash ? L"%sgx7.exe" : L"%s\\gx7.exe", folder);
}

void GatherSystemInfo(SystemInfoSource* source, const ConfigBlock* record)
{
    std::memset(source, 0, sizeof(*source));
    if (record) {
        Copy(source->title, 260, record->title);
        source->versionMajor = record->versionMajor;
        source->versionMinor = record->versionMinor;
    }
    wchar_t exe[520];
    GameExecutablePath(exe, 520);
    static kcVersionInfo version;   // 6 KiB: kept off the page procedure's stack
    if (kcGetVersionInfo(exe, &version))
        Copy(source->exeVersion, 512, version.fileVersion);
    if (const kcCaps* caps = kcCaps::Instance()) {
        caps->GetOemManufacturer(source->oemMaker);
        caps->GetOemModel(source->oemModel);
        caps->GetOsInfo(&source->os);
        caps->GetCpuInfo(&source->cpu);
        source->availPhysMb = caps->availPhysMb;
        source->totalPhysMb = caps->totalPhysMb;
        caps->GetDirectXInfo(source->dxText);
    }
    if (const kcDXCaps* dx = kcDXCaps::Instance()) {
        std::memcpy(source->adapter, dx->identifier.Description, sizeof(source->adapter));
        source->adapter[sizeof(source->adapter) - 1] = 0;
        source->driverVersion = static_cast<uint64_t>(dx->identifier.DriverVersion.QuadPart);
        source->currentMode = dx->currentMode;
    }
    HWND desktop = GetDesktopWindow();
    if (HDC dc = GetDC(desktop)) {
        source->desktopBits = GetDeviceCaps(dc, BITSPIXEL);
        ReleaseDC(desktop, dc);
    }
}

void SystemInfoValue(const SystemInfoSource& s, int row, wchar_t* out, int outUnits)
{
    out[0] = 0;
    const unsigned mhz = s.cpu.measuredMhz;
    const uint64_t driver = s.driverVersion;
    switch (row) {
    case 0: Copy(out, outUnits, TranslateText(s.title)); break;
    case 1: FormatText(out, outUnits, L"$0500-0021$%d.%d", s.versionMajor, s.versionMinor); break;
    case 2: Copy(out, outUnits, s.exeVersion); break;
    case 3: Copy(out, outUnits, s.oemMaker); break;
    case 4: Copy(out, outUnits, s.oemModel); break;
    case 5: kcFormatW(out, outUnits, L"%s %s %s", s.os.name, s.os.edition, s.os.servicePack); break;
    case 6: {
        wchar_t vendor[32] = {};
        char sjis[17] = {};
        std::memcpy(sjis, s.cpu.vendor, 16);
        kcSjisToWideN(vendor, 32, sjis);
        if (_wcsicmp(vendor, L"GenuineIntel") == 0)
            Copy(out, outUnits, L"Intel");
        else if (_wcsicmp(vendor, L"AuthenticAMD") == 0)
            Copy(out, outUnits, L"AMD");
        else
            Copy(out, outUnits, s.cpu.name);
        break;
    }
    case 7:
        FormatText(out, outUnits, L"$0500-0028$%dMHz (%d.%dGHz)", mhz, (mhz + 50) / 1000, ((mhz + 50) % 1000) / 100);
        break;
    case 8: FormatText(out, outUnits, L"$0500-0030$%dMB / %dMB", s.availPhysMb, s.totalPhysMb); break;
    case 9: kcSjisToWideN(out, outUnits, s.adapter); break;
    case 10:
        kcFormatW(out, outUnits, L"%d.%d.%d.%d", static_cast<int>((driver >> 48) & 0xFFFF),
                  static_cast<int>((driver >> 32) & 0xFFFF), static_cast<int>((driver >> 16) & 0xFFFF),
                  static_cast<int>(driver & 0xFFFF));
        break;
    case 11:
        FormatText(out, outUnits, L"$0500-0034$%d x %d (%dHz)", s.currentMode.Width, s.currentMode.Height,
                   s.currentMode.RefreshRate);
        break;
    case 12: Copy(out, outUnits, TranslateText(ColourDepthText(s.desktopBits))); break;
    case 13: Copy(out, outUnits, s.dxText); break;
    default: break;
    }
}

void FillSystemInfoList(HWND page)
{
    HWND list = GetDlgItem(page, IDC_INFO_LIST);
    static SystemInfoSource source;
    GatherSystemInfo(&source, CurrentRecord());
    for (int row = 0; row < SYSINFO_ROWS; ++row) {
        wchar_t label[260], value[1024];
        Copy(label, 260, SystemInfoLabel(row));
        SystemInfoValue(source, row, value, 1024);
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.pszText = label;
        const int index = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        item.mask = LVIF_TEXT;
        item.iItem = index;
        item.iSubItem = 1;
        item.pszText = value;
        SendMessageW(list, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&item));
    }
}

INT_PTR CALLBACK SystemInfoPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return kcNoThrow<INT_PTR>(0, [&]() -> INT_PTR {
        PageHelper* helper = PageHelper::Get(page);
        gx7Conf* owner = helper ? helper->owner : nullptr;
        switch (message) {
        case WM_INITDIALOG:
            InitPage(page, lParam);
            return FALSE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDC_INFO_SAVE)
                SaveReport(page, CurrentRecord());
            return 0;
        case WM_NOTIFY:
            PageNotify(page, owner, lParam, nullptr);   // the page stores nothing
            return 0;
        case WM_DESTROY:
            PageHelper::Detach(page);
            return 0;
        default:
            return 0;
        }
    });
}
