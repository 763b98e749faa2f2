// From MakeInstance to the sheet's first paint through the real gx7conf.dll and our host, and
// the same start-up steps one by one in-process to say where the time goes: the library
// start-up (the capability probe with its clock measurement), the DirectX capability object,
// the configuration object with "setup.xml", the language file, and the sheet with its pages.
// Then crafted language files against plain ones of the same size (an optional argument gives
// their size in KiB; 4096, the bound, by default).
#include <windows.h>
#include <prsht.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include "config/kcConfig.h"
#include "foundation/kcSystem.h"
#include "plugin/host/SheetDriver.h"
#include "plugin/host/gx7Host.h"
#include "plugin/LanguageText.h"
#include "plugin/kcDXCaps.h"

namespace {
LARGE_INTEGER g_frequency;
double g_firstPaint = 0;

double Now()
{
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) * 1000.0 / double(g_frequency.QuadPart);
}

void WriteFileText(const std::wstring& path, const char* text)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD done = 0;
    WriteFile(file, text, lstrlenA(text), &done, nullptr);
    CloseHandle(file);
}

// A game folder with a definition, a "setup.xml" and a language file.
std::wstring MakeGame()
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring game = std::wstring(temp) + L"kc_bench_game";
    CreateDirectoryW(game.c_str(), nullptr);
    CreateDirectoryW((game + L"\\config").c_str(), nullptr);
    CreateDirectoryW((game + L"\\save").c_str(), nullptr);
    std::string save;
    for (wchar_t c : game + L"\\save")
        save += static_cast<char>(c);   // the temporary folder's path is ASCII under Wine
    const std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<document><APP><title>bench</title>"
                            "<mutex>kc_bench_mutex</mutex></APP><FOLDER><save>" + save +
                            "</save></FOLDER><CONFIG_B><view3d>1</view3d></CONFIG_B></document>\r\n";
    WriteFileText(game + L"\\config\\startup.xml", xml.c_str());
    WriteFileText(game + L"\\save\\setup.xml",
                  "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<document><WINDOW><fps>60</fps></WINDOW></document>\r\n");
    WriteFileText(game + L"\\language_.txt", "$0500-0001$\r\n%s settings\r\n");
    return game;
}

// The better of two loads of the file, in milliseconds.
double LoadMs(const std::wstring& path, const std::string& bytes)
{
    WriteFileText(path, bytes.c_str());
    double best = 1e9;
    for (int i = 0; i < 2; ++i) {
        const double t = Now();
        LoadLanguageText(path.c_str());
        best = std::min(best, Now() - t);
    }
    DeleteFileW(path.c_str());
    return best;
}

std::string Repeat(const char* unit, size_t bytes)
{
    std::string s;
    s.reserve(bytes);
    while (s.size() < bytes) s += unit;
    s.resize(bytes);
    return s;
}

LRESULT CALLBACK OnMessage(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && message->message == WM_PAINT && g_firstPaint == 0) {
        HWND root = GetAncestor(message->hwnd, GA_ROOT);
        if (SendMessageW(root, PSM_GETTABCONTROL, 0, 0)) {
            g_firstPaint = Now();
            PostMessageW(root, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

double ThroughTheLibrary(gx7Plugin& plugin, double* initMs)
{
    g_firstPaint = 0;
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, OnMessage, nullptr, GetCurrentThreadId());
    const double start = Now();
    void* object = plugin.MakeInstance();
    gx7Init(object, nullptr);
    *initMs = Now() - start;
    // Should the paint never be seen, the sheet is closed anyway and the round counts as none.
    std::thread watchdog([] {
        if (HWND sheet = WaitForSheet(30000))
            if (!WaitGone(sheet, 30000))
                PressSheetButton(sheet, PSBTN_CANCEL);
    });
    gx7Run(object, nullptr, nullptr);
    watchdog.join();
    plugin.ReleaseInstance(object);
    UnhookWindowsHookEx(hook);
    return g_firstPaint - start;
}
}

int wmain(int argc, wchar_t** argv)
{
    QueryPerformanceFrequency(&g_frequency);
    const std::wstring game = MakeGame();
    SetCurrentDirectoryW(game.c_str());

    // The start-up steps one by one, in the order Init takes them.
    double t = Now();
    kcSystemInit(0x7f, 0);
    const double system = Now() - t;
    t = Now();
    new kcDXCaps(2);
    const double dxcaps = Now() - t;
    t = Now();
    kcCreateConfig(L"config\\startup.xml", nullptr, 0);
    kcConfig::Instance()->LoadUserSettings(0);
    const double config = Now() - t;
    t = Now();
    LoadLanguageText(L"language_.txt");
    const double language = Now() - t;
    // Blank lines between text lines, and one line of comments, each over a plain twin.
    const size_t size = (argc > 1 ? static_cast<size_t>(_wtoi(argv[1])) : 4096) << 10;
    const double blank = LoadMs(game + L"\\language_blank.txt", Repeat("k\n \n", size));
    const double plainLines = LoadMs(game + L"\\language_lines.txt", Repeat("k\nm\n", size));
    const double comment = LoadMs(game + L"\\language_comment.txt", Repeat("/**/", size));
    const double plainLine = LoadMs(game + L"\\language_line.txt", Repeat("abcd", size));
    kcTextTable.erase(0);
    kcReleaseConfig();
    delete kcDXCaps::Instance();
    kcSystemTerm();

    gx7Plugin plugin;
    if (!plugin.LoadBesideExecutable()) {
        std::printf("gx7conf.dll not loaded\n");
        return 1;
    }
    double initMs = 0, best = 1e9, bestInit = 0;
    for (int round = 0; round < 3; ++round) {
        const double total = ThroughTheLibrary(plugin, &initMs);
        std::printf("round %d: %.1f ms to the first paint\n", round, total);
        if (total > 0 && total < best) {
            best = total;
            bestInit = initMs;
        }
    }
    plugin.Unload();
    std::printf("library_start_ms=%.1f (capability probe with the clock measurement)\n", system);
    std::printf("dxcaps_ms=%.1f\n", dxcaps);
    std::printf("config_ms=%.1f (startup.xml and setup.xml)\n", config);
    std::printf("language_ms=%.1f\n", language);
    std::printf("language_blank_ms=%.1f language_plain_lines_ms=%.1f (%u KiB each)\n", blank, plainLines,
                static_cast<unsigned>(size >> 10));
    std::printf("language_blank_ratio=%.2f\n", blank / plainLines);
    std::printf("language_comment_ms=%.1f language_plain_line_ms=%.1f\n", comment, plainLine);
    std::printf("language_comment_ratio=%.2f\n", comment / plainLine);
    std::printf("init_ms=%.1f (through the library)\n", bestInit);
    std::printf("sheet_ms=%.1f (notice to the sheet's first paint, all pages added)\n", best - bestInit);
    std::printf("plugin_start_ms=%.1f\n", best);
    return 0;
}
