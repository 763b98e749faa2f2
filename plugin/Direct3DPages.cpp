// The 3D pages: 3D 1 and 3D 2, or the combined page when the game definition asks for one.
// They offer only what the adapter does, as kcDXCaps found it when the plug-in started; a
// missing capability object counts as a failed probe (no filter caps, no pixel shaders).
#include "plugin/Direct3DPageRules.h"
#include "plugin/LanguageText.h"
#include "plugin/SettingsPageTables.h"
#include "plugin/SettingsPages.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"
#include "plugin/kcTablePage.h"

namespace {
#define KC_FILTER_ROWS(first, key)                  \
    {first, "TEXTURE", key, kcPageRadio, 0},        \
    {first + 1, "TEXTURE", key, kcPageRadio, 1},    \
    {first + 2, "TEXTURE", key, kcPageRadio, 2}
#define KC_DEPTH_ROWS                                         \
    {IDC_TEX_16BIT, "TEXTURE", "bpp", kcPageRadioStoreOnly, 16}, \
    {IDC_TEX_32BIT, "TEXTURE", "bpp", kcPageRadioStoreOnly, 32}

const kcPageBinding k3D1Bindings[] = {
    {IDC_HARD_TNL, "D3D", "hardTnL", kcPageCheck, 0},
    {IDC_BACKBUFFER, "D3D", "backbuffer", kcPageCheck, 0},
    {IDC_LIGHT, "D3D", "light", kcPageCheck, 0},
    {IDC_VSYNC, "D3D", "vsync", kcPageCheck, 0},
    KC_FILTER_ROWS(IDC_MIN_POINT, "min"),
    KC_FILTER_ROWS(IDC_MAG_POINT, "mag"),
    KC_DEPTH_ROWS,
};
const kcPageReset k3D1Resets[] = {
    {"TEXTURE", "bpp", kcResetBackup, 0},
    {"TEXTURE", "mag", kcResetBackup, 0},
    {"TEXTURE", "min", kcResetBackup, 0},
    {"D3D", "hardTnL", kcResetConstant, 1},
    {"D3D", "backbuffer", kcResetConstant, 1},
    {"D3D", "light", kcResetConstant, 1},
    {"D3D", "vsync", kcResetConstant, 1},
};
const kcPageTable k3D1Table = kcMakePageTable(k3D1Bindings, k3D1Resets);

const kcPageBinding kCombinedBindings[] = {
    {IDC_HARD_TNL, "D3D", "hardTnL", kcPageCheck, 0},
    {IDC_BACKBUFFER, "D3D", "backbuffer", kcPageCheck, 0},
    KC_FILTER_ROWS(IDC_MIN_POINT, "min"),
    KC_FILTER_ROWS(IDC_MAG_POINT, "mag"),
    KC_DEPTH_ROWS,
    {IDC_DITHER, "TEXTURE", "dither", kcPageCheck, 0},
};
const kcPageReset kCombinedResets[] = {
    {"TEXTURE", "bpp", kcResetBackup, 0},
    {"TEXTURE", "mag", kcResetBackup, 0},
    {"TEXTURE", "min", kcResetBackup, 0},
    {"D3D", "hardTnL", kcResetConstant, 1},
    {"D3D", "backbuffer", kcResetConstant, 1},
    {"TEXTURE", "dither", kcResetBackup, 0},
};
const kcPageTable kCombinedTable = kcMakePageTable(kCombinedBindings, kCombinedResets);

const kcPageBinding k3D2Bindings[] = {
    {IDC_DITHER, "TEXTURE", "dither", kcPageCheck, 0},
    {IDC_ANTIALIAS, "D3D", "antialias", kcPageCheck, 0},
    {IDC_FOG_PIXEL, "D3D", "fogtype", kcPageRadio, 0},
    {IDC_FOG_VERTEX, "D3D", "fogtype", kcPageRadio, 1},
    {IDC_FOG_NONE, "D3D", "fogtype", kcPageRadio, 2},
};
const kcPageReset k3D2Resets[] = {
    {"TEXTURE", "dither", kcResetBackup, 0},
    {"D3D", "antialias", kcResetBackup, 0},
    {"D3D", "fogtype", kcResetBackup, 0},
    {"D3D", "tex_size", kcResetBackup, 0},
    {"D3D", "tex_comp", kcResetBackup, 0},
};
const int k3D2Edits[] = {IDC_TEX_SIZE, IDC_TEX_COMP};
const kcPageTable k3D2Table = kcMakePageTable(k3D2Bindings, k3D2Resets, k3D2Edits);

// The drop-down lists of the 3D 2 page: setting and entries, in index order.
struct kcChoiceList {
    int control;
    const char* key;
    const wchar_t* entries[3];
};
const kcChoiceList kLists[] = {
    {IDC_TEX_SIZE, "tex_size", {L"$0500-0013$標準", L"$0500-0014$1/2", L"$0500-0015$1/4"}},
    {IDC_TEX_COMP, "tex_comp", {L"$0500-0016$圧縮しない", L"$0500-0017$圧縮する", nullptr}},
};

const D3DCAPS9* DeviceCaps()
{
    const kcDXCaps* caps = kcDXCaps::Instance();
    return caps ? &caps->deviceCaps : nullptr;
}

void JudgeFilter(HWND page, ConfigBlock& record, uint32_t filterCaps, uint32_t pointCap, int firstButton,
                 const char* key)
{
    kcFilterChoice choice = kcJudgeFilter(filterCaps, pointCap, kcPageGet(record, "TEXTURE", key));
    for (int i = 0; i < 3; ++i)
        if (choice.disabled[i])
            EnableWindow(GetDlgItem(page, firstButton + i), FALSE);
    kcPageSet(record, "TEXTURE", key, choice.value);
}

void JudgeDepth(HWND page, const ConfigBlock& record)
{
    uint32_t width = kcPageGet(record, "WINDOW", "full_width");
    uint32_t height = kcPageGet(record, "WINDOW", "full_height");
    kcDepthChoice choice = kcJudgeDepth(kcPageGet(record, "TEXTURE", "bpp"), GetModeBitDepth(width, height, 16) != 0,
                                        GetModeBitDepth(width, height, 32) != 0);
    if (choice.check != 0) {
        CheckDlgButton(page, IDC_TEX_16BIT, choice.check == 16 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(page, IDC_TEX_32BIT, choice.check == 32 ? BST_CHECKED : BST_UNCHECKED);
    }
    if (choice.disable16)
        EnableWindow(GetDlgItem(page, IDC_TEX_16BIT), FALSE);
    if (choice.disable32)
        EnableWindow(GetDlgItem(page, IDC_TEX_32BIT), FALSE);
}

// Shared by the 3D 1 and the combined page. Moving a filter to POINT is no edit of the user's.
void RefreshTexturePage(HWND page, gx7Conf* owner, const kcPageTable& table)
{
    ConfigBlock& record = owner->workingRecord;
    const D3DCAPS9* caps = DeviceCaps();
    uint32_t filterCaps = caps ? caps->TextureFilterCaps : 0;
    JudgeFilter(page, record, filterCaps, kcMinFilterPoint, IDC_MIN_POINT, "min");
    JudgeFilter(page, record, filterCaps, kcMagFilterPoint, IDC_MAG_POINT, "mag");
    kcPageRefresh(page, table, record);
    JudgeDepth(page, record);
}

void Refresh3D1(HWND page, gx7Conf* owner)
{
    RefreshTexturePage(page, owner, k3D1Table);
}

void RefreshCombined(HWND page, gx7Conf* owner)
{
    RefreshTexturePage(page, owner, kCombinedTable);
}

// An adapter without pixel shaders gets vertex fog: at set-up, and again after a reset brought
// pixel fog back from the game definition.
bool JudgePixelFog(gx7Conf* owner)
{
    const D3DCAPS9* caps = DeviceCaps();
    if (kcAdapterHasPixelFog(caps ? caps->PixelShaderVersion : 0))
        return true;
    if (owner && kcPageGet(owner->workingRecord, "D3D", "fogtype") == 0)
        kcPageSet(owner->workingRecord, "D3D", "fogtype", 1);
    return false;
}

void SetUp3D2(HWND page, gx7Conf* owner)
{
    if (!JudgePixelFog(owner))
        EnableWindow(GetDlgItem(page, IDC_FOG_PIXEL), FALSE);
    for (const kcChoiceList& list : kLists)
        for (const wchar_t* entry : list.entries)
            if (entry)
                SendDlgItemMessageW(page, list.control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(TranslateText(entry)));
}

void Refresh3D2(HWND page, gx7Conf* owner)
{
    JudgePixelFog(owner);
    kcPageRefresh(page, k3D2Table, owner->workingRecord);
    for (const kcChoiceList& list : kLists) {
        int index = kcPageGet(owner->workingRecord, "D3D", list.key);
        int count = static_cast<int>(SendDlgItemMessageW(page, list.control, CB_GETCOUNT, 0, 0));
        SendDlgItemMessageW(page, list.control, CB_SETCURSEL, index >= 0 && index < count ? index : -1, 0);
    }
}

void Store3D2(HWND page, gx7Conf* owner)
{
    kcPageStore(page, k3D2Table, owner->workingRecord);
    for (const kcChoiceList& list : kLists) {
        LRESULT index = SendDlgItemMessageW(page, list.control, CB_GETCURSEL, 0, 0);
        kcPageSet(owner->workingRecord, "D3D", list.key, index == CB_ERR ? -1 : static_cast<int32_t>(index));
    }
}

SettingsPageHooks MakeHooks3D1()
{
    SettingsPageHooks hooks = kcTablePage<k3D1Table>::Hooks();
    hooks.refresh = Refresh3D1;
    return hooks;
}
SettingsPageHooks MakeHooksCombined()
{
    SettingsPageHooks hooks = kcTablePage<kCombinedTable>::Hooks();
    hooks.refresh = RefreshCombined;
    return hooks;
}
SettingsPageHooks MakeHooks3D2()
{
    SettingsPageHooks hooks = kcTablePage<k3D2Table>::Hooks(SetUp3D2);
    hooks.refresh = Refresh3D2;
    hooks.store = Store3D2;
    return hooks;
}
const SettingsPageHooks k3D1Hooks = MakeHooks3D1();
const SettingsPageHooks kCombinedHooks = MakeHooksCombined();
const SettingsPageHooks k3D2Hooks = MakeHooks3D2();
} // namespace

const kcPageTable& Direct3D1PageTable()
{
    return k3D1Table;
}
const kcPageTable& Direct3D2PageTable()
{
    return k3D2Table;
}
const kcPageTable& Direct3DPageTable()
{
    return kCombinedTable;
}

INT_PTR CALLBACK Direct3D1PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(k3D1Hooks, page, message, wParam, lParam);
}

INT_PTR CALLBACK Direct3D2PageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(k3D2Hooks, page, message, wParam, lParam);
}

INT_PTR CALLBACK Direct3DPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return SettingsPageProc(kCombinedHooks, page, message, wParam, lParam);
}
