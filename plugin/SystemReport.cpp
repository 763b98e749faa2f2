#include "plugin/SystemReport.h"
#include "config/ConfigBlock.h"
#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcFile.h"
#include "foundation/kcFolder.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcMd5.h"
#include "foundation/kcString.h"
#include "plugin/ReportText.h"
#include "plugin/kcDXCaps.h"
#include <windows.h>
#include <cstring>
#include <memory>
#include <vector>

namespace {
const int kHeadUnits = 4096;
const int kHeadBytes = 4096;

// This process's executable, whatever the length of its path.
std::wstring OwnExecutable()
{
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), (DWORD)path.size());
        if (n == 0) return std::wstring();
        if (n < path.size()) return std::wstring(path.data(), n);
        path.resize(path.size() * 2);
    }
}

// The MD5 digest of the whole file; false (digest untouched) when it cannot be read whole.
bool DigestFile(const wchar_t* path, uint32_t* digest)
{
    kcFile file;
    if (!file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING)) return false;
    int size = file.GetSize();
    if (size < 0) return false;
    std::vector<unsigned char> bytes((size_t)size + 1);
    int done = 0;
    while (done < size) {
        int n = file.Read(bytes.data() + done, size - done);
        if (n <= 0) return false;
        done += n;
    }
    kcMd5 md5;
    md5.Update(bytes.data(), (unsigned)size);
    unsigned char out[16];
    if (!md5.Final(out, sizeof(out))) return false;
    memcpy(digest, out, sizeof(out)); // four little-endian words
    return true;
}

int SettingInt(const ConfigBlock* block, const char* path, int row = 0)
{
    const kcSetting* s = kcFindSettingPath(path);
    return s ? kcSettingGetInt(block, s, row) : 0;
}

// The settings dump, kept as data: a line's format and the setting it shows (by "setup.xml"
// or game-definition key), or a field that has no key.
struct DumpRow {
    const wchar_t* format;
    const char* path;                       // null: field, or a heading without value
    int (*field)(const ConfigBlock& block); // for fields without a key
};
const DumpRow kVoiceRows = {nullptr, nullptr, nullptr};
const DumpRow kDump[] = {
    {L"texture bpp : %d\r\n", "TEXTURE/bpp", nullptr},
    {L"texture filter min : %d\r\n", "TEXTURE/min", nullptr},
    {L"texture filter mag : %d\r\n", "TEXTURE/mag", nullptr},
    {L"use dither : %d\r\n", "TEXTURE/dither", nullptr},
    {L"use 3d sound : %d\r\n", "SOUND/ds3d", nullptr},
    {L"use sticky : %d\r\n", "SOUND/sticky", nullptr},
    {L"use camouflage : %d\r\n", "WINDOW/camouflage", nullptr},
    {L"use gdi cap : %d\r\n", "DEPEND/gdi_cap", nullptr},
    {L"32bit Zbuffer : %d\r\n", "DEPEND/z32", nullptr},
    {L"use Zbuffer : %d\r\n", "DEPEND/use_z", nullptr},
    {L"out info : %d\r\n", "WINDOW/out_info", nullptr},
    {L"use file cache : %d\r\n", "ETC/cache", nullptr},
    {L"enable drag wnd : %d\r\n", "ETC/dragwnd", nullptr},
    {L"startup screen : %d\r\n", "WINDOW/mode", nullptr},
    {L"full screen : %d\r\n", "WINDOW/fullscreen", nullptr},
    {L"screen bpp : %d\r\n", "WINDOW/bpp", nullptr},
    {L"game bpp : %d\r\n", "TEXTURE/bpp", nullptr},
    {L"font : %s\r\n", "FONT/face", nullptr},
    {L"font shadow : %d\r\n", "FONT/shadow/around", nullptr},
    {L"font bold : %d\r\n", "FONT/bold", nullptr},
    {L"use proportional : %d\r\n", "FONT/proportional", nullptr},
    {L"width : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.currentWidth; }},
    {L"height : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.currentHeight; }},
    {L"img cache : %d\r\n", "ETC/imgcache", nullptr},
    {L"enable dual core : %d\r\n", "ETC/dualcore", nullptr},
    {L"disable movie : %d\r\n", "ETC/disablemovie", nullptr},
    {L"max back buffer : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.maxBackBuffers; }},
    {L"disable pixelshader : %d\r\n", "ETC/disablepixelshader", nullptr},
    {L"wait D3D query : %d\r\n", "ETC/waitd3dcommand", nullptr},
    {L"\r\n-- 3D --\r\n", nullptr, nullptr},
    {L"use hardware TnL : %d\r\n", "D3D/hardTnL", nullptr},
    {L"use back buffer : %d\r\n", "D3D/backbuffer", nullptr},
    {L"use light : %d\r\n", "D3D/light", nullptr},
    {L"use wait vsync : %d\r\n", "D3D/vsync", nullptr},
    {L"use antialias : %d\r\n", "D3D/antialias", nullptr},
    {L"backbuffer max size : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.maxBackBufferSize; }},
    {L"\r\n-- voice --\r\n", nullptr, nullptr},
    {L"vol bgm : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.effectiveVolumes[0]; }},
    {L"vol se : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.effectiveVolumes[1]; }},
    {L"vol voice : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.effectiveVolumes[2]; }},
    {L"vol play : %d\r\n", nullptr, [](const ConfigBlock& b) { return (int)b.effectiveVolumes[3]; }},
    kVoiceRows,
    {L"cont : %d\r\n", "VOICE/cont_voice", nullptr},
    {L"\r\n-- message --\r\n", nullptr, nullptr},
    {L"speed : %d\r\n", "MESSAGE/speed", nullptr},
    {L"auto p : %d\r\n", "MESSAGE/auto_p", nullptr},
    {L"auto base : %d\r\n", "MESSAGE/base", nullptr},
    {L"auto CHAR : %d\r\n", "MESSAGE/CHAR", nullptr},
    {L"continue auto : %d\r\n", "MESSAGE/cont", nullptr},
    {L"wait pcm : %d\r\n", "MESSAGE/waitpcm", nullptr},
    {L"\r\n-- effect --\r\n", nullptr, nullptr},
    {L"speed : %d\r\n", "EFFECT/speed", nullptr},
    {L"auto cursor : %d\r\n", "EFFECT/auto_c", nullptr},
    {L"auto cursor hide : %d\r\n", "EFFECT/auto_cd", nullptr},
    {L"auto cursor hide spd : %d\r\n", "EFFECT/auto_cds", nullptr},
    {L"dramatic : %d\r\n", "EFFECT/dramatic", nullptr},
    {L"\r\n-- window --\r\n", nullptr, nullptr},
    {L"argb : 0x%08x\r\n", "GAME/wndcolor", nullptr},
    {L"drag : %d\r\n", "GAME/enabledrag", nullptr}, // the user's setting, beside wndcolor and drawwnd
    {L"disp : %d\r\n", "GAME/drawwnd", nullptr},
};
const int kVoiceRowCount = 48;
} // namespace

void kcReadReportSource(const kcCaps& caps, kcReportSource* out)
{
    memset(out, 0, sizeof(*out));
    caps.GetOsInfo(&out->os);
    caps.GetCpuInfo(&out->cpu);
    caps.GetDirectXInfo(out->dxText);
    caps.GetOemManufacturer(out->oemManufacturer);
    caps.GetOemModel(out->oemModel);
    out->totalPhysMb = caps.totalPhysMb;
    out->availPhysMb = caps.availPhysMb;
    out->totalPageFileMb = caps.totalPageFileMb;
    out->availPageFileMb = caps.availPageFileMb;
    memcpy(out->moduleDigest, caps.moduleDigest, sizeof(out->moduleDigest));
}

int BuildSystemReport(wchar_t* dst, kcReportSource& src, const ConfigBlock* block, const wchar_t* exePath)
{
    int n = AppendReportLine(dst, L"{%02d}-- title --\r\n", 1);
    if (block) n += AppendReportLine(dst, L"(%02d)%s\r\n\r\n", 1, block->title);
    n += AppendReportLine(dst, L"{%02d}-- system --\r\n", 2);

    std::wstring exe = exePath ? std::wstring(exePath) : OwnExecutable();
    std::unique_ptr<kcVersionInfo> version(new kcVersionInfo());
    kcGetVersionInfo(exe.c_str(), version.get());
    DigestFile(exe.c_str(), src.moduleDigest);
    n += AppendReportLine(dst, L"(%02d)%s version %s\r\n", 1, version->originalFilename, version->fileVersion);
    if (block)
        n += AppendReportLine(dst, L"(%02d)%s version %d.%d\r\n", 2, block->title, (int)block->versionMajor,
                              (int)block->versionMinor);
    const uint32_t* d = src.moduleDigest;
    n += AppendReportLine(dst, L"(%02d)id : %08x-%08x-%08x-%08x\r\n\r\n", block ? 3 : 2, d[0], d[1], d[2], d[3]);

    n += AppendReportLine(dst, L"{%02d}-- pc model info --\r\n", 3);
    n += AppendReportLine(dst, L"(%02d)Manufacturer : %s\r\n", 1, src.oemManufacturer);
    n += AppendReportLine(dst, L"(%02d)Model : %s\r\n", 2, src.oemModel);

    const OsInfo& os = src.os;
    n += AppendReportLine(dst, L"\r\n{%02d}-- windows info --\r\n", 4);
    n += AppendReportLine(dst, L"(%02d)%s\r\n", 1, os.name);
    n += AppendReportLine(dst, L"(%02d)%s\r\n", 2, os.edition);
    n += AppendReportLine(dst, L"(%02d)%s\r\n", 3, os.servicePack);
    n += AppendReportLine(dst, L"(%02d)Version : %d.%d.%d\r\n", 4, os.major, os.minor, os.build);

    const CpuInfo& cpu = src.cpu;
    char vendor[sizeof(cpu.vendor) + 1] = {};
    memcpy(vendor, cpu.vendor, sizeof(cpu.vendor));
    wchar_t vendorText[32];
    kcSjisToWideN(vendorText, 32, vendor);
    wchar_t cpuName[256];
    wcsncpy(cpuName, cpu.name, 255);
    cpuName[255] = 0;
    n += AppendReportLine(dst, L"\r\n{%02d}-- cpu info --\r\n", 5);
    n += AppendReportLine(dst, L"(%02d)%s\r\n", 1, cpuName);
    n += AppendReportLine(dst, L"(%02d)%s\r\n", 2, vendorText);
    n += AppendReportLine(dst, L"(%02d)type : %d\r\n", 3, cpu.type);
    n += AppendReportLine(dst, L"(%02d)family.model.stepping : %d.%d.%d\r\n", 4, cpu.family, cpu.model, cpu.stepping);
    n += AppendReportLine(dst, L"(%02d)number : %d\r\n", 5, cpu.processorCount);
    n += AppendReportLine(dst, L"(%02d)clock : %dMHz (%dMHz)\r\n", 6, cpu.registryMhz, cpu.measuredMhz);
    n += AppendReportLine(dst, L"(%02d)cpuid : %d\r\n", 7, cpu.hasCpuid);
    n += AppendReportLine(dst, L"(%02d)mmx : %d\r\n", 8, cpu.mmx);
    n += AppendReportLine(dst, L"(%02d)cmov : %d\r\n", 9, cpu.cmov);
    n += AppendReportLine(dst, L"(%02d)SSE : %d\r\n", 10, cpu.sse);
    n += AppendReportLine(dst, L"(%02d)3DNow! : %d\r\n", 11, cpu.amd3dNow);

    n += AppendReportLine(dst, L"\r\n{%02d}-- memory info --\r\n", 6);
    n += AppendReportLine(dst, L"$0000-0073$(%02d)全物理メモリ : %d MB\r\n", 1, src.totalPhysMb);
    n += AppendReportLine(dst, L"$0000-0072$(%02d)空き物理メモリ : %d MB\r\n", 2, src.availPhysMb);
    n += AppendReportLine(dst, L"$0000-0071$(%02d)全仮想メモリ : %d MB\r\n", 3, src.totalPageFileMb);
    n += AppendReportLine(dst, L"$0000-0070$(%02d)空き仮想メモリ : %d MB\r\n", 4, src.availPageFileMb);

    wchar_t dxText[128];
    wcsncpy(dxText, src.dxText, 127);
    dxText[127] = 0;
    n += AppendReportLine(dst, L"\r\n{%02d}-- DirectX info --\r\n", 7);
    n += AppendReportLine(dst, L"(%02d)Version : %s\r\n", 1, dxText);
    n += AppendReportText(dst, L"\r\n");
    return n;
}

int BuildConfigReport(wchar_t* dst, const ConfigBlock* block)
{
    int n = AppendReportLine(dst, L"\r\n-- config --\r\n");
    if (!block) return n + AppendReportLine(dst, L"not found\r\n\r\n");
    for (const DumpRow& row : kDump) {
        if (!row.format) {
            const kcSetting* play = kcFindSettingPath("VOICE/play%02d");
            const kcSetting* master = kcFindSettingPath("VOICE/v%02d/mastervol");
            for (int i = 0; i < kVoiceRowCount; ++i) {
                n += AppendReportLine(dst, L"play %d : %d\r\n", i, play ? kcSettingGetInt(block, play, i) : 0);
                n += AppendReportLine(dst, L"master %d : %d\r\n", i, master ? kcSettingGetInt(block, master, i) : 0);
            }
        } else if (row.field) {
            n += AppendReportLine(dst, row.format, row.field(*block));
        } else if (!row.path) {
            n += AppendReportLine(dst, row.format);
        } else if (wcsstr(row.format, L"%s")) {
            wchar_t text[256] = L"";
            const kcSetting* s = kcFindSettingPath(row.path);
            if (s) kcSettingGetText(block, s, text, 256);
            n += AppendReportLine(dst, row.format, text);
        } else {
            n += AppendReportLine(dst, row.format, SettingInt(block, row.path));
        }
    }
    return n;
}

int WriteSystemInfoReport(kcReportSource& source, const ConfigBlock* block, const wchar_t* reportPath,
                          const wchar_t* exePath)
{
    // The head: INFO/comment with its "\n" sequences as line ends.
    std::vector<wchar_t> head(kHeadUnits, 0);
    if (block) {
        std::vector<wchar_t> comment(block->infoComment, block->infoComment + 2048);
        comment.push_back(0);
        kcReplaceAllWN(head.data(), kHeadUnits, comment.data(), L"\\n", L"\r\n");
    }
    const kcDXCaps* dx = kcDXCaps::Instance();
    if (!dx) return 0;

    int n = BuildSystemReport(nullptr, source, block, exePath) + dx->BuildReport(nullptr) +
            BuildConfigReport(nullptr, block) + 8;
    wchar_t* text = (wchar_t*)kcHeapAlloc(0, n * (int)sizeof(wchar_t));
    if (!text) return 0;
    text[0] = 0;
    int m = BuildSystemReport(text, source, block, exePath);
    m += dx->BuildReport(text + m);
    m += BuildConfigReport(text + m, block);

    std::vector<char> body((size_t)m * 8 + 1, 0);
    kcWideToUtf8N(text, body.data(), (int)body.size());
    kcHeapRelease(text);
    std::vector<char> headUtf8(kHeadBytes, 0);
    kcWideToUtf8N(head.data(), headUtf8.data(), kHeadBytes); // a longer head is cut on a character
    int headBytes = (int)strlen(headUtf8.data()), bodyBytes = (int)strlen(body.data());

    kcFile file;
    bool ok = reportPath && file.Open(reportPath, KCFILE_WRITE | KCFILE_REPLACE);
    // A write that stores fewer bytes than asked is a failure as well.
    if (ok && headBytes) ok = file.Write(headUtf8.data(), headBytes) == headBytes;
    if (ok && bodyBytes) ok = file.Write(body.data(), bodyBytes) == bodyBytes;
    if (!ok) {
        kcLog("$0000-0074$情報の書き出しに失敗しました");
        return 0;
    }
    return 1;
}

int WriteSystemInfoReport(const wchar_t* reportPath, const wchar_t* exePath)
{
    kcCaps* caps = kcCaps::Instance();
    kcReportSource source;
    if (caps)
        kcReadReportSource(*caps, &source);
    else
        memset(&source, 0, sizeof(source));
    int result = WriteSystemInfoReport(source, kcConfigCurrentBlock, reportPath, exePath);
    if (caps) memcpy(caps->moduleDigest, source.moduleDigest, sizeof(caps->moduleDigest));
    return result;
}
