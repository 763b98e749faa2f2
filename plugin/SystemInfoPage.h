#pragma once
// The system-information page: fourteen rows of what the game and the computer are, and the
// button that saves the full report.
#include <windows.h>
#include <cstdint>
#include "config/kcDisplayModes.h"
#include "foundation/kcCaps.h"

struct ConfigBlock;

enum { SYSINFO_ROWS = 14 };

// Everything the rows are made from, gathered once so that missing services read as zeros.
struct SystemInfoSource {
    wchar_t title[260];
    unsigned versionMajor, versionMinor;
    wchar_t exeVersion[512];      // FileVersion of "gx7.exe"; empty without a version resource
    wchar_t oemMaker[256];
    wchar_t oemModel[256];
    OsInfo os;
    CpuInfo cpu;
    uint32_t availPhysMb, totalPhysMb;
    char adapter[512];            // adapter identifier's Description (Shift_JIS)
    uint64_t driverVersion;
    kcDisplayMode currentMode;
    int desktopBits;
    wchar_t dxText[128];
};

// Reads the record, kcCaps, kcDXCaps, the executable's version and the desktop; a missing
// object leaves its fields zero.
void GatherSystemInfo(SystemInfoSource* source, const ConfigBlock* record);
// Row label (through TranslateText) and value.
const wchar_t* SystemInfoLabel(int row);
void SystemInfoValue(const SystemInfoSource& source, int row, wchar_t* out, int outUnits);
// The current folder's "gx7.exe" (the game executable the report names).
void GameExecutablePath(wchar_t* out, int outUnits);

void FillSystemInfoList(HWND page);
