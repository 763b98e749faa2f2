#include "kcCaps.h"
#include "kcFileCopier.h"
#include "kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <mutex>
#include <string>
#include <vector>

namespace {

// Sector I/O depends on the OS code of the capability record.
struct CapsScope {
    kcCaps* caps = nullptr;
    CapsScope()
    {
        if (!kcCaps::Instance()) caps = new kcCaps(KCCAPS_OS, 0);
    }
    ~CapsScope() { delete caps; }
};

struct Seen {
    int done, error;
    std::wstring source, destination, text;
    unsigned long long currentSize, currentDone, totalSize, totalDone;
};

struct Block {
    unsigned long long offset;
    unsigned bytes;
};

// Records every report and block; refuses at a chosen report.
struct Recorder {
    std::mutex mutex;
    std::vector<Seen> reports;
    std::vector<Block> blocks;
    int refuseAt = -1; // index of the progress report that returns 0
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Recorder() { CloseHandle(finished); }

    static int Callback(void* user, CopyStatus* s)
    {
        Recorder* r = (Recorder*)user;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->reports.push_back({s->done, s->error, s->source, s->destination, s->errorText, s->currentSize,
                              s->currentDone, s->totalSize, s->totalDone});
        if (s->done) SetEvent(r->finished);
        int progress = 0;
        for (auto& x : r->reports) progress += !x.done && !x.error;
        return !(s->done == 0 && s->error == 0 && progress - 1 == r->refuseAt);
    }
    static void Hook(void* user, const void*, unsigned long long offset, unsigned bytes, CopyStatus*)
    {
        Recorder* r = (Recorder*)user;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->blocks.push_back({offset, bytes});
    }
    int Failures() const
    {
        int n = 0;
        for (auto& x : reports) n += x.error && !x.done;
        return n;
    }
    const Seen& Last() const { return reports.back(); }
};

struct Job {
    std::wstring source, destination;
};

// Runs one copier to its final report and destroys it.
void RunCopier(Recorder& rec, const std::vector<Job>& jobs, int noSectorIo = 1, int mode = 0)
{
    kcFileCopier* copier = new kcFileCopier(3, noSectorIo);
    copier->SetMode(mode);
    for (auto& j : jobs) copier->AddJob(j.source.c_str(), j.destination.c_str(), 0);
    ASSERT_EQ(1, copier->Start(&Recorder::Callback, &rec, &Recorder::Hook));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(rec.finished, 120000));
    delete copier;
}

std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (size_t i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        s[i] = (char)(x >> 16);
    }
    return s;
}

std::wstring SystemText(DWORD code)
{
    wchar_t buf[514] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, buf, 514, nullptr);
    return buf;
}

std::wstring FixturePath(const wchar_t* name)
{
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring dir = exe;
    return dir.substr(0, dir.find_last_of(L'\\') + 1) + name;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

unsigned SectorSizeOf(const std::wstring& path)
{
    wchar_t full[MAX_PATH];
    GetFullPathNameW(path.c_str(), MAX_PATH, full, nullptr);
    std::wstring root(full, wcschr(full, L'\\') + 1 - full);
    DWORD spc, bps = 0, f, t;
    return GetDiskFreeSpaceW(root.c_str(), &spc, &bps, &f, &t) ? bps : 0;
}

} // namespace

TEST(FileCopierPlan, BlockCapacityAndRequest)
{
    EXPECT_EQ(1049088u, kcFileCopier::BlockCapacity(512));
    EXPECT_EQ(1052672u, kcFileCopier::BlockCapacity(4096));
    EXPECT_EQ(2097152u, kcFileCopier::BlockCapacity(0));
    EXPECT_EQ(1024u, kcFileCopier::BlockRequest(1000, 512, 1));
    EXPECT_EQ(1000u, kcFileCopier::BlockRequest(1000, 512, 0));
    EXPECT_EQ(512u, kcFileCopier::BlockRequest(512, 512, 1));
    EXPECT_EQ(4096u, kcFileCopier::BlockRequest(1, 4096, 1));
    EXPECT_EQ(523264u, kcFileCopier::BlockRequest(523264, 512, 1));
}

TEST(FileCopierPlan, ConstructionLeavesSlotsEmpty)
{
    int live = kcHeapLiveBlocks();
    {
        kcFileCopier copier(3, 1);
        EXPECT_EQ(0, copier.IsSectorIoAllowed());
        kcFileCopier unknownOs(3, 0);
        EXPECT_EQ(0, unknownOs.IsSectorIoAllowed()); // no capability record
        CapsScope caps;
        kcFileCopier sector(3, 0);
        EXPECT_EQ(1, sector.IsSectorIoAllowed());
        EXPECT_EQ(0u, copier.GetSlotCapacity());
        EXPECT_EQ(live + 3, kcHeapLiveBlocks());
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

TEST(FileCopierPlan, CachedBlocksOfFiveMiB)
{
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"src.bin"), Pattern(5 << 20, 1)));
    Recorder rec;
    RunCopier(rec, {{dir.File(L"src.bin"), dir.File(L"dst.bin")}}, 1);
    ASSERT_EQ(3u, rec.blocks.size());
    EXPECT_EQ(0u, rec.blocks[0].offset);
    EXPECT_EQ(2097152u, rec.blocks[0].bytes);
    EXPECT_EQ(2097152u, rec.blocks[1].offset);
    EXPECT_EQ(2097152u, rec.blocks[1].bytes);
    EXPECT_EQ(4194304u, rec.blocks[2].offset);
    EXPECT_EQ(1048576u, rec.blocks[2].bytes);
}

TEST(FileCopierPlan, SectorBlocksFollowTheVolume)
{
    CapsScope caps;
    TempDir dir;
    unsigned sector = SectorSizeOf(dir.Path());
    ASSERT_NE(0u, sector);
    const unsigned cap = kcFileCopier::BlockCapacity(sector);
    ASSERT_TRUE(WriteBytes(dir.File(L"src.bin"), Pattern(2621440, 2)));
    kcFileCopier probe(3, 0);
    ASSERT_TRUE(probe.IsSectorIoAllowed());
    EXPECT_TRUE(probe.AllocBuffers(dir.File(L"src.bin").c_str()));
    EXPECT_EQ(sector, probe.GetSectorSize());
    EXPECT_EQ(cap, probe.GetSlotCapacity());
    probe.FreeBuffers();
    EXPECT_EQ(0u, probe.GetSlotCapacity());

    Recorder rec;
    RunCopier(rec, {{dir.File(L"src.bin"), dir.File(L"dst.bin")}}, 0);
    unsigned long long offset = 0;
    for (auto& b : rec.blocks) {
        EXPECT_EQ(offset, b.offset);
        EXPECT_EQ(std::min<unsigned long long>(cap, 2621440 - offset), b.bytes);
        offset += b.bytes;
    }
    EXPECT_EQ(2621440u, offset);
    if (sector == 512) {
        ASSERT_EQ(3u, rec.blocks.size());
        EXPECT_EQ(523264u, rec.blocks[2].bytes);
    }
    std::string a, b;
    ReadBytes(dir.File(L"src.bin"), &a);
    ReadBytes(dir.File(L"dst.bin"), &b);
    EXPECT_TRUE(a == b);
}

TEST(FileCopierCopy, BlockEdgeSizesAreByteExact)
{
    CapsScope caps;
    TempDir dir;
    for (int noSector = 0; noSector <= 1; ++noSector) {
        const unsigned long long cap = kcFileCopier::BlockCapacity(noSector ? 0 : SectorSizeOf(dir.Path()));
        const unsigned long long sizes[] = {0, 1, 511, 512, 513, 4096, cap - 1, cap, cap + 1, 2 * cap, 3 * cap + 7};
        std::vector<Job> jobs;
        unsigned long long total = 0;
        for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
            std::wstring n = std::to_wstring(noSector) + L"_" + std::to_wstring(i);
            ASSERT_TRUE(WriteBytes(dir.File(L"s" + n), Pattern((size_t)sizes[i], (unsigned)i)));
            jobs.push_back({dir.File(L"s" + n), dir.File(L"out" + n + L"\\sub\\d" + n)});
            total += sizes[i];
        }
        // An installed copy of different contents is replaced whole.
        CreateDirectoryW(dir.File(L"out" + std::to_wstring(noSector) + L"_3").c_str(), nullptr);
        CreateDirectoryW(dir.File(L"out" + std::to_wstring(noSector) + L"_3\\sub").c_str(), nullptr);
        WriteBytes(jobs[3].destination, "old contents that are longer than nothing");
        Recorder rec;
        RunCopier(rec, jobs, noSector);
        EXPECT_EQ(0, rec.Failures());
        ASSERT_FALSE(rec.reports.empty());
        EXPECT_EQ(1, rec.Last().done);
        EXPECT_EQ(0, rec.Last().error);
        EXPECT_EQ(total, rec.Last().totalSize);
        EXPECT_EQ(total, rec.Last().totalDone);
        for (auto& j : jobs) {
            std::string a, b;
            ASSERT_TRUE(ReadBytes(j.source, &a));
            ASSERT_TRUE(ReadBytes(j.destination, &b)) << j.destination;
            EXPECT_TRUE(a == b) << j.destination << " " << a.size() << " " << b.size();
            EXPECT_FALSE(Exists(j.destination + kcFileCopier::TempSuffix()));
            EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(j.destination.c_str()));
        }
    }
}

TEST(FileCopierCopy, TimesAndAttributesFollowTheSource)
{
    TempDir dir;
    std::wstring src = dir.File(L"src.txt"), dst = dir.File(L"dst.txt");
    ASSERT_TRUE(WriteBytes(src, "hello"));
    HANDLE h = CreateFileW(src.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    FILETIME t1 = {0x12345000u, 0x01d00000u}, t2 = {0x22345000u, 0x01d10000u};
    SetFileTime(h, &t1, &t1, &t2);
    CloseHandle(h);
    SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(WriteBytes(dst, "previous"));
    SetFileAttributesW(dst.c_str(), FILE_ATTRIBUTE_HIDDEN);
    Recorder rec;
    RunCopier(rec, {{src, dst}});
    EXPECT_EQ(0, rec.Failures());
    WIN32_FILE_ATTRIBUTE_DATA a, b;
    ASSERT_TRUE(GetFileAttributesExW(src.c_str(), GetFileExInfoStandard, &a));
    ASSERT_TRUE(GetFileAttributesExW(dst.c_str(), GetFileExInfoStandard, &b));
    EXPECT_EQ(0, CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime));
    EXPECT_EQ(0, CompareFileTime(&a.ftLastAccessTime, &b.ftLastAccessTime));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, b.dwFileAttributes);
    std::string bytes;
    ReadBytes(dst, &bytes);
    EXPECT_EQ("hello", bytes);
    SetFileAttributesW(src.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileCopierCopy, FoldersAndEmptyQueues)
{
    TempDir dir;
    CreateDirectoryW(dir.File(L"tree").c_str(), nullptr);
    Recorder rec;
    RunCopier(rec, {{dir.File(L"tree"), dir.File(L"a\\b\\tree")}});
    EXPECT_EQ(0, rec.Failures());
    EXPECT_TRUE(GetFileAttributesW(dir.File(L"a\\b\\tree").c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    Recorder none;
    RunCopier(none, {});
    ASSERT_EQ(1u, none.reports.size());
    EXPECT_EQ(1, none.Last().done);
    EXPECT_EQ(0, none.Last().error);
}

TEST(FileCopierCopy, SourceOfFourGiBCountsInSixtyFourBits)
{
    // A sparse source and I/O seams that move no data: only the counting is under test.
    TempDir dir;
    std::wstring src = dir.File(L"big.bin");
    HANDLE h = CreateFileW(src.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD ret;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr);
    LARGE_INTEGER size;
    size.QuadPart = (4ull << 30) + 10;
    ASSERT_TRUE(SetFilePointerEx(h, size, nullptr, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(h));
    CloseHandle(h);
    auto fake = [](void*, void*, unsigned bytes, unsigned* done) -> int {
        *done = bytes;
        return 1;
    };
    kcFileCopierSetIo(fake, fake);
    Recorder rec;
    RunCopier(rec, {{src, dir.File(L"copy.bin")}});
    kcFileCopierSetIo(nullptr, nullptr);
    DeleteFileW(src.c_str());
    EXPECT_EQ(0, rec.Failures());
    EXPECT_EQ((4ull << 30) + 10, rec.Last().totalDone);
    ASSERT_FALSE(rec.blocks.empty());
    EXPECT_EQ(10u, rec.blocks.back().bytes);
    EXPECT_EQ(4ull << 30, rec.blocks.back().offset);
}

TEST(FileCopierVersion, NewerInstalledExecutablesStay)
{
    TempDir dir;
    std::wstring v4 = FixturePath(L"copier_v1004.dll"), v5 = FixturePath(L"copier_v1005.dll"),
                 app5 = FixturePath(L"copier_app_v1005.exe"), plain = FixturePath(L"copier_plain.dll");
    ASSERT_TRUE(Exists(v4) && Exists(v5) && Exists(app5) && Exists(plain));
    struct Case {
        const wchar_t* name;
        std::wstring installed, package;
        int mode;
        bool copied;
    } cases[] = {
        {L"GAME.EXE", app5, v4, 1, false},  // installed newer, upper-case extension
        {L"game.Dll", v5, v4, 1, false},
        {L"engine.dll", v5, v5, 1, true},   // equal versions are copied
        {L"engine2.dll", v4, v5, 1, true},  // older installed copy
        {L"noversion.dll", plain, v4, 1, true},
        {L"pkgnoversion.exe", v5, plain, 1, true},
        {L"data.bin", v5, v4, 1, true},     // other extensions always
        {L"mode0.exe", v5, v4, 0, true},
        {L"missing.exe", L"", v4, 1, true}, // nothing installed
    };
    for (auto& c : cases) {
        std::wstring src = dir.File(std::wstring(L"pkg_") + c.name), dst = dir.File(c.name);
        ASSERT_TRUE(CopyFileW(c.package.c_str(), src.c_str(), FALSE));
        if (!c.installed.empty()) {
            ASSERT_TRUE(CopyFileW(c.installed.c_str(), dst.c_str(), FALSE));
        }
        std::string pkgBytes, before, after;
        ReadBytes(src, &pkgBytes);
        ReadBytes(dst, &before);

        kcFileCopier probe(3, 1);
        probe.SetMode(c.mode);
        CopyJob job = {};
        wcscpy(job.source, src.c_str());
        wcscpy(job.destination, dst.c_str());
        EXPECT_EQ(c.copied, probe.NeedsCopy(job)) << c.name;

        Recorder rec;
        RunCopier(rec, {{src, dst}}, 1, c.mode);
        ReadBytes(dst, &after);
        EXPECT_EQ(0, rec.Failures()) << c.name;
        if (c.copied) {
            EXPECT_TRUE(after == pkgBytes) << c.name;
        } else {
            EXPECT_TRUE(after == before) << c.name;
            // The skip is reported with the package's size counted as done.
            ASSERT_EQ(2u, rec.reports.size()) << c.name;
            EXPECT_EQ(pkgBytes.size(), rec.reports[0].currentSize);
            EXPECT_EQ(0u, rec.reports[0].currentDone);
            EXPECT_EQ(pkgBytes.size(), rec.Last().totalDone);
            EXPECT_TRUE(rec.blocks.empty());
        }
    }
}

namespace {
const wchar_t* const kSourceText = L"ソースファイル [%s] がオープン出来ません。 : %s";
const wchar_t* const kDestText = L"出力ファイル [%s] がオープン出来ません。 : %s";

std::wstring Fill(const wchar_t* format, const std::wstring& a, const std::wstring& b = L"")
{
    std::wstring out = format;
    size_t p = out.find(L"%s");
    out.replace(p, 2, a);
    p = out.find(L"%s", p + a.size());
    if (p != std::wstring::npos) out.replace(p, 2, b);
    return out;
}

void ExpectOneFailure(const Recorder& rec, const std::wstring& text)
{
    EXPECT_EQ(1, rec.Failures());
    ASSERT_FALSE(rec.reports.empty());
    EXPECT_EQ(1, rec.Last().done);
    EXPECT_EQ(1, rec.Last().error);
    for (auto& r : rec.reports)
        if (r.error && !r.done) {
            EXPECT_EQ(text, r.text);
        }
}
} // namespace

TEST(FileCopierFailure, OpenAndFolderTexts)
{
    TempDir dir;
    std::wstring src = dir.File(L"src.txt");
    ASSERT_TRUE(WriteBytes(src, "new"));

    // A read-only installed file: the destination text with the system's reason; the file stays.
    std::wstring ro = dir.File(L"ro.txt");
    ASSERT_TRUE(WriteBytes(ro, "old"));
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_READONLY);
    Recorder r1;
    RunCopier(r1, {{src, ro}});
    ExpectOneFailure(r1, Fill(kDestText, ro, SystemText(ERROR_ACCESS_DENIED)));
    std::string bytes;
    ReadBytes(ro, &bytes);
    EXPECT_EQ("old", bytes);
    EXPECT_FALSE(Exists(ro + kcFileCopier::TempSuffix()));
    SetFileAttributesW(ro.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A missing source: the source text; no destination appears.
    Recorder r2;
    RunCopier(r2, {{dir.File(L"none.txt"), dir.File(L"out.txt")}});
    ExpectOneFailure(r2, Fill(kSourceText, dir.File(L"none.txt"), SystemText(ERROR_FILE_NOT_FOUND)));
    EXPECT_FALSE(Exists(dir.File(L"out.txt")));

    // A file where a folder is wanted: the folder text names the destination's parent.
    ASSERT_TRUE(WriteBytes(dir.File(L"blocker"), "x"));
    Recorder r3;
    RunCopier(r3, {{src, dir.File(L"blocker\\sub\\out.txt")}});
    ExpectOneFailure(r3, Fill(L"フォルダ [%s] が作成出来ません", dir.File(L"blocker\\sub")));

    // An installed file held open by another process: its contents stay.
    std::wstring held = dir.File(L"held.txt");
    ASSERT_TRUE(WriteBytes(held, "installed"));
    HANDLE h = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    Recorder r4;
    RunCopier(r4, {{src, held}});
    CloseHandle(h);
    ExpectOneFailure(r4, Fill(kDestText, held, SystemText(ERROR_SHARING_VIOLATION)));
    ReadBytes(held, &bytes);
    EXPECT_EQ("installed", bytes);
    EXPECT_FALSE(Exists(held + kcFileCopier::TempSuffix()));
}

TEST(FileCopierFailure, OverlongPathsAreRefusedBeforeCopying)
{
    TempDir dir;
    std::wstring src = dir.File(L"src.txt");
    ASSERT_TRUE(WriteBytes(src, "data"));
    std::wstring longName = dir.File(std::wstring(300, L'n'));
    struct Case {
        std::wstring source, destination;
        bool sourceSide;
    } cases[] = {
        {src, longName, false},
        {longName, dir.File(L"b.txt"), true},
        // Fits the field, but not with the temporary file's suffix.
        {src, dir.File(std::wstring(259 - dir.Path().size() - 1 - 2, L'm')), false},
    };
    for (auto& c : cases) {
        Recorder rec;
        RunCopier(rec, {{src, dir.File(L"first.txt")}, {c.source, c.destination}});
        EXPECT_FALSE(Exists(dir.File(L"first.txt"))) << "nothing may be copied";
        EXPECT_EQ(1, rec.Failures());
        ASSERT_FALSE(rec.reports.empty());
        const std::wstring& t = rec.reports[0].text;
        EXPECT_EQ(0u, t.find(c.sourceSide ? L"ソースファイル [" : L"出力ファイル [")) << t;
        EXPECT_NE(std::wstring::npos, t.find(SystemText(ERROR_FILENAME_EXCED_RANGE)));
        EXPECT_LT(t.size(), 514u);
    }
}

namespace {
volatile LONG g_reads, g_writes;
int g_failRead, g_failWrite; // 1-based call that fails; 0 never
DWORD g_readCode, g_writeCode;
bool g_readShort, g_writeShort;
std::vector<unsigned> g_requests;

int FaultyRead(void* file, void* buffer, unsigned bytes, unsigned* done)
{
    LONG n = InterlockedIncrement(&g_reads);
    g_requests.push_back(bytes);
    DWORD got = 0;
    BOOL ok = ReadFile(file, buffer, bytes, &got, nullptr);
    *done = got;
    if (n == g_failRead) {
        if (g_readShort) {
            *done = got / 2;
            return 1;
        }
        SetLastError(g_readCode);
        return 0;
    }
    return ok;
}

int FaultyWrite(void* file, void* buffer, unsigned bytes, unsigned* done)
{
    LONG n = InterlockedIncrement(&g_writes);
    if (n == g_failWrite) {
        DWORD put = 0;
        if (g_writeShort) {
            WriteFile(file, buffer, bytes / 2, &put, nullptr);
            *done = put;
            return 1;
        }
        *done = 0;
        SetLastError(g_writeCode);
        return 0;
    }
    DWORD put = 0;
    BOOL ok = WriteFile(file, buffer, bytes, &put, nullptr);
    *done = put;
    return ok;
}
} // namespace

TEST(FileCopierFailure, InjectedReadAndWriteFaults)
{
    TempDir dir;
    std::wstring src = dir.File(L"src.bin");
    ASSERT_TRUE(WriteBytes(src, Pattern(5 << 20, 7)));
    struct Case {
        int failRead;
        DWORD readCode;
        bool readShort;
        int failWrite;
        DWORD writeCode;
        bool writeShort;
        DWORD expected; // 0: either of both
    } cases[] = {
        {2, ERROR_CRC, false, 0, 0, false, ERROR_CRC},
        {2, 0, false, 0, 0, false, ERROR_READ_FAULT},       // a failure without a reason
        {3, 0, true, 0, 0, false, ERROR_HANDLE_EOF},        // short read
        {0, 0, false, 2, ERROR_DISK_FULL, false, ERROR_DISK_FULL},
        {0, 0, false, 2, 0, false, ERROR_WRITE_FAULT},
        {0, 0, false, 3, 0, true, ERROR_DISK_FULL},         // short write, also at the last block
        {1, ERROR_CRC, false, 1, ERROR_DISK_FULL, false, 0}, // both threads fail
    };
    int i = 0;
    for (auto& c : cases) {
        for (int existing = 0; existing <= 1; ++existing) {
            std::wstring dst = dir.File(L"dst" + std::to_wstring(i++) + L".bin");
            if (existing) {
                ASSERT_TRUE(WriteBytes(dst, "installed"));
            }
            g_reads = g_writes = 0;
            g_failRead = c.failRead;
            g_readCode = c.readCode;
            g_readShort = c.readShort;
            g_failWrite = c.failWrite;
            g_writeCode = c.writeCode;
            g_writeShort = c.writeShort;
            kcFileCopierSetIo(FaultyRead, FaultyWrite);
            Recorder rec;
            RunCopier(rec, {{src, dst}, {src, dst + L".second"}});
            kcFileCopierSetIo(nullptr, nullptr);
            if (c.expected) {
                ExpectOneFailure(rec, SystemText(c.expected));
            } else {
                EXPECT_EQ(1, rec.Failures());
                EXPECT_EQ(1, rec.Last().error);
            }
            // A failed file counts for nothing and leaves the installed one as it was.
            EXPECT_EQ(0u, rec.Last().totalDone);
            std::string bytes;
            if (existing) {
                ReadBytes(dst, &bytes);
                EXPECT_EQ("installed", bytes);
            } else {
                EXPECT_FALSE(Exists(dst));
            }
            EXPECT_FALSE(Exists(dst + kcFileCopier::TempSuffix()));
            EXPECT_FALSE(Exists(dst + L".second"));
        }
    }
}

TEST(FileCopierFailure, UnbufferedTailRequestsWholeSectors)
{
    CapsScope caps;
    TempDir dir;
    unsigned sector = SectorSizeOf(dir.Path());
    ASSERT_NE(0u, sector);
    std::wstring src = dir.File(L"src.bin"), dst = dir.File(L"dst.bin");
    ASSERT_TRUE(WriteBytes(src, Pattern(1000, 3)));
    g_reads = g_writes = 0;
    g_failRead = g_failWrite = 0;
    g_requests.clear();
    kcFileCopierSetIo(FaultyRead, FaultyWrite);
    Recorder rec;
    RunCopier(rec, {{src, dst}}, 0);
    kcFileCopierSetIo(nullptr, nullptr);
    EXPECT_EQ(0, rec.Failures());
    ASSERT_EQ(1u, g_requests.size());
    EXPECT_EQ((1000 + sector - 1) / sector * sector, g_requests[0]);
    ASSERT_EQ(1u, rec.blocks.size());
    EXPECT_EQ(1000u, rec.blocks[0].bytes);
    std::string a, b;
    ReadBytes(src, &a);
    ReadBytes(dst, &b);
    EXPECT_TRUE(a == b);
}

TEST(FileCopierStop, RefusalsEndTheRun)
{
    TempDir dir;
    std::wstring src = dir.File(L"src.bin");
    const std::string data = Pattern(5 << 20, 9);
    ASSERT_TRUE(WriteBytes(src, data));
    // Refused at the first block: the installed file stays and nothing else is copied.
    std::wstring dst = dir.File(L"dst.bin");
    ASSERT_TRUE(WriteBytes(dst, "installed"));
    Recorder r1;
    r1.refuseAt = 0;
    RunCopier(r1, {{src, dst}, {src, dir.File(L"next.bin")}});
    EXPECT_EQ(0, r1.Failures());
    EXPECT_EQ(1, r1.Last().done);
    EXPECT_EQ(0, r1.Last().error);
    EXPECT_EQ(0u, r1.Last().totalDone);
    std::string bytes;
    ReadBytes(dst, &bytes);
    EXPECT_EQ("installed", bytes);
    EXPECT_FALSE(Exists(dst + kcFileCopier::TempSuffix()));
    EXPECT_FALSE(Exists(dir.File(L"next.bin")));

    // Refused at the last block: that file is whole, so it is installed; the run still ends.
    Recorder r2;
    r2.refuseAt = 2;
    RunCopier(r2, {{src, dst}, {src, dir.File(L"next.bin")}});
    ReadBytes(dst, &bytes);
    EXPECT_TRUE(bytes == data);
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(dst.c_str()));
    EXPECT_FALSE(Exists(dir.File(L"next.bin")));

    // Refused at a skipped job.
    std::wstring app = dir.File(L"app.exe");
    ASSERT_TRUE(CopyFileW(FixturePath(L"copier_app_v1005.exe").c_str(), app.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(FixturePath(L"copier_v1004.dll").c_str(), dir.File(L"pkg.exe").c_str(), FALSE));
    Recorder r3;
    r3.refuseAt = 0;
    RunCopier(r3, {{dir.File(L"pkg.exe"), app}, {src, dir.File(L"next.bin")}}, 1, 1);
    EXPECT_EQ(2u, r3.reports.size());
    EXPECT_FALSE(Exists(dir.File(L"next.bin")));
}

namespace {
struct Teardown {
    HANDLE reached = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    volatile LONG count = 0;
    LONG at = 0;
    ~Teardown() { CloseHandle(reached); }
    static int Callback(void* user, CopyStatus* s)
    {
        Teardown* t = (Teardown*)user;
        if (InterlockedIncrement(&t->count) == t->at) SetEvent(t->reached);
        return 1;
    }
};
} // namespace

TEST(FileCopierStop, TeardownWhileRunning)
{
    CapsScope caps;
    TempDir dir;
    const std::string data = Pattern(3 << 20, 11);
    ASSERT_TRUE(WriteBytes(dir.File(L"a.bin"), data));
    ASSERT_TRUE(WriteBytes(dir.File(L"b.bin"), ""));
    int live = kcHeapLiveBlocks();
    for (int round = 0; round < 40; ++round) {
        std::wstring out = dir.File(L"out" + std::to_wstring(round));
        std::vector<Job> jobs = {{dir.File(L"a.bin"), out + L"\\1.bin"},
                                 {dir.File(L"b.bin"), out + L"\\2.bin"},
                                 {dir.File(L"a.bin"), out + L"\\3.bin"},
                                 {dir.File(L"a.bin"), out + L"\\4.bin"}};
        Teardown t;
        t.at = round % 8; // 0: destroyed right after the start
        {
            kcFileCopier copier(3, round & 1);
            for (auto& j : jobs) copier.AddJob(j.source.c_str(), j.destination.c_str(), 0);
            copier.Start(&Teardown::Callback, &t, nullptr);
            if (t.at) WaitForSingleObject(t.reached, 60000);
        }
        // No report after the destructor, and every destination is absent or whole.
        LONG seen = t.count;
        EXPECT_EQ(seen, t.count);
        for (auto& j : jobs) {
            std::string src, dst;
            ReadBytes(j.source, &src);
            if (ReadBytes(j.destination, &dst)) {
                EXPECT_TRUE(src == dst) << round;
            }
            EXPECT_FALSE(Exists(j.destination + kcFileCopier::TempSuffix())) << round;
        }
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
