#include "plugin/PagesFixture.h"

#include <commctrl.h>
#include <cstring>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcHeap.h"
#include "plugin/PageCommon.h"
#include "plugin/gx7Conf.h"
#include "plugin/kcDXCaps.h"

namespace {
const kcSizePair kGameSizes[5] = {{640, 480}, {800, 600}, {1024, 768}, {1280, 960}, {1600, 1200}};

void Prepare(ConfigBlock& record)
{
    std::memset(&record, 0, sizeof(record));
    std::memcpy(record.windowSizes, kGameSizes, sizeof(kGameSizes));
}
} // namespace

PagesFixture::PagesFixture()
    : m_current(new ConfigBlock()), m_backup(new ConfigBlock()), m_savedCurrent(kcConfigCurrentBlock),
      m_savedBackup(kcConfigBackupBlock), m_owner(new gx7Conf())
{
    Prepare(*m_current);
    Prepare(*m_backup);
    Prepare(m_owner->workingRecord);
    kcConfigCurrentBlock = m_current.get();
    kcConfigBackupBlock = m_backup.get();
}

PagesFixture::~PagesFixture()
{
    Close();
    if (m_caps) {
        m_caps->ReleaseModes();
        delete m_caps;
        kcDisplayModeList::Instance = nullptr;
    }
    kcConfigCurrentBlock = m_savedCurrent;
    kcConfigBackupBlock = m_savedBackup;
    delete m_owner;
}

ConfigBlock& PagesFixture::Working()
{
    return m_owner->workingRecord;
}

void PagesFixture::Set(ConfigBlock& record, const std::vector<PageSetting>& settings)
{
    for (const PageSetting& s : settings)
        kcConfigSetInt(&record, s.section, s.key, s.value);
}

int PagesFixture::Get(const char* section, const char* key)
{
    return kcConfigGetInt(&m_owner->workingRecord, section, key);
}

kcDXCaps& PagesFixture::Caps()
{
    if (!m_caps)
        m_caps = new kcDXCaps(0);
    return *m_caps;
}

void PagesFixture::SetModes(const kcDisplayMode& current, const std::vector<kcDisplayMode>& modes)
{
    kcDXCaps& caps = Caps();
    caps.ReleaseModes();
    caps.currentMode = current;
    if (modes.empty())
        return;
    caps.modes = static_cast<kcDisplayMode*>(kcHeapAlloc(0, static_cast<int>(modes.size() * sizeof(kcDisplayMode))));
    std::memcpy(caps.modes, modes.data(), modes.size() * sizeof(kcDisplayMode));
    caps.modeCount = static_cast<uint32_t>(modes.size());
}

HWND PagesFixture::Open(int templateId, DLGPROC procedure)
{
    Close();
    PROPSHEETPAGEW page = {};
    page.dwSize = sizeof(page);
    page.hInstance = GetModuleHandleW(nullptr);
    page.pszTemplate = MAKEINTRESOURCEW(templateId);
    page.pfnDlgProc = procedure;
    page.lParam = reinterpret_cast<LPARAM>(m_owner);
    PROPSHEETPAGEW pages[1] = {page};
    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_MODELESS | PSH_PROPSHEETPAGE;
    header.hInstance = GetModuleHandleW(nullptr);
    header.pszCaption = L"pages";
    header.nPages = 1;
    header.ppsp = pages;
    m_sheet = reinterpret_cast<HWND>(PropertySheetW(&header));
    m_page = m_sheet ? reinterpret_cast<HWND>(SendMessageW(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0)) : nullptr;
    Pump();
    m_owner->modified = 0;
    return m_page;
}

void PagesFixture::Close()
{
    if (m_sheet)
        DestroyWindow(m_sheet);
    m_sheet = m_page = nullptr;
    Pump();
}

void PagesFixture::Pump()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PagesFixture::Refresh()
{
    SendMessageW(m_page, WM_SETTINGS_REFRESH, 0, 0);
}

void PagesFixture::Leave()
{
    PSHNOTIFY notify = {};
    notify.hdr.hwndFrom = m_sheet;
    notify.hdr.code = PSN_KILLACTIVE;
    SendMessageW(m_page, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify));
}

void PagesFixture::Click(int id)
{
    SendMessageW(Item(id), BM_CLICK, 0, 0);
    Pump();
}

void PagesFixture::Command(int id)
{
    SendMessageW(m_page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(Item(id)));
}

std::wstring PagesFixture::Text(int id) const
{
    wchar_t text[256] = {};
    GetWindowTextW(Item(id), text, 256);
    return text;
}
