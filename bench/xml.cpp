// Parse and query cost of "setup.xml"-like documents written by the writer, at 1x, 10x and 40x
// (6.7 MB, the largest under the reader's 8 MiB bound): time per MB and per key lookup should
// stay flat as the document grows. Then files full of same-named elements against twins whose
// fillers have names of their own, read by the document's lookups and by the updater's
// "updateinfo.xml" reader, each in a child run for its peak memory ("--shape lookup|updater N M"
// runs one pair at other sizes). Last, files whose names all share one std::hash value against
// twins with random names of the same length: an "updateinfo.xml" of many <language> with such
// children, and one level of such names.
#include "bench/BenchChild.h"
#include "bench/BenchClock.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcXml.h"
#include "bench/CollidingNames.h"
#include "updater/UpdateInfo.h"
#include <windows.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

static std::string Tag(const char* name, int n)
{
    char text[32];
    kcFormat(text, sizeof text, name, n);
    return text;
}

// The lookup shape: n fillers <a><z>1</z></a>, then, last in the file and so first in table
// order, one <a> with m children <cI><k>I</k></cI>. The twin's fillers are named f.
static std::string LookupShape(int n, int m, bool twin)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>";
    const char* filler = twin ? "<f><z>1</z></f>" : "<a><z>1</z></a>";
    for (int i = 0; i < n; ++i) x += filler;
    x += "<a>";
    for (int i = 0; i < m; ++i) {
        std::string c = Tag("c%d", i);
        x += "<" + c + "><k>" + std::to_string(i) + "</k></" + c + ">";
    }
    return x + "</a></document>\r\n";
}

// Its lookups: a/zz/k once, then a/cI/k for every I.
static long long LookupShapeRead(const wchar_t* path, int m)
{
    kcXml x;
    if (!x.Open(path)) return -1;
    long long sum = x.GetInt(0, 3, "a", "zz", "k");
    for (int i = 0; i < m; ++i) sum += x.GetInt(0, 3, "a", Tag("c%d", i).c_str(), "k");
    return sum;
}

// The updater's shape: 130 <version>1</version>, <version><major>1</major></version>, n fillers
// <language><z></z></language>, then one <language> holding lang00, lang01, ... with code and
// prifix. The twin's fillers are named langfill.
static std::string UpdaterShape(int n, int m, bool twin)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>";
    for (int i = 0; i < 130; ++i) x += "<version>1</version>";
    x += "<version><major>1</major></version>";
    const char* filler = twin ? "<langfill><z></z></langfill>" : "<language><z></z></language>";
    for (int i = 0; i < n; ++i) x += filler;
    x += "<language>";
    for (int i = 0; i < m; ++i) {
        std::string l = Tag("lang%02d", i);
        x += "<" + l + "><code>" + std::to_string(1000 + i) + "</code><prifix>" + Tag("p%d", i) + "</prifix></" + l + ">";
    }
    return x + "</language></document>\r\n";
}

// The level shape: every name a child of document, its text its place.
static std::string LevelShape(const std::vector<std::string>& names)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>";
    for (size_t i = 0; i < names.size(); ++i) x += "<" + names[i] + ">" + std::to_string(i) + "</" + names[i] + ">";
    return x + "</document>\r\n";
}

// Its lookups: every child of document by its name, as enumerated.
static long long LevelShapeRead(const wchar_t* path)
{
    kcXml x;
    kcXmlIterator it;
    if (!x.Open(path) || !x.FindChildren(&it, 0)) return -1;
    long long sum = 0;
    for (std::string name; x.NextChild(&it, &name);) sum += x.GetInt(-1, 1, name.c_str());
    return sum;
}

// The updater's shape with the names given: groups <language> of per children each, then one
// <language> holding lang00 to lang(m-1) with code and prifix.
static std::string NamedUpdaterShape(const std::vector<std::string>& names, size_t per, int m)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document><version><major>1</major></version>";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i % per == 0) x += i ? "</language><language>" : "<language>";
        x += "<" + names[i] + "></" + names[i] + ">";
    }
    x += names.empty() ? "<language>" : "</language><language>";
    for (int i = 0; i < m; ++i) {
        std::string l = Tag("lang%02d", i);
        x += "<" + l + "><code>" + std::to_string(1000 + i) + "</code><prifix>" + Tag("p%d", i) + "</prifix></" + l + ">";
    }
    return x + "</language></document>\r\n";
}

// The child's work: one file read and asked.
static int Child(const wchar_t* result, const wchar_t* kind, const wchar_t* path, int m)
{
    double t = Now();
    if (wcscmp(kind, L"lookup") == 0) {
        if (LookupShapeRead(path, m) < 0) return 1;
    } else if (wcscmp(kind, L"level") == 0) {
        if (LevelShapeRead(path) != (long long)m * (m - 1) / 2) return 1;
    } else {
        UpdateInfo info;
        if (!LoadUpdateInfo(info, path) || (int)info.languages.size() != m) return 1;
    }
    ReportChild(result, (Now() - t) * 1e3);
    return 0;
}

// A shape and its twin (their bytes), each read by child runs of kind with arg.
static bool RunPair(const char* name, const wchar_t* kind, const std::string (&bytes)[2], int n, int m, int arg, bool mem)
{
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    ChildRun runs[2];
    for (int twin = 0; twin < 2; ++twin) {
        std::wstring path = std::wstring(tmp) + L"bench_xml_shape" + (twin ? L"_twin.xml" : L".xml");
        runs[twin] = RunChildOnFile(path, bytes[twin], std::wstring(kind) + L" \"" + path + L"\" " + std::to_wstring(arg), nullptr, 3);
    }
    return PrintShape(name, n, m, runs[0], runs[1], mem);
}

// A shape and its twin, each read by child runs.
static bool RunShape(const char* name, const wchar_t* kind, int n, int m)
{
    const bool lookup = wcscmp(kind, L"lookup") == 0;
    const std::string bytes[2] = {lookup ? LookupShape(n, m, false) : UpdaterShape(n, m, false),
                                  lookup ? LookupShape(n, m, true) : UpdaterShape(n, m, true)};
    return RunPair(name, kind, bytes, n, m, m, lookup);
}

// Names crafted to share one std::hash value against random ones: groups <language> of 31 such
// children read by the updater, and one level of such names read by the document's lookups.
static bool RunColliding()
{
    const int groups = 2000, per = 31, level = 40000, languages = 3;
    const std::vector<std::string> colliding = kcCollide::Colliding((size_t)groups * per), random = kcCollide::Twins(colliding.size());
    if (!kcCollide::ShareOneHash(colliding)) {
        printf("xml_collide: the names do not share one std::hash value\n");
        return false;
    }
    const std::string updater[2] = {NamedUpdaterShape(colliding, per, languages), NamedUpdaterShape(random, per, languages)};
    bool ok = RunPair("xml_names_collide", L"updater", updater, groups, per, languages, true);
    const std::vector<std::string> few[2] = {{colliding.begin(), colliding.begin() + level}, {random.begin(), random.begin() + level}};
    const std::string one[2] = {LevelShape(few[0]), LevelShape(few[1])};
    return RunPair("xml_index_collide", L"level", one, level, 1, level, true) && ok;
}

int wmain(int argc, wchar_t** argv)
{
    if (argc == 6 && wcscmp(argv[1], L"--child") == 0) {
        kcHeapCreate(0x100000); // the parser's buffers; a small start keeps out of the peak what is not used
        return Child(argv[2], argv[3], argv[4], _wtoi(argv[5]));
    }
    kcHeapCreate(0x4000000);
    if (argc == 5 && wcscmp(argv[1], L"--shape") == 0)
        return RunShape("shape", argv[2], _wtoi(argv[3]), _wtoi(argv[4])) ? 0 : 1;
    for (int scale : {1, 10, 40}) Run(scale, false);
    // Every key in one level: lookups must not scan the level.
    for (int scale : {1, 10, 40}) Run(scale, true);
    kcHeapDestroy();
    bool ok = RunShape("xml_lookup_samename", L"lookup", 32000, 32000);
    ok = RunShape("updateinfo_samename", L"updater", 250000, 10000) && ok;
    ok = RunColliding() && ok;
    return ok ? 0 : 1;
}
