// Display-mode matching and the sharing of the record over DDE.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <cwchar>

#include "config/kcConfig.h"
#include "config/kcDisplayModes.h"
#include "config/kcPathMacros.h"
#include "config/kcSettings.h"
#include "foundation/kcDDE.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"

namespace {

const char kService[] = "KCDDE_SERVER";
const char kItemConfig[] = "kcConfig_CONFIG";
const char kItemPath[] = "kcConfig_PATH";
const unsigned kPathBytes = 260;

// The folder of this process's module, UTF-16.
void ModuleFolder(wchar_t* out)
{
    wchar_t module[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, module, MAX_PATH);
    out[0] = 0;
    if (n == 0 || n >= MAX_PATH) return;
    if (!kcGetParentPathWN(module, out, MAX_PATH)) out[0] = 0;
}

bool SameMode(const kcDisplayMode& m, const kcDisplayMode& current)
{
    return kcRefreshRateMatches(m.RefreshRate, current.RefreshRate) && m.Format == current.Format;
}

// A peer's text that does not end inside its field would be read past it: the field keeps its
// value (paths among them, which must never be taken cut).
void KeepUnendedTexts(ConfigBlock* fetched, const ConfigBlock* own)
{
    int count = 0;
    const kcSetting* table = kcSettingTable(&count);
    for (int i = 0; i < count; ++i) {
        const kcSetting& s = table[i];
        if (s.type != KCSET_STR && s.type != KCSET_WSTR) continue;
        for (int row = 0; row < s.rows; ++row) {
            void* field = kcSettingAddress(fetched, &s, row);
            bool ended = s.type == KCSET_STR ? memchr(field, 0, s.size) != nullptr
                                             : wmemchr(static_cast<wchar_t*>(field), 0, s.size / 2) != nullptr;
            if (ended) continue;
            memcpy(field, kcSettingAddress(own, &s, row), s.size);
            kcLog("kcConfig : the DDE peer's %s row %d does not end inside its field; kept", s.gameKey ? s.gameKey : s.userKey, row);
        }
    }
}

} // namespace

int kcConfig::MatchDisplayMode(int* width, int* height) const
{
    const kcDisplayModeList* list = kcDisplayModeList::Usable();
    if (!list || !width || !height) return 0;
    const kcDisplayMode& cur = list->currentMode;
    int aspect = kcAspectPermille(cur.Width, cur.Height);
    const kcDisplayMode* larger = nullptr;
    for (uint32_t i = 0; i < list->modeCount; ++i) {
        const kcDisplayMode& m = list->modes[i];
        if (!SameMode(m, cur) || kcAspectPermille(m.Width, m.Height) != aspect) continue;
        if ((int)m.Width == *width && (int)m.Height == *height) return 1;
        if (!larger && (int)m.Width >= *width && (int)m.Height >= *height) larger = &m;
    }
    const kcDisplayMode& use = larger ? *larger : cur;
    *width = (int)use.Width;
    *height = (int)use.Height;
    return 1;
}

int kcConfig::HasDisplayMode(int width, int height) const
{
    const kcDisplayModeList* list = kcDisplayModeList::Usable();
    if (!list) return 0;
    for (uint32_t i = 0; i < list->modeCount; ++i) {
        const kcDisplayMode& m = list->modes[i];
        if ((int)m.Width == width && (int)m.Height == height && SameMode(m, list->currentMode)) return 1;
    }
    return 0;
}

int __stdcall kcConfigDdeCallback(void* context, const wchar_t* itemName, void** data, unsigned* bytes)
{
    kcConfig* config = static_cast<kcConfig*>(context);
    if (!config || !itemName || !data || !bytes) return 0;
    if (wcscmp(itemName, L"kcConfig_CONFIG") == 0) {
        void* block = kcHeapAlloc(0, sizeof(ConfigBlock));
        if (!block) return 0;
        config->GetBlock(block);
        *data = block;
        *bytes = sizeof(ConfigBlock);
        return 1;
    }
    if (wcscmp(itemName, L"kcConfig_PATH") == 0) {
        wchar_t* path = static_cast<wchar_t*>(kcHeapAlloc(0, kPathBytes));
        if (!path) return 0;
        memset(path, 0, kPathBytes);
        wchar_t folder[MAX_PATH];
        ModuleFolder(folder);
        // The text's first 260 bytes; a shorter text is zero-padded.
        memcpy(path, folder, std::min(wcslen(folder) * sizeof(wchar_t), (size_t)kPathBytes));
        *data = path;
        *bytes = kPathBytes;
        return 1;
    }
    return 0;
}

int kcConfig::ShareOverDde(int type)
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde) return 0;
    if (type == 1) {
        dde->CreateServer(kService);
        dde->RegisterItem(kItemConfig, kcConfigDdeCallback, this);
        dde->RegisterItem(kItemPath, kcConfigDdeCallback, this);
    } else if (type == 2) {
        dde->Connect(kService);
    }
    return 1;
}

int kcConfig::FetchFromDde()
{
    kcDDE* dde = kcDDE::Instance();
    if (!dde || m_ddeMode != 2) return 0;
    wchar_t peer[kPathBytes / sizeof(wchar_t) + 1];
    memset(peer, 0, sizeof peer);
    if (!dde->GetServerData(kItemPath, peer, kPathBytes, kService, kPathBytes)) return 0;
    wchar_t own[MAX_PATH];
    ModuleFolder(own);
    if (!own[0] || _wcsicmp(peer, own) != 0) {
        kcLog("kcConfig : the DDE peer runs from another folder; its settings are not taken");
        return 0;
    }
    // Fetched apart: the peer's two heap addresses mean nothing here, this record keeps its own.
    ConfigBlock* fetched = new ConfigBlock();
    int ok = dde->GetServerData(kItemConfig, fetched, sizeof(ConfigBlock), kService, sizeof(ConfigBlock));
    if (ok) {
        fetched->scriptReplace = m_current->scriptReplace;
        fetched->languages = m_current->languages;
        KeepUnendedTexts(fetched, m_current);
        memcpy(m_current, fetched, sizeof(ConfigBlock));
    }
    delete fetched;
    return ok ? 1 : 0;
}
