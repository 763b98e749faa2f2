// Cost of the Blowfish tables and key schedule, raw deciphering, and enciphered member reads.
#include "foundation/kcArchive.h"
#include "foundation/kcHeap.h"
#include "foundation/kcProtect.h"
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {
double Now()
{
    LARGE_INTEGER f, t;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t);
    return double(t.QuadPart) / f.QuadPart;
}

const char kKey[] = "benchmark key";
const int kMember = 4 << 20;

std::wstring WriteArchive()
{
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    std::wstring path = std::wstring(dir) + L"kcbench_archive.arc";
    std::vector<unsigned char> data(kMember + 5);
    for (size_t i = 0; i < data.size(); i++) data[i] = (unsigned char)(i * 131);
    kcProtect protect;
    protect.SetKey(kKey, sizeof kKey - 1);
    protect.Encrypt(data.data(), data.data(), kMember);
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD wrote = 0;
    WriteFile(f, data.data(), (DWORD)data.size(), &wrote, nullptr);
    CloseHandle(f);
    return path;
}

double ReadAll(kcArchive& archive, int piece)
{
    std::vector<char> buf(piece);
    kcArchiveEntryHandle* h = archive.OpenEntry(L"m");
    double t = Now();
    while (archive.ReadEntry(h, buf.data(), piece) > 0) {
    }
    t = Now() - t;
    archive.CloseEntry(h);
    return (kMember + 5) / t / 1e6;
}
} // namespace

int wmain()
{
    kcHeapCreate(0x100000);
    double t = Now();
    kcBlowfish::PiWords();
    std::printf("pi tables (first use):       %8.2f ms\n", (Now() - t) * 1e3);

    kcProtect protect;
    t = Now();
    for (int i = 0; i < 100; i++) protect.SetKey(kKey, sizeof kKey - 1);
    std::printf("key schedule:                %8.3f ms\n", (Now() - t) * 1e3 / 100);

    std::vector<unsigned char> buf(16 << 20);
    t = Now();
    protect.Decrypt(buf.data(), buf.data(), (int)buf.size());
    std::printf("decipher in place:           %8.1f MB/s\n", buf.size() / (Now() - t) / 1e6);

    std::wstring path = WriteArchive();
    kcArchive archive;
    archive.Attach(path.c_str(), 2);
    archive.AddMember(L"m", {0, (uint32_t)kMember + 5, 0});
    archive.SetKey(kKey, sizeof kKey - 1);
    for (int piece : {65536, 4096, 13})
        std::printf("member read, %5d-byte reads: %7.1f MB/s\n", piece, ReadAll(archive, piece));
    DeleteFileW(path.c_str());
    kcHeapDestroy();
    return 0;
}
