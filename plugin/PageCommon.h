#pragma once
// What every page of the settings sheet shares: its helper object, the refresh message,
// marking the sheet modified, apply, help, the restart notice and the reset button; plus the
// sheet-level steps (page descriptions, adding the settings pages, the sheet callback).
#include <windows.h>
#include <prsht.h>
#include <cstdint>

class gx7Conf;
class DialogToolTips;
struct ConfigBlock;

// Sent (or posted) to a page: set every control from the owner's working record.
#define WM_SETTINGS_REFRESH (WM_USER + 1)

// The per-page object in the page window's user data, from WM_INITDIALOG to WM_DESTROY.
class PageHelper {
public:
    PageHelper(HWND page, gx7Conf* owner);   // creates the page's tooltips (flags 0)
    virtual ~PageHelper();                    // destroys them

    // The helper of a page, or null (before WM_INITDIALOG, after WM_DESTROY).
    static PageHelper* Get(HWND page);
    // At WM_INITDIALOG: the existing helper, or a new one whose owner is the page
    // description's parameter (lParam is the PROPSHEETPAGEW), stored in the user data.
    static PageHelper* Attach(HWND page, LPARAM initParam);
    // At WM_DESTROY: deletes the helper (its tooltips first) and clears the user data.
    static void Detach(HWND page);

    gx7Conf* owner;
    DialogToolTips* tooltips;

private:
    PageHelper(const PageHelper&) = delete;
    PageHelper& operator=(const PageHelper&) = delete;
};

// The owner that a page description carries (WM_INITDIALOG's lParam).
gx7Conf* PageOwnerFromInit(LPARAM initParam);

// Sets the modified flag and enables the sheet's Apply button for this page.
void MarkModified(gx7Conf* owner, HWND page);
// On PSN_APPLY (every page calls it; only the first call of an apply finds the flag set).
void ApplySettings(gx7Conf* owner);
// On PSN_HELP: opens "MANUAL"/"path" with the shell.
void OpenHelp();
// What OpenHelp hands the manual to: ShellExecuteW, or another opener of its signature (so that
// a test can see the call). Null puts ShellExecuteW back; returns the opener it replaced.
typedef HINSTANCE(WINAPI* kcHelpOpener)(HWND, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters, LPCWSTR folder, INT show);
kcHelpOpener SetHelpOpener(kcHelpOpener opener);

// 1 when the adapter offers width x height at a format of this many bits (also when no
// capability object exists), else 0.
int GetModeBitDepth(uint32_t width, uint32_t height, uint32_t bits);
// Bits per pixel of a D3DFORMAT value; 0 for formats without a colour depth.
int FormatBitDepth(uint32_t d3dFormat);

// The record the sheet decides by: the configuration object's current record, or null.
const ConfigBlock* CurrentRecord();
// The configuration object's backup record (reset values), or null.
const ConfigBlock* BackupRecord();

// Restart notice (control 1112): hidden unless the game was running at Init.
void HideRestartNoticeUnlessRunning(HWND page, gx7Conf* owner);
// WM_CTLCOLORSTATIC: red on yellow for the restart notice; 0 (default colours) otherwise.
INT_PTR RestartNoticeColour(HWND page, WPARAM dc, LPARAM control);
// WM_NOTIFY: PSN_KILLACTIVE stores (store may be null), PSN_APPLY applies, PSN_HELP opens help.
// The page procedure returns 0 after it: leaving a page is always allowed, apply always succeeds.
void PageNotify(HWND page, gx7Conf* owner, LPARAM lParam, void (*store)(HWND page, gx7Conf* owner));
// After a reset: refresh the page (posted, or sent when send is true) and mark it modified.
void FinishReset(HWND page, gx7Conf* owner, bool send = false);

// What one settings page adds to the common behaviour. Any hook may be null.
struct SettingsPageHooks {
    void (*setUp)(HWND page, gx7Conf* owner);        // own set-up at WM_INITDIALOG
    void (*refresh)(HWND page, gx7Conf* owner);      // WM_SETTINGS_REFRESH
    void (*store)(HWND page, gx7Conf* owner);        // PSN_KILLACTIVE
    bool (*edits)(int controlId);                    // WM_COMMAND ids that mark the sheet modified
    void (*reset)(HWND page, gx7Conf* owner);        // reset values into the working record
    bool sendRefreshOnReset;                         // Display 2 sends; the others post
    // Any other message; returns true when it handled it (result in *result).
    bool (*other)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, gx7Conf* owner, INT_PTR* result);
};

// The whole common page procedure driven by a page's hooks.
INT_PTR SettingsPageProc(const SettingsPageHooks& hooks, HWND page, UINT message, WPARAM wParam, LPARAM lParam);

// Sheet level.
PROPSHEETPAGEW PageDescription(gx7Conf* owner, int index);
// Creates and adds pages 1 to 8 (by "CONFIG_B"/"view3d") and translates the tab captions.
void AddSettingsPages(gx7Conf* owner);
int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM parameter);
// Frees what the pages share (the restart notice's brush); called when the object is released.
void ReleasePageResources();
