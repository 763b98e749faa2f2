#pragma once
// The system-information report: the head (INFO/comment), the program, PC, Windows, processor,
// memory and DirectX sections (01-07), kcDXCaps's sections (08-12) and the settings in force,
// written as UTF-8 without byte-order mark. Every builder measures with a null destination.
#include "foundation/kcCaps.h"
#include <cstdint>

struct ConfigBlock;

// What the report reads of the kcCaps object; moduleDigest is what it writes back.
struct kcReportSource {
    OsInfo os;
    CpuInfo cpu;
    wchar_t dxText[128];
    wchar_t oemManufacturer[256];
    wchar_t oemModel[256];
    uint32_t totalPhysMb, availPhysMb, totalPageFileMb, availPageFileMb;
    uint32_t moduleDigest[4];
};
void kcReadReportSource(const kcCaps& caps, kcReportSource* out);

// Sections 01 to 07; the executable (else this process's) is digested into source.moduleDigest
// when it can be read whole.
int BuildSystemReport(wchar_t* dst, kcReportSource& source, const ConfigBlock* block, const wchar_t* exePath);
// The settings dump ("not found" without a record).
int BuildConfigReport(wchar_t* dst, const ConfigBlock* block);

// 1 written; 0 without kcDXCaps (no file) or when the file cannot be written (logged).
int WriteSystemInfoReport(kcReportSource& source, const ConfigBlock* block, const wchar_t* reportPath,
                          const wchar_t* exePath);
// The same from kcCaps::Instance() and the configuration's current record; the digest goes
// back into the kcCaps object.
int WriteSystemInfoReport(const wchar_t* reportPath, const wchar_t* exePath);
