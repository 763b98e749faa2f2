#pragma once
// Well-known folders, path kinds, folder creation, version resources and window centring.
#include <windows.h>
#include <cstddef>

enum kcFolderKind {
    KCFOLDER_DESKTOP = 0,
    KCFOLDER_COMMON_DESKTOP = 1,
    KCFOLDER_START_MENU = 2,
    KCFOLDER_PROGRAMS = 3,
    KCFOLDER_COMMON_PROGRAMS = 4,
    KCFOLDER_DOCUMENTS = 5,
    KCFOLDER_TEMP = 6,
    KCFOLDER_WINDOWS = 7,
    KCFOLDER_COMMON_APPDATA = 8,
    KCFOLDER_APPDATA = 9,
    KCFOLDER_PROGRAM_FILES = 10,
    KCFOLDER_PICTURES = 11,
};

// path holds MAX_PATH (260) units. 1 when filled; 0 with an empty path otherwise.
int kcGetSpecialFolder(unsigned kind, wchar_t* path);
// 0 nothing (or null), 1 a file, 2 a folder.
int kcPathExists(const wchar_t* path);
// Creates the folder (or, with isFilePath, the folder above the file) and every missing
// parent. 1 when the folder exists at the end.
int kcCreateFolders(const wchar_t* path, int isFilePath);

struct kcVersionInfo {
    wchar_t comments[256];
    wchar_t companyName[256];
    wchar_t fileDescription[256];
    wchar_t fileVersion[256];
    wchar_t internalName[256];
    wchar_t legalCopyright[256];
    wchar_t legalTrademarks[256];
    wchar_t originalFilename[256];
    wchar_t productName[256];
    wchar_t productVersion[256];
    wchar_t privateBuild[256];
    wchar_t specialBuild[256];
    unsigned long long version; // first << 48 | second << 32 | third << 16 | fourth
};
static_assert(offsetof(kcVersionInfo, fileVersion) == 3 * 512, "kcVersionInfo layout");
static_assert(offsetof(kcVersionInfo, version) == 12 * 512, "kcVersionInfo layout");
static_assert(sizeof(kcVersionInfo) == 12 * 512 + 8, "kcVersionInfo size");

// 0 when the file has no readable version resource (info zeroed), else 1.
int kcGetVersionInfo(const wchar_t* fileName, kcVersionInfo* info);
// The four numbers of a "FileVersion" text packed as in kcVersionInfo::version.
unsigned long long kcParseFileVersion(const wchar_t* text);

// rect: in .right/.bottom the client size; out the centred window rectangle.
void kcCenterWindowRect(RECT* rect, DWORD style, DWORD exStyle, BOOL menu);
int kcCenterWindow(HWND owner, HWND window);
