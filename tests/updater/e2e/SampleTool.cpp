// The demo's helper: "make <package> <installation>" writes a sample update package and an
// installation that it fits; "run <package>" runs the update program on it, answers every box
// with OK and saves a screenshot of the window and of each box; "key" prints the uninstall key.
#include <cstdio>

#include "updater/e2e/Sample.h"

namespace {

void Print(const std::wstring& text)
{
    const std::string utf8 = Utf8(text); // the console would lose the title's characters
    fwrite(utf8.data(), 1, utf8.size(), stdout);
    fflush(stdout);
}

int Make(const std::wstring& packageFolder, const std::wstring& install)
{
    SamplePackage package;
    package.english = true;
    package.background = SampleBackgroundHg3(320, 200);
    package.files = SampleFiles();
    // A real package raises the installed version itself: the updater never writes it.
    const bool ok = WritePackage(packageFolder, package) && WriteInstallation(packageFolder + L"\\data", 1, 3) &&
                    WriteInstallation(install, 1, 2) &&
                    WriteFileBytes(install + L"\\readme.txt", "Sample game 1.2: old readme.\r\n") &&
                    WriteInstallPathFile(package.brand, package.app, Utf8(install));
    Print(L"package: " + packageFolder + L"\ninstallation: " + install + L"\ninstallation-folder file: " +
          InstallPathFile(package.brand, package.app) + L"\n");
    return ok ? 0 : 1;
}

int Run(const std::wstring& packageFolder)
{
    auto shoot = [](const RECT& r, const std::wstring& name) {
        Picture picture;
        return CaptureScreen(r, &picture) && SaveBmp(ScreenshotFolder() + L"\\" + name, picture);
    };
    int count = 0;
    const RunResult run = RunUpdater(packageFolder, [&](const BoxRecord& box, HWND window, DWORD pid) {
        RECT boxRect = {}, windowRect = {}, both;
        GetWindowRect(window, &boxRect);
        // The confirmation can be wider than the window it stands on: take the two together.
        if (++count == 1 && GetWindowRect(FindUpdateWindow(pid), &windowRect) && UnionRect(&both, &windowRect, &boxRect))
            shoot(both, L"demo_window.bmp");
        shoot(boxRect, L"demo_box" + std::to_wstring(count) + L".bmp");
        Print(L"box " + std::to_wstring(count) + L" [" + box.caption + L"]: " + box.text + L"\n");
        return IDOK;
    });
    Print(L"updater.exe " + (run.exited ? L"exited with " + std::to_wstring(run.exitCode) : std::wstring(L"was stopped")) +
          L"; screenshots in " + ScreenshotFolder() + L"\n");
    return run.exited && run.exitCode == 0 ? 0 : 1;
}

int ShowUninstallKey()
{
    for (const wchar_t* name : {L"DisplayName", L"UninstallString"}) {
        std::wstring value;
        DWORD type = 0, size = 0;
        if (!QueryUninstallValue(name, &value, &type, &size)) {
            Print(L"(no uninstall key)\n");
            return 1;
        }
        Print(std::wstring(L"    ") + name + (type == REG_SZ ? L"  REG_SZ  " : L"  ?  ") + value + L"  (" +
              std::to_wstring(size) + L" bytes)\n");
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"make") == 0)
        return Make(argv[2], argv[3]);
    if (argc == 3 && wcscmp(argv[1], L"run") == 0)
        return Run(argv[2]);
    if (argc == 2 && wcscmp(argv[1], L"key") == 0)
        return ShowUninstallKey();
    Print(L"usage: updater_sample make <package> <installation> | run <package> | key\n");
    return 2;
}
