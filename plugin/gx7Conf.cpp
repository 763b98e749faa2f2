#include "plugin/gx7Conf.h"
#include <commctrl.h>
#include <cstring>
#include <memory>
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcSystem.h"
#include "foundation/kcTextKey.h"
#include "foundation/kcThread.h"
#include "plugin/LanguageText.h"
#include "plugin/PageCommon.h"
#include "plugin/PageTable.h"
#include "plugin/gx7confResource.h"
#include "plugin/kcDXCaps.h"
#include "plugin/kcNoThrow.h"
#include "plugin/kcPluginModule.h"

namespace {
gx7Conf* g_active = nullptr;   // the object that started the library
gx7InitStepFn g_stepHook = nullptr;

// One step of Init on its own: whatever it throws (only the standard library's allocation and
// length errors can arise) ends that step alone, logged; the caller then keeps its defaults.
template <class F>
bool InitStep(gx7InitStep step, F&& work)
{
    const bool done = kcNoThrow(false, [&] {
        if (g_stepHook && !g_stepHook(step))
            return false;
        work();
        return true;
    });
    if (!done)
        kcNoThrowVoid([step] { kcLog("gx7Conf::Init : step %d failed, its defaults stay", static_cast<int>(step)); });
    return done;
}

INT_PTR CALLBACK SplashDialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        kcNoThrowVoid([&] {
            const auto* owner = reinterpret_cast<const gx7Conf*>(lParam);
            kcCenterWindow(owner ? owner->hostWindow : nullptr, dialog);
            TranslateDialog(dialog);
        });
    }
    return FALSE;
}
}

gx7Conf* gx7ActiveObject()
{
    return g_active;
}

void gx7SetInitStepHook(gx7InitStepFn fn)
{
    g_stepHook = fn;
}

gx7Conf::gx7Conf()
    : sheetWindow(nullptr), pageHandles(), modified(0), pageProcedures(), pageTemplates(), hostWindow(nullptr),
      applyCallback(nullptr), callbackContext(nullptr), splashWindow(nullptr), gameRunning(0),
      m_initialised(false), m_running(false), m_recordFilled(false)
{
    // The whole record starts zeroed, not only the window sizes: whatever Init cannot fill must
    // never reach the pages, or "setup.xml" on an apply, as leftover heap bytes.
    std::memset(&workingRecord, 0, sizeof(workingRecord));
    const gx7PageEntry* pages = gx7PageTable();
    for (int i = 0; i < GX7_PAGE_COUNT; ++i) {
        pageProcedures[i] = pages[i].procedure;
        pageTemplates[i] = pages[i].templateId;
    }
    screenWidth = static_cast<uint32_t>(GetSystemMetrics(SM_CXSCREEN));
    screenHeight = static_cast<uint32_t>(GetSystemMetrics(SM_CYSCREEN));
}

void gx7Conf::Init(HWND host)
{
    // A second Init, or a second object while one holds the library, starts nothing.
    if (m_initialised || g_active)
        return;
    hostWindow = host;
    InitStep(GX7_INIT_LIBRARY, [] { kcSystemInit(0x7f, 0); });
    g_active = this;
    m_initialised = true;

    // A constructor that fails has freed its object: it must not stay published.
    kcDisplayModeList* published = kcDisplayModeList::Instance;
    if (!InitStep(GX7_INIT_CAPS, [] { new kcDXCaps(2); }))   // publishes itself; probes without a DDE peer
        kcDisplayModeList::Instance = published;
    InitStep(GX7_INIT_CONFIG, [] { kcCreateConfig(L"config\\startup.xml", nullptr, 0); });
    kcConfig* config = kcConfig::Instance();

    // A failed read of "setup.xml" leaves the record as the game definition made it.
    std::unique_ptr<ConfigBlock> before;
    if (config && !InitStep(GX7_INIT_SETTINGS, [&] {
            before.reset(new ConfigBlock(*kcConfigCurrentBlock));
            config->LoadUserSettings(0);
        }) && before)
        std::memcpy(kcConfigCurrentBlock, before.get(), sizeof(ConfigBlock));
    before.reset();

    if (!InitStep(GX7_INIT_LANGUAGE, [&] {
            wchar_t code[MAX_PATH] = {}, mainCode[MAX_PATH] = {}, subCode[MAX_PATH] = {};
            if (config)
                config->GetLanguageCodes(code, mainCode, subCode, MAX_PATH);
            // A name cut to its buffer would load another language's file.
            if (wcslen(code) + wcslen(L"language_.txt") >= MAX_PATH) {
                kcLog("gx7Conf : the language code is too long for a file name; no language file is read");
                return;
            }
            wchar_t languageFile[MAX_PATH];
            kcFormatW(languageFile, MAX_PATH, L"language_%s.txt", code);
            LoadLanguageText(languageFile);
        }))
        kcTextTable.erase(0);   // the built-in texts

    InitStep(GX7_INIT_SPLASH, [&] {
        splashWindow = CreateDialogParamW(kcPluginModule(), MAKEINTRESOURCEW(IDD_SPLASH), GetDesktopWindow(),
                                          SplashDialogProc, reinterpret_cast<LPARAM>(this));
    });
    // Without a configuration object the record keeps its zeroed defaults.
    m_recordFilled = false;
    InitStep(GX7_INIT_RECORD, [&] {
        if (kcConfigCurrentBlock)
            std::memcpy(&workingRecord, kcConfigCurrentBlock, sizeof(ConfigBlock));
        m_recordFilled = kcConfigCurrentBlock != nullptr;
    });

    // Not knowing counts as running, as a mutex that cannot be created does.
    gameRunning = 1;
    InitStep(GX7_INIT_MUTEX, [&] {
        // The record's narrow texts are the XML text's UTF-8; the model converts them.
        wchar_t mutexName[4096] = {};
        kcConfigGetText(&workingRecord, "APP", "mutex", mutexName, 4096);
        int existed = 1;
        { kcNamedMutex probe(mutexName, &existed); }
        gameRunning = existed ? 1 : 0;
    });
}

int gx7Conf::Run(gx7ApplyCallback callback, void* context)
{
    return kcNoThrow<int>(-1, [&]() -> int {
        if (!m_initialised || m_running)
            return -1;   // nothing to show without the library, the model and the record
        const ConfigBlock* current = CurrentRecord();
        wchar_t title[260];
        lstrcpynW(title, TranslateText(current ? current->title : workingRecord.title), 260);
        wchar_t caption[1024];
        FormatText(caption, 1024, L"$0500-0001$%s システム環境設定", title);
        applyCallback = callback;
        callbackContext = context;

        PROPSHEETPAGEW first = PageDescription(this, 0);
        pageHandles[0] = CreatePropertySheetPageW(&first);
        if (!pageHandles[0])
            return -1;
        PROPSHEETHEADERW header = {};
        header.dwSize = sizeof(header);
        header.dwFlags = PSH_USEHICON | PSH_USECALLBACK | PSH_HASHELP;
        header.hwndParent = hostWindow;
        header.hInstance = kcPluginModule();
        header.hIcon = LoadIconW(kcPluginModule(), MAKEINTRESOURCEW(IDI_SHEET));
        header.pszCaption = caption;
        header.nPages = 1;
        header.nStartPage = 0;
        header.phpage = pageHandles;
        header.pfnCallback = SheetCallback;

        if (splashWindow)
            DestroyWindow(splashWindow);
        splashWindow = nullptr;

        m_running = true;
        const INT_PTR result = PropertySheetW(&header);
        m_running = false;
        // The sheet destroyed its pages and its window.
        sheetWindow = nullptr;
        for (HPROPSHEETPAGE& page : pageHandles)
            page = nullptr;
        return static_cast<int>(result);
    });
}

void gx7Conf::SetScreenSize(uint32_t width, uint32_t height)
{
    screenWidth = width;
    screenHeight = height;
}

bool gx7Conf::CopyBackWorkingRecord()
{
    ConfigBlock* current = kcConfigCurrentBlock;
    if (!current)
        return false;
    if (!m_recordFilled) {
        // A zero record would empty the save folder and send "setup.xml" to the drive's root.
        kcLog("gx7Conf : the working record never held the settings; nothing is applied");
        return false;
    }
    // The tables belong to the configuration object; the working record only names them.
    kcScriptReplaceMap* scriptReplace = current->scriptReplace;
    kcLanguageTable* languages = current->languages;
    std::memcpy(current, &workingRecord, sizeof(ConfigBlock));
    current->scriptReplace = scriptReplace;
    current->languages = languages;
    return true;
}

void gx7Conf::Release()
{
    // The notice outlives Init when Run never came; no window may outlive the library.
    if (splashWindow)
        DestroyWindow(splashWindow);
    splashWindow = nullptr;
    if (!m_initialised)
        return;
    kcReleaseConfig();
    delete kcDXCaps::Instance();
    kcDisplayModeList::Instance = nullptr;
    ReleasePageResources();
    kcSystemTerm();
    m_initialised = false;
    if (g_active == this)
        g_active = nullptr;
}
