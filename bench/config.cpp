// Cost of the configuration object's files: construction from a full-size game definition
// (128 INT rows, 80 key rows, 48 voice rows, languages, a voice dictionary, script replacements),
// LoadUserSettings and SaveUserSettings of a full "setup.xml". At 10x the lists that the format
// leaves open (languages, dictionary entries, replacements) grow tenfold; the record's rows are fixed.
// Also timed apart: the readers and the writer over documents already parsed, the XML parser's share,
// and the installed-font list and special-folder lookups that construction makes. Last, a sound-group
// definition of 16,000 same-named parts against one of 16,000 distinct names, each loaded whole, and
// one of 100,000 same-named filler parts against its twin, each loaded by a child run for its peak
// memory; then one of 2,000 parts whose children's names all share one std::hash value against
// one with random names of the same length.
#include "bench/BenchChild.h"
#include "bench/BenchClock.h"
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "config/kcConfig.h"
#include "config/kcConfigReader.h"
#include "config/kcSettings.h"
#include "config/kcSoundGroups.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFontList.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcXml.h"
#include "bench/CollidingNames.h"

static void SetPath(kcXml& x, const char* path, const wchar_t* text, int value)
{
    std::vector<std::string> parts;
    std::string cur;
    for (const char* p = path; *p; ++p) {
        if (*p == '/') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    parts.push_back(cur);
    if (text) {
        x.SetStringWVec(text, parts);
    } else {
        x.SetIntVec(value, parts);
    }
}

// SetPath of row n of a numbered list: format holds the row's %02d.
static void SetRowPath(kcXml& x, const char* format, int n, const wchar_t* text, int value)
{
    char path[192];
    kcFormat(path, sizeof path, format, n);
    SetPath(x, path, text, value);
}

// Every game-definition key with a value, every key row named, and the open lists at scale.
static bool WriteDefinition(int scale)
{
    kcXml x;
    x.New();
    int count = 0;
    const kcSetting* table = kcSettingTable(&count);
    char name[192];
    for (int i = 0; i < count; ++i) {
        const kcSetting& s = table[i];
        if (!s.gameKey) continue;
        for (int row = 0; row < s.rows; ++row)
            for (int slot = 0; slot < s.slots; ++slot) {
                if (!kcSettingGameName(&s, row, slot, name, sizeof name)) continue;
                bool text = s.type == KCSET_STR || s.type == KCSET_WSTR;
                SetPath(x, name, text ? L"value" : nullptr, (row + slot) % 7 + 1);
            }
    }
    SetPath(x, "FOLDER/save", L"save", 0);
    SetPath(x, "APP/ttstable", L"voices.xml", 0);
    SetPath(x, "APP/dontsave", nullptr, 0);
    for (int n = 0; n < 8 * scale; ++n) {
        wchar_t prefix[16];
        kcFormatW(prefix, 16, L"l%d", n);
        SetRowPath(x, "language/L%02d/code", n, nullptr, 2000 + n);
        SetRowPath(x, "language/L%02d/prefix", n, prefix, 0);
    }
    for (int n = 0; n < 32 * scale; ++n) {
        wchar_t text[16];
        kcFormatW(text, 16, L"find%d", n);
        SetRowPath(x, "SCRIPT/replace/r%02d/find", n, text, 0);
        SetRowPath(x, "SCRIPT/replace/r%02d/rep", n, L"rep", 0);
    }
    CreateDirectoryW(L"config", nullptr);
    if (!x.Save(L"config\\startup.xml")) return false;
    kcXml v;
    v.New();
    for (int n = 0; n < 48 * scale; ++n) {
        wchar_t id[16];
        kcFormatW(id, 16, L"voice%d", n);
        SetRowPath(v, "tbl%02d/id", n, id, 0);
        SetRowPath(v, "tbl%02d/name", n, L"名前", 0);
    }
    return v.Save(L"voices.xml") != 0;
}

// A sound-group tree on its own, its user values file in "save".
class BenchSoundGroups : public kcSoundGroupTree {
public:
    explicit BenchSoundGroups(const wchar_t* name) { m_soundName = name; }

protected:
    const wchar_t* SoundGroupSaveFolder() const override { return L"save"; }
};

// Milliseconds to load the definition whole (parse, tree, user values), and its node count.
static double LoadSoundGroups(const wchar_t* name, int rounds, size_t* nodes)
{
    double t = Now();
    for (int i = 0; i < rounds; ++i) {
        BenchSoundGroups tree(name);
        tree.OpenSoundGroups();
        *nodes = tree.GetSoundGroupParts().size();
    }
    return (Now() - t) * 1000.0 / rounds;
}

// n fillers <PART><z>1</z></PART>, then, last in the file and so first in table order, a PART with
// m differently named children that carry every key the reader asks (the first one read has no
// voicemute). The twin's fillers are named FILL.
static std::string PartsShape(int n, int m, bool twin)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>";
    const char* filler = twin ? "<FILL><z>1</z></FILL>" : "<PART><z>1</z></PART>";
    for (int i = 0; i < n; ++i) x += filler;
    x += "<PART>";
    const char* const keys[] = {"id",      "group",    "mastervol", "volume", "play",
                                "sysplay", "voicevol", "skipvol",   "sameid", "mute"};
    for (int i = 0; i < m; ++i) {
        std::string c = "c" + std::to_string(i), v = std::to_string(i % 100);
        x += "<" + c + "><name>n" + v + "</name><type>t</type><head>h" + v + "</head><int>arc</int><part></part>";
        for (const char* k : keys) x += std::string("<") + k + ">" + v + "</" + k + ">";
        if (i != m - 1) x += "<voicemute>0</voicemute>";
        x += "</" + c + ">";
    }
    return x + "</PART></document>\r\n";
}

// Groups <PART> of per children with the names given, each child empty.
static std::string NamedPartsShape(const std::vector<std::string>& names, size_t per)
{
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>";
    for (size_t i = 0; i < names.size(); ++i) {
        if (i % per == 0) x += i ? "</PART><PART>" : "<PART>";
        x += "<" + names[i] + "></" + names[i] + ">";
    }
    return x + (names.empty() ? "" : "</PART>") + "</document>\r\n";
}

// The child's work: the definition loaded whole.
static int Child(const wchar_t* result, const wchar_t* name, size_t parts)
{
    double t = Now();
    BenchSoundGroups tree(name);
    if (!tree.OpenSoundGroups() || tree.GetSoundGroupParts().size() != parts) return 1;
    ReportChild(result, (Now() - t) * 1e3);
    return 0;
}

static double Construct(int rounds)
{
    double t = Now();
    for (int i = 0; i < rounds; ++i) {
        kcCreateConfig(nullptr, nullptr, 0);
        kcReleaseConfig();
    }
    return (Now() - t) * 1000.0 / rounds;
}

int wmain(int argc, wchar_t** argv)
{
    kcHeapCreate(0x1000000);
    if (argc == 5 && wcscmp(argv[1], L"--child") == 0) return Child(argv[2], argv[3], (size_t)_wtoi(argv[4]));
    wchar_t base[MAX_PATH], dir[MAX_PATH], old[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    kcFormatW(dir, MAX_PATH, L"%skcbench_config_%lu", base, GetCurrentProcessId());
    CreateDirectoryW(dir, nullptr);
    GetCurrentDirectoryW(MAX_PATH, old);
    SetCurrentDirectoryW(dir);
    const int rounds = 20;
    double cycle = 0;
    for (int scale : {1, 10}) {
        if (!WriteDefinition(scale)) {
            printf("cannot write the game definition\n");
            return 1;
        }
        double construct = Construct(rounds);
        kcCreateConfig(nullptr, nullptr, 0);
        kcConfig* c = kcConfig::Instance();
        for (int row = 0; row < 80; ++row) kcConfigCurrentBlock->keyNames[row][0] = L'k'; // every key row written
        c->SaveUserSettings(0);
        double t = Now();
        for (int i = 0; i < rounds; ++i) c->LoadUserSettings(0);
        double load = (Now() - t) * 1000.0 / rounds;
        t = Now();
        for (int i = 0; i < rounds; ++i) c->SaveUserSettings(0);
        double save = (Now() - t) * 1000.0 / rounds;
        // The steps of construction one by one.
        t = Now();
        for (int i = 0; i < rounds; ++i) c->SetStartupDefaults();
        double defaults = (Now() - t) * 1000.0 / rounds;
        t = Now();
        for (int i = 0; i < rounds; ++i) {
            c->SetStartupDefaults();
            c->ReadStartupXml();
        }
        double definition = (Now() - t) * 1000.0 / rounds - defaults;
        t = Now();
        for (int i = 0; i < rounds; ++i) c->ReadVoiceDictionary();
        double dictionary = (Now() - t) * 1000.0 / rounds;
        // The XML parser's share: the two files parsed alone.
        double parse[2];
        const wchar_t* files[2] = {L"config\\startup.xml", L"save\\setup.xml"};
        for (int f = 0; f < 2; ++f) {
            t = Now();
            for (int i = 0; i < rounds; ++i) {
                kcXml x;
                x.Open(files[f]);
            }
            parse[f] = (Now() - t) * 1000.0 / rounds;
        }
        printf("scale=%dx construct_ms=%.3f (defaults_ms=%.3f definition_ms=%.3f of which parse_ms=%.3f, "
               "dictionary_ms=%.3f) load_ms=%.3f (parse_ms=%.3f) save_ms=%.3f languages=%d dictionary=%d\n",
               scale, construct, defaults, definition, parse[0], dictionary, load, parse[1], save,
               c->GetLanguageCount(), c->GetVoiceDictionaryCount());
        // The readers and the writer alone, over documents already parsed (or, for the writer, not yet saved).
        double plans[KCPLAN_COUNT];
        for (int p = 0; p < KCPLAN_COUNT; ++p) {
            kcXml x;
            if (p >= KCPLAN_WRITE_SYSTEM)
                x.New();
            else
                x.Open(p <= KCPLAN_STARTUP3 ? L"config\\startup.xml" : L"save\\setup.xml");
            kcConfigReader r(*c, x);
            t = Now();
            for (int i = 0; i < rounds; ++i) {
                if (p >= KCPLAN_WRITE_SYSTEM)
                    r.Write((kcPlan)p);
                else
                    r.Read((kcPlan)p);
            }
            plans[p] = (Now() - t) * 1000.0 / rounds;
        }
        printf("scale=%dx readers_ms: definition=%.3f (%.3f %.3f %.3f) setup=%.3f writer_ms=%.3f\n", scale,
               plans[0] + plans[1] + plans[2], plans[0], plans[1], plans[2], plans[3] + plans[4] + plans[5],
               plans[6] + plans[7]);
        kcReleaseConfig();
        if (scale == 1) cycle = construct + load + save;
    }
    // What construction spends outside the readers.
    double t = Now();
    for (int i = 0; i < rounds; ++i) kcFontList fonts(nullptr, -1, 0, 1);
    double fonts = (Now() - t) * 1000.0 / rounds;
    t = Now();
    wchar_t folder[MAX_PATH];
    for (int i = 0; i < rounds; ++i)
        for (unsigned kind : {KCFOLDER_APPDATA, KCFOLDER_PICTURES, KCFOLDER_DOCUMENTS, KCFOLDER_PICTURES, KCFOLDER_APPDATA})
            kcGetSpecialFolder(kind, folder);
    double folders = (Now() - t) * 1000.0 / rounds;
    printf("font_list_ms=%.3f special_folders_ms=%.3f\n", fonts, folders);
    // Sound groups: every part of the same name reads the same paths.
    {
        std::string same, distinct;
        for (int n = 0; n < 16000; ++n) {
            char tag[16];
            kcFormat(tag, sizeof tag, "p%05d", n);
            same += "<a></a>";
            distinct += std::string("<") + tag + "></" + tag + ">";
        }
        const char* head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document><PART>";
        kcXml user;
        user.New();
        user.SetIntVec(50, {"PART", "a", "volume"});
        user.Save(L"save\\sg_same.xml");
        user.Save(L"save\\sg_distinct.xml");
        FILE* f = _wfopen(L"sg_same.xml", L"wb");
        fprintf(f, "%s%s</PART></document>\r\n", head, same.c_str());
        fclose(f);
        f = _wfopen(L"sg_distinct.xml", L"wb");
        fprintf(f, "%s%s</PART></document>\r\n", head, distinct.c_str());
        fclose(f);
        size_t sameNodes = 0, distinctNodes = 0;
        double sameMs = LoadSoundGroups(L"sg_same.xml", 3, &sameNodes);
        double distinctMs = LoadSoundGroups(L"sg_distinct.xml", 3, &distinctNodes);
        printf("soundgroup_same_ms=%.3f (parts=%u, %u bytes) soundgroup_distinct_ms=%.3f (parts=%u, %u bytes)\n", sameMs,
               (unsigned)sameNodes, (unsigned)same.size(), distinctMs, (unsigned)distinctNodes, (unsigned)distinct.size());
        printf("soundgroup_siblings_ratio=%.2f\n", sameMs / distinctMs);
    }
    // Same-named filler parts, each file loaded by child runs.
    bool parts = true;
    {
        const int n = 100000, m = 10000;
        ChildRun runs[2];
        for (int twin = 0; twin < 2; ++twin) {
            const std::wstring name = twin ? L"sg_parts_twin.xml" : L"sg_parts.xml";
            runs[twin] = RunChildOnFile(name, PartsShape(n, m, twin), name + L" " + std::to_wstring(m), dir, 3);
        }
        parts = PrintShape("soundgroup_parts", n, m, runs[0], runs[1], true);
    }
    // Parts whose children's names share one std::hash value, against random names.
    {
        const int n = 2000, m = 31;
        const std::vector<std::string> colliding = kcCollide::Colliding((size_t)n * m), random = kcCollide::Twins(colliding.size());
        if (!kcCollide::ShareOneHash(colliding)) {
            printf("soundgroup_collide: the names do not share one std::hash value\n");
            parts = false;
        } else {
            ChildRun runs[2];
            for (int twin = 0; twin < 2; ++twin) {
                const std::wstring name = twin ? L"sg_collide_twin.xml" : L"sg_collide.xml";
                runs[twin] = RunChildOnFile(name, NamedPartsShape(twin ? random : colliding, m), name + L" " + std::to_wstring(m), dir, 3);
            }
            parts = PrintShape("soundgroup_collide", n, m, runs[0], runs[1], true) && parts;
        }
    }
    SetCurrentDirectoryW(old);
    // Leave nothing behind.
    for (const wchar_t* f : {L"config\\startup.xml", L"voices.xml", L"save\\setup.xml", L"sg_same.xml", L"sg_distinct.xml",
                             L"save\\sg_same.xml", L"save\\sg_distinct.xml"}) {
        std::wstring p = std::wstring(dir) + L"\\" + f;
        DeleteFileW(p.c_str());
    }
    RemoveDirectoryW((std::wstring(dir) + L"\\config").c_str());
    RemoveDirectoryW((std::wstring(dir) + L"\\save").c_str());
    RemoveDirectoryW(dir);
    printf("config_cycle_ms=%.3f\n", cycle);
    kcHeapDestroy();
    return parts ? 0 : 1;
}
