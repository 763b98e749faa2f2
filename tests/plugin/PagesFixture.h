#pragma once
// One settings page inside a real modeless property sheet, with a settings object whose
// working record the test chooses, chosen current and backup records, and optionally a
// capability object with chosen adapter data.
#include <windows.h>
#include <memory>
#include <vector>
#include "config/ConfigBlock.h"
#include "config/kcDisplayModes.h"

class gx7Conf;
class kcDXCaps;

struct PageSetting {
    const char* section;
    const char* key;
    int value;
};

class PagesFixture {
public:
    PagesFixture();
    ~PagesFixture();

    // Working, current and backup records start zeroed with the game definition's five sizes.
    ConfigBlock& Working();
    ConfigBlock& Current() { return *m_current; }
    ConfigBlock& Backup() { return *m_backup; }
    gx7Conf& Owner() { return *m_owner; }
    void Set(ConfigBlock& record, const std::vector<PageSetting>& settings);
    int Get(const char* section, const char* key);

    // A probed capability object whose data the test then replaces (modes from the private heap).
    kcDXCaps& Caps();
    void SetModes(const kcDisplayMode& current, const std::vector<kcDisplayMode>& modes);

    // Opens the page (its WM_INITDIALOG refreshes it) as the only page of a modeless sheet.
    HWND Open(int templateId, DLGPROC procedure);
    void Close();
    HWND Page() const { return m_page; }
    HWND Item(int id) const { return GetDlgItem(m_page, id); }

    void Pump();                      // runs posted messages (the reset's refresh)
    void Refresh();                   // sends the refresh message
    void Leave();                     // PSN_KILLACTIVE, as the sheet sends it when the page is left
    void Click(int id);               // a real click (automatic buttons toggle themselves)
    void Command(int id);             // a command from the control, whatever its state
    void Reset() { Command(1102); Pump(); }
    bool Checked(int id) const { return IsDlgButtonChecked(m_page, id) == BST_CHECKED; }
    bool Enabled(int id) const { return IsWindowEnabled(Item(id)) != FALSE; }
    bool Visible(int id) const { return (GetWindowLongW(Item(id), GWL_STYLE) & WS_VISIBLE) != 0; }
    std::wstring Text(int id) const;

private:
    std::unique_ptr<ConfigBlock> m_current, m_backup;
    ConfigBlock* m_savedCurrent;
    ConfigBlock* m_savedBackup;
    gx7Conf* m_owner;
    kcDXCaps* m_caps = nullptr;
    HWND m_sheet = nullptr;
    HWND m_page = nullptr;
};
