// Parse and query cost of "setup.xml"-like documents written by the writer, at 1x, 10x and 100x:
// time per MB and per key lookup should stay flat as the document grows.
#include "bench/BenchClock.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcXml.h"
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

struct Key {
    std::string section, name;
};

// scale 1: twenty sections of 100 keys and one section of 2,000 keys, as a large settings file.
static std::vector<Key> BuildDocument(kcXml& x, int scale, bool flat)
{
    std::vector<Key> keys;
    x.New();
    char section[64], name[64];
    wchar_t text[64];
    for (int s = 0; s < 21 * scale; ++s) {
        bool big = s % 21 == 20;
        kcFormat(section, sizeof section, big ? "KEYS%03d" : "SECTION%03d", s);
        if (flat) kcFormat(section, sizeof section, "FLAT");
        int count = big ? 2000 : 100;
        for (int k = 0; k < count; ++k) {
            kcFormat(name, sizeof name, "key%02d_%04d", s, k);
            if (k % 3 == 0) {
                kcFormatW(text, 64, L"テキスト %d の値", k);
                x.SetStringW(text, 2, section, name);
            } else {
                x.SetInt(k * 7, 2, section, name);
            }
            keys.push_back(Key{section, name});
        }
    }
    return keys;
}

static void Run(int scale, bool flat)
{
    kcXml doc;
    double t0 = Now();
    std::vector<Key> keys = BuildDocument(doc, scale, flat);
    double tBuild = Now() - t0;

    wchar_t tmp[MAX_PATH], path[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    kcFormatW(path, MAX_PATH, L"%sbench_xml_%d.xml", tmp, scale);
    t0 = Now();
    doc.Save(path);
    double tSave = Now() - t0;

    WIN32_FILE_ATTRIBUTE_DATA fa;
    GetFileAttributesExW(path, GetFileExInfoStandard, &fa);
    double mb = (double)fa.nFileSizeLow / (1024.0 * 1024.0);

    kcXml x;
    t0 = Now();
    int ok = x.Open(path);
    double tOpen = Now() - t0;

    t0 = Now();
    long long sum = 0;
    for (const Key& k : keys) sum += x.GetInt(0, 2, k.section.c_str(), k.name.c_str());
    double tGet = Now() - t0;
    DeleteFileW(path);

    printf("%4dx %-5s %8.2f MB %7zu keys  open %s %8.1f ms = %6.1f ms/MB  save %6.1f ms/MB  build %6.2f us/key"
           "  lookup %6.3f us/key  (checksum %lld)\n",
           scale, flat ? "flat" : "setup", mb, keys.size(), ok ? "ok" : "FAILED", tOpen * 1e3, tOpen * 1e3 / mb,
           tSave * 1e3 / mb, tBuild * 1e6 / (double)keys.size(), tGet * 1e6 / (double)keys.size(), sum);
}

int wmain()
{
    kcHeapCreate(0x4000000);
    for (int scale : {1, 10, 100}) Run(scale, false);
    // Every key in one level: lookups must not scan the level.
    for (int scale : {1, 10, 100}) Run(scale, true);
    kcHeapDestroy();
    return 0;
}
