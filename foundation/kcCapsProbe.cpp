// The live probes of kcCaps: Windows version, DirectX, processor, memory and OEM strings.
#include "foundation/kcCaps.h"
#include "foundation/kcCapsRules.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcString.h"
#include "foundation/kcTextKey.h"
#include <windows.h>
#include <initguid.h>
#include <dxdiag.h>
#include <cpuid.h>
#include <x86intrin.h>
#include <cstring>

namespace {

template <typename Fn>
Fn Lookup(const wchar_t* module, const char* name)
{
    HMODULE h = GetModuleHandleW(module);
    return h ? (Fn)(void*)GetProcAddress(h, name) : nullptr;
}

// Whether bit `mask` of EFLAGS can be toggled; EFLAGS is restored either way. The flags register
// is as wide as a stack slot: 32 bits on the i686 target, 64 on a 64-bit build.
bool EflagsBitToggles(uint32_t mask)
{
    uintptr_t before, after;
#if defined(__i386__)
    __asm__ __volatile__("pushfl\n\t"
                         "popl %0\n\t"
                         "movl %0, %1\n\t"
                         "xorl %2, %1\n\t"
                         "pushl %1\n\t"
                         "popfl\n\t"
                         "pushfl\n\t"
                         "popl %1\n\t"
                         "pushl %0\n\t"
                         "popfl\n\t"
                         : "=&r"(before), "=&r"(after)
                         : "ri"(mask)
                         : "cc");
#else
    const uintptr_t wide = mask;
    __asm__ __volatile__("pushfq\n\t"
                         "popq %0\n\t"
                         "movq %0, %1\n\t"
                         "xorq %2, %1\n\t"
                         "pushq %1\n\t"
                         "popfq\n\t"
                         "pushfq\n\t"
                         "popq %1\n\t"
                         "pushq %0\n\t"
                         "popfq\n\t"
                         : "=&r"(before), "=&r"(after)
                         : "r"(wide)
                         : "cc");
#endif
    return ((before ^ after) & mask) != 0;
}

uint64_t SerialisedTsc()
{
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    return __rdtsc();
}

bool D3D11Loads()
{
    HMODULE h = LoadLibraryW(L"D3D11.DLL");
    if (!h)
        return false;
    FreeLibrary(h);
    return true;
}

bool FileVersionIn(void* systemFolder, const wchar_t* file, uint32_t* ls, uint32_t* ms)
{
    wchar_t path[MAX_PATH + 32];
    if (!kcFormatW(path, MAX_PATH + 32, L"%s%s", (const wchar_t*)systemFolder, file))
        return false;
    uint32_t v[2];
    if (kcGetFileVersion(path, v) != 0)
        return false;
    *ls = v[0];
    *ms = v[1];
    return true;
}

#if defined(__i386__)
static_assert(sizeof(DXDIAG_INIT_PARAMS) == 16, "the diagnostics provider's parameter record");
#endif
static_assert(DXDIAG_DX9_SDK_VERSION == 111, "the diagnostics provider's interface version");

bool ReadDword(IDxDiagContainer* c, const wchar_t* name, unsigned* out)
{
    VARIANT v;
    VariantInit(&v);
    bool ok = SUCCEEDED(c->GetProp(name, &v)) && v.vt == VT_UI4;
    if (ok)
        *out = v.ulVal;
    VariantClear(&v);
    return ok;
}

} // namespace

long kcGetFileVersion(const wchar_t* path, uint32_t* version)
{
    if (!path || !version)
        return E_INVALIDARG;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeW(path, &ignored);
    if (!size)
        return E_FAIL;
    void* data = HeapAlloc(GetProcessHeap(), 0, size);
    if (!data)
        return E_FAIL;
    long rc = E_FAIL;
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoBytes = 0;
    if (GetFileVersionInfoW(path, 0, size, data) &&
        VerQueryValueW(data, L"\\", (void**)&info, &infoBytes) && info &&
        infoBytes >= sizeof(VS_FIXEDFILEINFO)) {
        version[0] = info->dwFileVersionLS;
        version[1] = info->dwFileVersionMS;
        rc = 0;
    }
    HeapFree(GetProcessHeap(), 0, data);
    return rc;
}

void kcCaps::ProbeOs()
{
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOEXW*);
    typedef BOOL(WINAPI * IsWow64ProcessFn)(HANDLE, BOOL*);
    typedef BOOL(WINAPI * GetProductInfoFn)(DWORD, DWORD, DWORD, DWORD, DWORD*);

    OSVERSIONINFOEXW v = {};
    v.dwOSVersionInfoSize = sizeof(v);
    auto rtlGetVersion = Lookup<RtlGetVersionFn>(L"ntdll.dll", "RtlGetVersion");
    if (rtlGetVersion && rtlGetVersion(&v) == 0) {
        kcOsName os = kcOsCodeFor(v.dwPlatformId, v.dwMajorVersion, v.dwMinorVersion);
        osInfo.code = os.code;
        kcCopyStringWN(osInfo.name, 128, os.name);
        if (v.dwPlatformId == 1) {
            osInfo.major = v.dwBuildNumber >> 24;
            osInfo.minor = (v.dwBuildNumber >> 16) & 0xFF;
            osInfo.build = v.dwBuildNumber & 0xFFFF;
        } else {
            osInfo.major = v.dwMajorVersion;
            osInfo.minor = v.dwMinorVersion;
            osInfo.build = v.dwBuildNumber;
        }
        kcCopyStringWN(osInfo.servicePack, 128, v.szCSDVersion);
    }

    osInfo.bits = 32;
    BOOL wow64 = FALSE;
    auto isWow64 = Lookup<IsWow64ProcessFn>(L"Kernel32.dll", "IsWow64Process");
    if (isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64)
        osInfo.bits = 64;
    int len = lstrlenW(osInfo.name);
    kcCopyStringWN(osInfo.name + len, 128 - len,
                   kcTranslateText(osInfo.bits == 64 ? L" (x64)" : L" (x86)"));

    auto getProductInfo = Lookup<GetProductInfoFn>(L"Kernel32.dll", "GetProductInfo");
    OSVERSIONINFOEXW ex = {};
    ex.dwOSVersionInfoSize = sizeof(ex);
    DWORD product = 0;
    if (getProductInfo && GetVersionExW((OSVERSIONINFOW*)&ex) &&
        getProductInfo(ex.dwMajorVersion, ex.dwMinorVersion, ex.wServicePackMajor,
                       ex.wServicePackMinor, &product))
        GetEditionName(product, osInfo.edition);
}

void kcCaps::GetEditionName(uint32_t productType, wchar_t* out)
{
    out[0] = 0;
    if (const wchar_t* text = kcEditionText(productType))
        kcCopyStringWN(out, 128, kcTranslateText(text));
}

int kcCaps::GetDirectXVersion(unsigned* major, unsigned* minor, wchar_t* letter)
{
    *major = 0;
    *minor = 0;
    *letter = L' ';
    if (!QueryDxDiag(major, minor, letter) && !VersionFromFiles(major, minor, letter))
        return 0;
    if (*letter >= L'A' && *letter <= L'Z')
        *letter += L'a' - L'A';
    if (*major >= 10) {
        OSVERSIONINFOEXW v = {};
        v.dwOSVersionInfoSize = sizeof(v);
        bool have = GetVersionExW((OSVERSIONINFOW*)&v) != 0;
        if (kcDxReportsEleven(*major, have, v.dwMajorVersion, v.dwMinorVersion, v.dwBuildNumber,
                              &D3D11Loads)) {
            *major = 11;
            *minor = 0;
            *letter = 0;
        }
    }
    return 1;
}

int kcCaps::QueryDxDiag(unsigned* major, unsigned* minor, wchar_t* letter)
{
    HRESULT init = CoInitialize(nullptr);
    int accepted = 0;
    IDxDiagProvider* provider = nullptr;
    IDxDiagContainer* root = nullptr;
    IDxDiagContainer* system = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_DxDiagProvider, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_IDxDiagProvider, (void**)&provider))) {
        DXDIAG_INIT_PARAMS params = {};
        params.dwSize = sizeof(params);
        params.dwDxDiagHeaderVersion = DXDIAG_DX9_SDK_VERSION;
        params.bAllowWHQLChecks = FALSE;
        if (SUCCEEDED(provider->Initialize(&params)) &&
            SUCCEEDED(provider->GetRootContainer(&root)) &&
            SUCCEEDED(root->GetChildContainer(L"DxDiag_SystemInfo", &system))) {
            // Each value is kept as soon as it is read; all three make a result.
            accepted += ReadDword(system, L"dwDirectXVersionMajor", major);
            accepted += ReadDword(system, L"dwDirectXVersionMinor", minor);
            VARIANT v;
            VariantInit(&v);
            if (SUCCEEDED(system->GetProp(L"szDirectXVersionLetter", &v)) && v.vt == VT_BSTR &&
                v.bstrVal && v.bstrVal[0]) {
                *letter = v.bstrVal[0];
                ++accepted;
            }
            VariantClear(&v);
        }
    }
    if (system)
        system->Release();
    if (root)
        root->Release();
    if (provider)
        provider->Release();
    if (SUCCEEDED(init))
        CoUninitialize();
    return accepted == 3;
}

int kcCaps::VersionFromFiles(unsigned* major, unsigned* minor, wchar_t* letter)
{
    wchar_t folder[MAX_PATH] = {};
    UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (!n || n >= MAX_PATH) {
        *major = 0;
        *minor = 0;
        *letter = L' ';
        return 1;
    }
    kcDxFromFileVersions(&FileVersionIn, folder, major, minor, letter);
    return 1;
}

void kcCaps::ProbeCpu(int measure)
{
    memset(&cpuInfo, 0, sizeof(cpuInfo));
    bool cpuid = false;
    if (!EflagsBitToggles(1u << 18))
        cpuInfo.type = 1;
    else {
        cpuInfo.type = 2;
        cpuid = EflagsBitToggles(1u << 21);
    }
    if (cpuid) {
        kcCpuidLeaves leaves = {};
        unsigned a, b, c, d;
        __cpuid(0, a, b, c, d);
        leaves.maxLeaf = a;
        leaves.vendor[0] = b;
        leaves.vendor[1] = d;
        leaves.vendor[2] = c;
        if (leaves.maxLeaf >= 1) {
            __cpuid(1, a, b, c, d);
            leaves.signature = a;
            leaves.features = d;
        }
        __cpuid(0x80000000, a, b, c, d);
        leaves.maxExtLeaf = a;
        if (leaves.maxExtLeaf >= 0x80000001) {
            __cpuid(0x80000001, a, b, c, d);
            leaves.extFeatures = d;
        }
        kcDecodeCpuid(leaves, &cpuInfo);
    }
    SYSTEM_INFO si = {};
    GetSystemInfo(&si);
    cpuInfo.processorCount = si.dwNumberOfProcessors;
    ReadCpuName(measure);
}

void kcCaps::ReadCpuName(int measure)
{
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0", 0,
                      KEY_READ, &key) == ERROR_SUCCESS) {
        static const wchar_t* const kMhz[] = {L"~MHz", L"~Mhz", L"~mhz"};
        cpuInfo.registryMhz = 0;
        for (const wchar_t* value : kMhz) {
            DWORD mhz = 0, bytes = sizeof(mhz);
            if (RegQueryValueExW(key, value, nullptr, nullptr, (BYTE*)&mhz, &bytes) == ERROR_SUCCESS) {
                cpuInfo.registryMhz = mhz;
                break;
            }
        }
        DWORD bytes = 256;
        if (RegQueryValueExW(key, L"ProcessorNameString", nullptr, nullptr, (BYTE*)cpuInfo.name,
                             &bytes) != ERROR_SUCCESS)
            memset(cpuInfo.name, 0, sizeof(cpuInfo.name));
        cpuInfo.name[255] = 0;
        RegCloseKey(key);
    }

    if (!measure || cpuInfo.hasCpuid != 1)
        return;
    cpuInfo.measuredMhz = 0;
    LARGE_INTEGER f, start, now;
    if (!QueryPerformanceFrequency(&f) || f.QuadPart <= 0 || !QueryPerformanceCounter(&start))
        return;
    uint64_t tsc0 = SerialisedTsc();
    do {
        if (!QueryPerformanceCounter(&now) || now.QuadPart < start.QuadPart)
            return;
    } while (now.QuadPart - start.QuadPart < f.QuadPart / 4);
    uint64_t tsc1 = SerialisedTsc();
    int64_t cycles = (int64_t)(tsc1 - tsc0);
    if (cycles > 0)
        cpuInfo.measuredMhz = (uint32_t)(cycles * 4 / 1000000);
}

void kcCaps::ProbeMemory()
{
    MEMORYSTATUSEX m = {};
    m.dwLength = sizeof(m);
    if (!GlobalMemoryStatusEx(&m))
        return;
    availPhysMb = (uint32_t)(m.ullAvailPhys >> 20);
    totalPhysMb = (uint32_t)(m.ullTotalPhys >> 20);
    availPageFileMb = (uint32_t)(m.ullAvailPageFile >> 20);
    totalPageFileMb = (uint32_t)(m.ullTotalPageFile >> 20);
}

void kcCaps::ReadOemStrings()
{
    wchar_t windows[MAX_PATH] = {};
    if (!kcGetSpecialFolder(KCFOLDER_WINDOWS, windows))
        return;
    static const wchar_t* const kFiles[] = {L"%s\\Oeminfo.ini", L"%s\\system\\Oeminfo.ini",
                                            L"%s\\system32\\Oeminfo.ini"};
    struct {
        const wchar_t* key;
        wchar_t* out;
    } keys[] = {{L"Manufacturer", oemManufacturer}, {L"Model", oemModel}};
    for (auto& k : keys) {
        for (const wchar_t* format : kFiles) {
            wchar_t path[MAX_PATH + 32];
            kcFormatW(path, MAX_PATH + 32, format, windows);
            if (GetPrivateProfileStringW(L"General", k.key, L"", k.out, 256, path) > 0)
                break;
        }
    }
}
