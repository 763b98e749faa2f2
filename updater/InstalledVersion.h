#pragma once
// The version check: the installed game's version against the one the update requires.
#include <cstdint>

struct UpdateInfo;

// Installed version as major << 16 | minor from "<install>\config\startup.xml", 0 when unreadable.
uint32_t ReadInstalledVersion();
uint32_t ReadInstalledVersionFrom(const wchar_t* installPath);
uint32_t ParseInstalledVersion(const char* bytes);
uint32_t RequiredVersion(const UpdateInfo& info);
