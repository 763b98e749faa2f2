#include "kcCaps.h"
#include "kcFileCopier.h"
#include "kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <mutex>

namespace {

// Sector I/O depends on the OS code of the capability record.
struct CapsScope {
    kcCaps* caps = kcCaps::Instance() ? nullptr : new kcCaps(KCCAPS_OS, 0);
    ~CapsScope() { delete caps; }
};

struct Seen {
    int done, error;
    std::wstring text;
    unsigned long long currentSize, totalSize, totalDone;
};

// Records every report and block; refuses at a chosen progress report; signals the final
// report or the report numbered signalAt.
struct Recorder {
    std::mutex mutex;
    std::vector<Seen> reports;
    std::vector<std::pair<unsigned long long, unsigned>> blocks; // offset, bytes
    int refuseAt = -1, progress = 0, signalAt = -1;
    HANDLE signal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Recorder() { CloseHandle(signal); }

    static int Callback(void* user, CopyStatus* s)
    {
        Recorder* r = (Recorder*)user;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->reports.push_back({s->done, s->error, s->errorText, s->currentSize, s->totalSize, s->totalDone});
        if (s->done || (int)r->reports.size() == r->signalAt) SetEvent(r->signal);
        return s->done || s->error || r->progress++ != r->refuseAt;
    }
    static void Hook(void* user, const void*, unsigned long long offset, unsigned bytes, CopyStatus*)
    {
        Recorder* r = (Recorder*)user;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->blocks.push_back({offset, bytes});
    }
    std::vector<std::wstring> Failures() const
    {
        std::vector<std::wstring> texts;
        for (auto& x : reports)
            if (x.error && !x.done) texts.push_back(x.text);
        return texts;
    }
};

typedef std::vector<std::pair<std::wstring, std::wstring>> Jobs; // source, destination

// Runs one copier to its final report and destroys it.
void RunCopier(Recorder& rec, const Jobs& jobs, int noSectorIo = 1, int mode = 0)
{
    kcFileCopier copier(3, noSectorIo);
    copier.SetMode(mode);
    for (auto& j : jobs) copier.AddJob(j.first.c_str(), j.second.c_str(), 0);
    ASSERT_EQ(1, copier.Start(&Recorder::Callback, &rec, &Recorder::Hook));
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(rec.signal, 120000));
}

std::string Pattern(size_t n, unsigned seed)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = (char)((i * 2654435761u + seed) >> 13);
    return s;
}

std::string Bytes(const std::wstring& path)
{
    std::string bytes;
    return ReadBytes(path, &bytes) ? bytes : "<missing>";
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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

unsigned SectorSizeOf(const std::wstring& path)
{
    DWORD spc, bps = 0, f, t;
    return GetDiskFreeSpaceW(path.substr(0, path.find(L'\\') + 1).c_str(), &spc, &bps, &f, &t) ? bps : 0;
}

// The I/O seam: records read requests, fails or falls short at a chosen call, or moves no data.
struct Fault {
    int call = 0; // 1-based call that fails; 0 never
    DWORD code = 0;
    bool shortIo = false;
};
struct Seam {
    Fault read, write;
    bool noData = false;
    volatile LONG reads = 0, writes = 0;
    std::vector<unsigned> requests;
} g_seam;

int SeamIo(bool reading, void* file, void* buffer, unsigned bytes, unsigned* done)
{
    const Fault& fault = reading ? g_seam.read : g_seam.write;
    const bool hit = InterlockedIncrement(reading ? &g_seam.reads : &g_seam.writes) == fault.call;
    if (reading) g_seam.requests.push_back(bytes);
    *done = 0;
    if (hit && !fault.shortIo) {
        SetLastError(fault.code);
        return 0;
    }
    if (hit) bytes /= 2; // succeeds, moving half
    DWORD moved = bytes;
    const BOOL ok = g_seam.noData || (reading ? ReadFile(file, buffer, bytes, &moved, nullptr)
                                              : WriteFile(file, buffer, bytes, &moved, nullptr));
    *done = moved;
    return ok;
}
int SeamRead(void* f, void* b, unsigned n, unsigned* d) { return SeamIo(true, f, b, n, d); }
int SeamWrite(void* f, void* b, unsigned n, unsigned* d) { return SeamIo(false, f, b, n, d); }

struct SeamScope {
    explicit SeamScope(const Seam& seam)
    {
        g_seam.read = seam.read;
        g_seam.write = seam.write;
        g_seam.noData = seam.noData;
        g_seam.reads = g_seam.writes = 0;
        g_seam.requests.clear();
        kcFileCopierSetIo(SeamRead, SeamWrite);
    }
    ~SeamScope() { kcFileCopierSetIo(nullptr, nullptr); }
};

} // namespace

TEST(FileCopier, BlockPlans)
{
    struct {
        unsigned sector, bytes;
        int unbuffered;
        unsigned capacity, request;
    } plans[] = {{512, 1000, 1, 1049088, 1024},   {512, 1000, 0, 1049088, 1000}, {4096, 1, 1, 1052672, 4096},
                 {0, 1000, 1, 2097152, 1000},      {512, 523264, 1, 1049088, 523264}};
    for (auto& p : plans) {
        EXPECT_EQ(p.capacity, kcFileCopier::BlockCapacity(p.sector));
        EXPECT_EQ(p.request, kcFileCopier::BlockRequest(p.bytes, p.sector, p.unbuffered));
    }

    // Runs: blocks of the ring's capacity one after another, the last one short, reads of whole
    // sectors when unbuffered; a sparse source beyond 4 GiB (moving no data) counts in 64 bits.
    CapsScope caps;
    TempDir dir;
    const unsigned sector = SectorSizeOf(dir.Path());
    ASSERT_NE(0u, sector);
    ASSERT_TRUE(WriteBytes(dir.File(L"five"), Pattern(5 << 20, 1)));
    ASSERT_TRUE(WriteBytes(dir.File(L"twohalf"), Pattern(2621440, 2)));
    ASSERT_TRUE(WriteBytes(dir.File(L"small"), Pattern(1000, 3)));
    const unsigned long long sparseSize = (4ull << 30) + 10;
    HANDLE h = CreateFileW(dir.File(L"sparse").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD ret;
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ret, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = sparseSize;
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    struct {
        const wchar_t* name;
        unsigned long long size;
        int noSectorIo;
    } runs[] = {{L"five", 5 << 20, 1}, {L"twohalf", 2621440, 0}, {L"small", 1000, 0}, {L"sparse", sparseSize, 1}};
    for (auto& r : runs) {
        SCOPED_TRACE(testing::Message() << r.size);
        Seam seam;
        seam.noData = r.size == sparseSize;
        SeamScope scope(seam);
        Recorder rec;
        RunCopier(rec, {{dir.File(r.name), dir.File(r.name) + L".copy"}}, r.noSectorIo);
        const unsigned sectorUsed = r.noSectorIo ? 0 : sector, capacity = kcFileCopier::BlockCapacity(sectorUsed);
        ASSERT_EQ((r.size + capacity - 1) / capacity, rec.blocks.size());
        ASSERT_EQ(rec.blocks.size(), g_seam.requests.size());
        unsigned long long offset = 0;
        for (size_t i = 0; i < rec.blocks.size(); ++i) {
            const unsigned bytes = (unsigned)std::min<unsigned long long>(capacity, r.size - offset);
            EXPECT_EQ(offset, rec.blocks[i].first);
            EXPECT_EQ(bytes, rec.blocks[i].second);
            EXPECT_EQ(kcFileCopier::BlockRequest(bytes, sectorUsed, !r.noSectorIo), g_seam.requests[i]);
            offset += bytes;
        }
        EXPECT_TRUE(rec.Failures().empty());
        EXPECT_EQ(r.size, rec.reports.back().totalDone);
    }
    DeleteFileW(dir.File(L"sparse").c_str());
}

TEST(FileCopier, BlockEdgeCopiesAreByteExact)
{
    CapsScope caps;
    TempDir dir;
    for (int noSector = 0; noSector <= 1; ++noSector) {
        const unsigned long long cap = kcFileCopier::BlockCapacity(noSector ? 0 : SectorSizeOf(dir.Path()));
        const unsigned long long sizes[] = {0, 1, 511, 512, 513, 4096, cap - 1, cap, cap + 1, 2 * cap, 3 * cap + 7};
        Jobs jobs;
        unsigned long long total = 0;
        for (size_t i = 0; i < sizeof(sizes) / sizeof(sizes[0]); ++i) {
            const std::wstring n = std::to_wstring(noSector) + L"_" + std::to_wstring(i);
            ASSERT_TRUE(WriteBytes(dir.File(L"s" + n), Pattern((size_t)sizes[i], (unsigned)i)));
            jobs.push_back({dir.File(L"s" + n), dir.File(L"out" + n + L"\\sub\\d" + n)});
            total += sizes[i];
        }
        // Installed files of other contents are replaced whole, also by an empty file.
        for (int k : {0, 3}) {
            CreateDirectoryW(jobs[k].second.substr(0, jobs[k].second.rfind(L"\\sub")).c_str(), nullptr);
            CreateDirectoryW(jobs[k].second.substr(0, jobs[k].second.rfind(L'\\')).c_str(), nullptr);
            ASSERT_TRUE(WriteBytes(jobs[k].second, "old contents that are longer than nothing"));
        }
        Recorder rec;
        RunCopier(rec, jobs, noSector);
        EXPECT_TRUE(rec.Failures().empty());
        EXPECT_EQ(1, rec.reports.back().done);
        EXPECT_EQ(0, rec.reports.back().error);
        EXPECT_EQ(total, rec.reports.back().totalSize);
        EXPECT_EQ(total, rec.reports.back().totalDone);
        for (auto& j : jobs) {
            EXPECT_TRUE(Bytes(j.first) == Bytes(j.second)) << j.second;
            EXPECT_FALSE(Exists(j.second + kcFileCopier::TempSuffix()));
            EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(j.second.c_str()));
        }
    }
}

TEST(FileCopier, FailuresReportOnceAndLeaveTheInstalledFile)
{
    TempDir dir;
    const std::wstring src = dir.File(L"src.bin");
    ASSERT_TRUE(WriteBytes(src, Pattern(5 << 20, 7))); // three cached blocks
    ASSERT_TRUE(WriteBytes(dir.File(L"blocker"), "x") && WriteBytes(dir.File(L"empty"), ""));
    auto open = [](const wchar_t* side, const std::wstring& path, DWORD code) {
        return std::wstring(side) + L" [" + path + L"] がオープン出来ません。 : " + SystemText(code);
    };
    const std::wstring longName = dir.File(std::wstring(300, L'n')), tight = dir.File(L"t");
    const std::wstring noRoom = tight + std::wstring(kcFileCopier::kMaxPathChars - 2 - tight.size(), L't');
    enum { kNew, kInstalled, kReadOnly, kHeld };
    struct Case {
        const char* name;
        int installed;
        std::wstring source, destination;
        Fault read, write;
        std::wstring text, other; // the one failure text (or the other one, when both threads fail)
        bool upFront;             // refused before anything is copied
    } cases[] = {
        {"read-only", kReadOnly, src, dir.File(L"ro"), {}, {}, open(L"出力ファイル", dir.File(L"ro"), ERROR_ACCESS_DENIED)},
        {"held open", kHeld, src, dir.File(L"held"), {}, {}, open(L"出力ファイル", dir.File(L"held"), ERROR_SHARING_VIOLATION)},
        {"no source", kNew, dir.File(L"none"), dir.File(L"o1"), {}, {}, open(L"ソースファイル", dir.File(L"none"), ERROR_FILE_NOT_FOUND)},
        {"file for a folder", kNew, src, dir.File(L"blocker\\sub\\o"), {}, {}, L"フォルダ [" + dir.File(L"blocker\\sub") + L"] が作成出来ません"},
        {"long destination", kNew, src, longName, {}, {}, open(L"出力ファイル", longName.substr(0, 259), ERROR_FILENAME_EXCED_RANGE), L"", true},
        {"long source", kNew, longName, dir.File(L"o2"), {}, {}, open(L"ソースファイル", longName.substr(0, 259), ERROR_FILENAME_EXCED_RANGE), L"", true},
        {"no room for the suffix", kNew, src, noRoom, {}, {}, open(L"出力ファイル", noRoom, ERROR_FILENAME_EXCED_RANGE), L"", true},
        {"read fails", kInstalled, src, dir.File(L"r1"), {2, ERROR_CRC}, {}, SystemText(ERROR_CRC)},
        {"read fails without a reason", kNew, src, dir.File(L"r2"), {2, 0}, {}, SystemText(ERROR_READ_FAULT)},
        {"short read", kInstalled, src, dir.File(L"r3"), {3, 0, true}, {}, SystemText(ERROR_HANDLE_EOF)},
        {"write fails", kNew, src, dir.File(L"w1"), {}, {2, ERROR_DISK_FULL}, SystemText(ERROR_DISK_FULL)},
        {"write fails without a reason", kInstalled, src, dir.File(L"w2"), {}, {2, 0}, SystemText(ERROR_WRITE_FAULT)},
        {"short last write", kInstalled, src, dir.File(L"w3"), {}, {3, 0, true}, SystemText(ERROR_DISK_FULL)},
        {"short write", kNew, src, dir.File(L"w4"), {}, {1, 0, true}, SystemText(ERROR_DISK_FULL)},
        {"both fail", kInstalled, src, dir.File(L"b"), {1, ERROR_CRC}, {1, ERROR_DISK_FULL}, SystemText(ERROR_CRC), SystemText(ERROR_DISK_FULL)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HANDLE held = nullptr;
        ASSERT_TRUE(c.installed == kNew || WriteBytes(c.destination, "installed"));
        if (c.installed == kReadOnly) SetFileAttributesW(c.destination.c_str(), FILE_ATTRIBUTE_READONLY);
        if (c.installed == kHeld) held = CreateFileW(c.destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const std::wstring first = dir.File(L"first"), next = dir.File(L"next");
        DeleteFileW(first.c_str());
        // The first job moves no bytes, so the faults count from the failing job's calls.
        Seam seam;
        seam.read = c.read;
        seam.write = c.write;
        Recorder rec;
        {
            SeamScope scope(seam);
            RunCopier(rec, {{dir.File(L"empty"), first}, {c.source, c.destination}, {src, next}});
        }
        if (held) CloseHandle(held);
        SetFileAttributesW(c.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        const std::vector<std::wstring> failures = rec.Failures();
        ASSERT_EQ(1u, failures.size());
        EXPECT_TRUE(failures[0] == c.text || failures[0] == c.other) << failures[0];
        EXPECT_EQ(1, rec.reports.back().error);
        // A failed file counts for nothing; the installed one stays as it was, and nothing after it is copied.
        EXPECT_EQ(0u, rec.reports.back().totalDone);
        EXPECT_EQ(c.installed != kNew ? "installed" : "<missing>", Bytes(c.destination));
        EXPECT_FALSE(Exists(c.destination + kcFileCopier::TempSuffix()));
        EXPECT_NE(c.upFront, Exists(first));
        EXPECT_FALSE(Exists(next));
    }
}

TEST(FileCopier, NewerInstalledExecutablesStay)
{
    TempDir dir;
    const std::wstring v4 = FixturePath(L"copier_v1004.dll"), v5 = FixturePath(L"copier_v1005.dll"),
                       app5 = FixturePath(L"copier_app_v1005.exe"), plain = FixturePath(L"copier_plain.dll");
    struct {
        const wchar_t* name;
        std::wstring installed, package;
        int mode;
        bool copied;
    } cases[] = {
        {L"GAME.EXE", app5, v4, 1, false}, // installed newer, upper-case extension
        {L"game.Dll", v5, v4, 1, false},
        {L"same.dll", v5, v5, 1, true}, // equal versions are copied
        {L"older.dll", v4, v5, 1, true},
        {L"noversion.dll", plain, v4, 1, true},
        {L"pkgnoversion.exe", v5, plain, 1, true},
        {L"data.bin", v5, v4, 1, true}, // other extensions always
        {L"mode0.exe", v5, v4, 0, true},
        {L"missing.exe", L"", v4, 1, true},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.name);
        const std::wstring src = dir.File(std::wstring(L"pkg_") + c.name), dst = dir.File(c.name);
        ASSERT_TRUE(CopyFileW(c.package.c_str(), src.c_str(), FALSE));
        ASSERT_TRUE(c.installed.empty() || CopyFileW(c.installed.c_str(), dst.c_str(), FALSE));
        const std::string package = Bytes(src), before = Bytes(dst);
        Recorder rec;
        RunCopier(rec, {{src, dst}}, 1, c.mode);
        EXPECT_TRUE(rec.Failures().empty());
        EXPECT_TRUE(Bytes(dst) == (c.copied ? package : before));
        if (!c.copied) {
            // The skip is reported with the package's size counted as done.
            ASSERT_EQ(2u, rec.reports.size());
            EXPECT_EQ(package.size(), rec.reports[0].currentSize);
            EXPECT_EQ(package.size(), rec.reports.back().totalDone);
            EXPECT_TRUE(rec.blocks.empty());
        }
    }
}

TEST(FileCopier, StopAndTeardownInALoop)
{
    // Odd rounds refuse at a progress report, even ones destroy the copier at a report (0: at
    // once). Either way an installed file stays or is replaced whole, a new one is whole or
    // absent, no temporary file is left, and no memory.
    CapsScope caps;
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File(L"a.bin"), Pattern(3 << 20, 11)));
    ASSERT_TRUE(WriteBytes(dir.File(L"b.bin"), ""));
    const int live = kcHeapLiveBlocks();
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const std::wstring out = dir.File(L"out" + std::to_wstring(round));
        const Jobs jobs = {{dir.File(L"a.bin"), out + L"\\1.bin"},
                           {dir.File(L"b.bin"), out + L"\\2.bin"},
                           {dir.File(L"a.bin"), out + L"\\3.bin"},
                           {dir.File(L"a.bin"), out + L"\\4.bin"}};
        ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr) && WriteBytes(jobs[0].second, "installed"));
        Recorder rec;
        const int at = (round / 2) % 8;
        if (round & 1) {
            rec.refuseAt = at;
            RunCopier(rec, jobs, (round >> 1) & 1);
            EXPECT_TRUE(rec.Failures().empty());
            EXPECT_EQ(1, rec.reports.back().done);
        } else {
            rec.signalAt = at;
            kcFileCopier copier(3, (round >> 1) & 1);
            for (auto& j : jobs) copier.AddJob(j.first.c_str(), j.second.c_str(), 0);
            copier.Start(&Recorder::Callback, &rec, nullptr);
            if (at) WaitForSingleObject(rec.signal, 60000);
        }
        for (auto& j : jobs) {
            const std::string bytes = Bytes(j.second);
            EXPECT_TRUE(bytes == Bytes(j.first) || bytes == (&j == &jobs[0] ? "installed" : "<missing>")) << j.second;
            EXPECT_FALSE(Exists(j.second + kcFileCopier::TempSuffix()));
        }
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}
