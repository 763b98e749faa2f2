#include "foundation/kcCaps.h"
#include "updater/kcFileCopier.h"
#include "foundation/kcFolder.h"
#include "foundation/kcHeap.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <algorithm>
#include <mutex>
#include <set>

namespace {

// Sector I/O depends on the OS code of the capability record.
struct CapsScope {
    kcCaps* caps = kcCaps::Instance() ? nullptr : new kcCaps(KCCAPS_OS, 0);
    ~CapsScope() { delete caps; }
};

// Records every report and block; refuses at a chosen progress report; signals the final
// report or the report numbered signalAt.
struct Recorder {
    std::mutex mutex;
    std::vector<CopyStatus> reports;
    std::vector<std::pair<unsigned long long, unsigned>> blocks; // offset, bytes
    int refuseAt = -1, progress = 0, signalAt = -1;
    // Refused its replacement once its last block is written: read-only, and held for Wine.
    std::wstring refuseReplace;
    HANDLE refusing = nullptr;
    HANDLE signal = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ~Recorder() { CloseHandle(signal); }

    static int Callback(void* user, CopyStatus* s)
    {
        Recorder* r = (Recorder*)user;
        std::lock_guard<std::mutex> lock(r->mutex);
        r->reports.push_back(*s);
        if (!s->done && s->currentSize && s->currentDone == s->currentSize && r->refuseReplace == s->destination) {
            SetFileAttributesW(s->destination, FILE_ATTRIBUTE_READONLY);
            r->refusing = CreateFileW(s->destination, FILE_READ_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        }
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
            if (x.error && !x.done) texts.push_back(x.errorText);
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

// Files of the user's under the first names of the copier's temporaries: written, or checked
// whole and alone beside the destination.
bool Planted(const std::wstring& destination, int names, bool write = false)
{
    wchar_t temp[260];
    for (int i = 0; i < names; ++i) {
        const std::string bytes = "planted " + std::to_string(i);
        if (!kcFileCopier::TempPath(destination.c_str(), i, temp) || !(write ? WriteBytes(temp, bytes) : Bytes(temp) == bytes)) return false;
    }
    const size_t cut = destination.find_last_of(L'\\');
    const std::wstring prefix = destination.substr(cut + 1) + L".kct";
    const std::vector<std::wstring> files = FilesIn(destination.substr(0, cut));
    return write || names == std::count_if(files.begin(), files.end(), [&](const std::wstring& f) { return !f.compare(0, prefix.size(), prefix); });
}

std::wstring SystemText(DWORD code)
{
    wchar_t text[514] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0x400, text, 514, nullptr);
    return text;
}

// The I/O seam: records the read requests; fails, or succeeds moving half, at a chosen call;
// or moves no data at all.
struct Fault {
    int call = 0; // 1-based; 0 never
    DWORD code = 0;
    bool half = false;
};
struct {
    Fault faults[2]; // read, write
    bool noData;
    volatile LONG calls[2];
    std::vector<unsigned> requests;
} g_seam;

int SeamIo(int writing, void* file, void* buffer, unsigned bytes, unsigned* done)
{
    const Fault& fault = g_seam.faults[writing];
    const bool hit = InterlockedIncrement(&g_seam.calls[writing]) == fault.call;
    if (!writing) g_seam.requests.push_back(bytes);
    *done = 0;
    if (hit && !fault.half) {
        SetLastError(fault.code);
        return 0;
    }
    DWORD moved = bytes = hit ? bytes / 2 : bytes;
    const BOOL ok = g_seam.noData || (writing ? WriteFile(file, buffer, bytes, &moved, nullptr)
                                              : ReadFile(file, buffer, bytes, &moved, nullptr));
    *done = moved;
    return ok;
}

struct SeamScope {
    SeamScope(Fault read = {}, Fault write = {}, bool noData = false)
    {
        g_seam.faults[0] = read;
        g_seam.faults[1] = write;
        g_seam.noData = noData;
        g_seam.calls[0] = g_seam.calls[1] = 0;
        g_seam.requests.clear();
        kcFileCopierSetIo([](void* f, void* b, unsigned n, unsigned* d) { return SeamIo(0, f, b, n, d); },
                          [](void* f, void* b, unsigned n, unsigned* d) { return SeamIo(1, f, b, n, d); });
    }
    ~SeamScope() { kcFileCopierSetIo(nullptr, nullptr); }
};

} // namespace

TEST(FileCopier, BlockPlansAndByteExactCopies)
{
    struct {
        unsigned sector, bytes, unbuffered, capacity, request;
    } plans[] = {{512, 1000, 1, 1049088, 1024}, {512, 1000, 0, 1049088, 1000}, {4096, 1, 1, 1052672, 4096},
                 {0, 1000, 1, 2097152, 1000},    {512, 523264, 1, 1049088, 523264}};
    for (auto& p : plans) {
        EXPECT_EQ(p.capacity, kcFileCopier::BlockCapacity(p.sector));
        EXPECT_EQ(p.request, kcFileCopier::BlockRequest(p.bytes, p.sector, p.unbuffered));
    }
    // Files at the block edges through the volume's sectors, then through the cache: blocks of
    // the ring's capacity one after another, unbuffered reads of whole sectors, exact bytes;
    // installed files of other contents are replaced whole, also by an empty file. Last, a
    // sparse source beyond 4 GiB (moving no data) counts in 64 bits.
    CapsScope caps;
    TempDir dir;
    DWORD spc, sector = 0, f, t;
    ASSERT_TRUE(GetDiskFreeSpaceW(dir.Path().substr(0, 3).c_str(), &spc, &sector, &f, &t));
    const unsigned long long sparse = (4ull << 30) + 10;
    HANDLE h = CreateFileW(dir.File(L"sparse").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &spc, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = sparse;
    ASSERT_TRUE(SetFilePointerEx(h, end, nullptr, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    for (int run = 0; run < 3; ++run) {
        const unsigned used = run ? 0 : sector, cap = kcFileCopier::BlockCapacity(used);
        std::vector<unsigned long long> sizes = {0, 1, 511, 512, 513, 4096, cap - 1, cap, cap + 1, 2ull * cap, 3ull * cap + 7};
        if (run == 2) sizes = {sparse};
        Jobs jobs;
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::wstring n = std::to_wstring(run) + L"_" + std::to_wstring(i), out = dir.File(L"out" + n);
            jobs.push_back({run == 2 ? dir.File(L"sparse") : dir.File(L"s" + n), out + L"\\sub\\d"});
            ASSERT_TRUE(run == 2 || WriteBytes(jobs.back().first, Pattern((size_t)sizes[i], (unsigned)i)));
            ASSERT_TRUE((i != 0 && i != 3) || (CreateDirectoryW(out.c_str(), nullptr) && CreateDirectoryW((out + L"\\sub").c_str(), nullptr) &&
                                               WriteBytes(jobs.back().second, "old contents that are longer than nothing")));
            ASSERT_TRUE(i != 3 || Planted(jobs.back().second, 2, true)); // the copy takes the third name
        }
        SeamScope scope({}, {}, run == 2);
        Recorder rec;
        RunCopier(rec, jobs, run != 0);
        size_t block = 0;
        unsigned long long total = 0;
        for (size_t i = 0; i < sizes.size(); total += sizes[i++]) {
            for (unsigned long long offset = 0; offset < sizes[i]; offset += cap, ++block) {
                const unsigned bytes = (unsigned)std::min<unsigned long long>(cap, sizes[i] - offset);
                ASSERT_LT(block, rec.blocks.size());
                EXPECT_EQ(offset, rec.blocks[block].first);
                EXPECT_EQ(bytes, rec.blocks[block].second);
                EXPECT_EQ(kcFileCopier::BlockRequest(bytes, used, !run), g_seam.requests[block]);
            }
            if (run == 2) continue;
            EXPECT_TRUE(Bytes(jobs[i].first) == Bytes(jobs[i].second)) << sizes[i];
            EXPECT_TRUE(Planted(jobs[i].second, i == 3 ? 2 : 0));
            EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(jobs[i].second.c_str()));
        }
        EXPECT_EQ(block, rec.blocks.size());
        EXPECT_TRUE(rec.Failures().empty() && rec.reports.back().done);
        EXPECT_EQ(total, rec.reports.back().totalSize);
        EXPECT_EQ(total, rec.reports.back().totalDone);
    }
    DeleteFileW(dir.File(L"sparse").c_str());
}

TEST(FileCopier, TemporaryNamesFitBesideTheLongestDestination)
{
    const std::wstring longest(kcFileCopier::kMaxDestinationChars, L'd'); // each name adds six characters
    std::set<std::wstring> names;
    wchar_t temp[260];
    for (int i = 0; i <= kcFileCopier::kTempNames; ++i)
        if (kcFileCopier::TempPath(longest.c_str(), i, temp) && wcslen(temp) == kcFileCopier::kMaxPathChars && !wcsncmp(temp, (longest + L".kct").c_str(), longest.size() + 4)) names.insert(temp);
    EXPECT_EQ((size_t)kcFileCopier::kTempNames, names.size());
    EXPECT_FALSE(kcFileCopier::TempPath((longest + L"d").c_str(), 0, temp));
}

TEST(FileCopier, FailuresReportOnceAndLeaveTheInstalledFile)
{
    TempDir dir;
    const std::wstring src = dir.File(L"src.bin"), first = dir.File(L"first"), next = dir.File(L"next");
    ASSERT_TRUE(WriteBytes(src, Pattern(5 << 20, 7)) && WriteBytes(dir.File(L"blocker"), "x") &&
                WriteBytes(dir.File(L"empty"), ""));
    auto open = [](const std::wstring& side, const std::wstring& path, DWORD code) {
        return side + L" [" + path + L"] がオープン出来ません。 : " + SystemText(code);
    };
    const std::wstring to = L"出力ファイル", from = L"ソースファイル", over = dir.File(std::wstring(300, L'n'));
    const std::wstring noRoom = dir.File(std::wstring(kcFileCopier::kMaxPathChars - 3 - dir.Path().size(), L't'));
    enum { kNew, kInstalled, kReadOnly, kHeld, kReplaceRefused };
    struct {
        int installed;
        std::wstring source, destination;
        Fault read, write;    // src.bin has three cached blocks
        std::wstring text, other; // the one failure text (or the other one, when both threads fail)
        bool upFront;         // refused before anything is copied
        int planted = 1;      // files of the user's named as temporaries beside an installed destination
    } cases[] = {
        {kReadOnly, src, dir.File(L"ro"), {}, {}, open(to, dir.File(L"ro"), ERROR_ACCESS_DENIED)},
        {kHeld, src, dir.File(L"held"), {}, {}, open(to, dir.File(L"held"), ERROR_SHARING_VIOLATION)},
        {kNew, dir.File(L"none"), dir.File(L"o"), {}, {}, open(from, dir.File(L"none"), ERROR_FILE_NOT_FOUND)},
        {kNew, src, dir.File(L"blocker\\sub\\o"), {}, {}, L"フォルダ [" + dir.File(L"blocker\\sub") + L"] が作成出来ません"},
        {kNew, src, over, {}, {}, open(to, over.substr(0, 259), ERROR_FILENAME_EXCED_RANGE), L"", true},
        {kNew, over, dir.File(L"o"), {}, {}, open(from, over.substr(0, 259), ERROR_FILENAME_EXCED_RANGE), L"", true},
        {kNew, src, noRoom, {}, {}, open(to, noRoom, ERROR_FILENAME_EXCED_RANGE), L"", true}, // no room for the suffix
        {kInstalled, src, dir.File(L"r1"), {2, ERROR_CRC}, {}, SystemText(ERROR_CRC)},
        {kNew, src, dir.File(L"r2"), {2, 0}, {}, SystemText(ERROR_READ_FAULT)},
        {kInstalled, src, dir.File(L"r3"), {3, 0, true}, {}, SystemText(ERROR_HANDLE_EOF)},
        {kNew, src, dir.File(L"w1"), {}, {2, ERROR_DISK_FULL}, SystemText(ERROR_DISK_FULL)},
        {kInstalled, src, dir.File(L"w2"), {}, {2, 0}, SystemText(ERROR_WRITE_FAULT)},
        {kInstalled, src, dir.File(L"w3"), {}, {3, 0, true}, SystemText(ERROR_DISK_FULL)}, // at the last block
        {kNew, src, dir.File(L"w4"), {}, {1, 0, true}, SystemText(ERROR_DISK_FULL)},
        {kInstalled, src, dir.File(L"b"), {1, ERROR_CRC}, {1, ERROR_DISK_FULL}, SystemText(ERROR_CRC), SystemText(ERROR_DISK_FULL)},
        {kReplaceRefused, src, dir.File(L"rr"), {}, {}, open(to, dir.File(L"rr"), ERROR_ACCESS_DENIED), L"", false, 2},
        {kInstalled, src, dir.File(L"taken"), {}, {}, open(to, dir.File(L"taken"), ERROR_FILE_EXISTS), L"", false, kcFileCopier::kTempNames},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.destination);
        ASSERT_TRUE(c.installed == kNew || (WriteBytes(c.destination, "installed") && Planted(c.destination, c.planted, true)));
        SetFileAttributesW(c.destination.c_str(), c.installed == kReadOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        HANDLE held = c.installed == kHeld ? CreateFileW(c.destination.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr) : nullptr;
        DeleteFileW(first.c_str());
        Recorder rec;
        if (c.installed == kReplaceRefused) rec.refuseReplace = c.destination;
        {
            SeamScope scope(c.read, c.write);
            // The first job moves no bytes, so the faults count from the failing job's calls.
            RunCopier(rec, {{dir.File(L"empty"), first}, {c.source, c.destination}, {src, next}});
        }
        if (held) CloseHandle(held);
        if (rec.refusing) CloseHandle(rec.refusing);
        SetFileAttributesW(c.destination.c_str(), FILE_ATTRIBUTE_NORMAL);
        const std::vector<std::wstring> failures = rec.Failures();
        ASSERT_EQ(1u, failures.size());
        EXPECT_TRUE(failures[0] == c.text || failures[0] == c.other) << failures[0];
        // A failed file counts for nothing, the installed one stays, and nothing after it is copied.
        EXPECT_TRUE(rec.reports.back().error && rec.reports.back().totalDone == 0);
        EXPECT_EQ(c.installed != kNew ? "installed" : "<missing>", Bytes(c.destination));
        EXPECT_TRUE(Planted(c.destination, c.installed != kNew ? c.planted : 0));
        EXPECT_NE(c.upFront, Exists(first));
        EXPECT_FALSE(Exists(next));
    }
}

TEST(FileCopier, NewerInstalledExecutablesStay)
{
    TempDir dir;
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    *(wcsrchr(exe, L'\\') + 1) = 0; // the fixtures lie beside the test program
    const std::wstring v4 = exe + std::wstring(L"copier_v1004.dll"), v5 = exe + std::wstring(L"copier_v1005.dll"),
                       app5 = exe + std::wstring(L"copier_app_v1005.exe"), plain = exe + std::wstring(L"copier_plain.dll");
    struct {
        const wchar_t* name;
        std::wstring installed, package;
        int mode;
        bool copied;
    } cases[] = {
        {L"GAME.EXE", app5, v4, 1, false}, {L"game.Dll", v5, v4, 1, false}, {L"same.dll", v5, v5, 1, true},
        {L"older.dll", v4, v5, 1, true}, {L"noversion.dll", plain, v4, 1, true}, {L"pkgnoversion.exe", v5, plain, 1, true},
        {L"data.bin", v5, v4, 1, true}, {L"mode0.exe", v5, v4, 0, true}, {L"missing.exe", L"", v4, 1, true},
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
        // A skip is reported with the package's size counted as done.
        if (!c.copied) {
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
    ASSERT_TRUE(WriteBytes(dir.File(L"a.bin"), Pattern(3 << 20, 11)) && WriteBytes(dir.File(L"b.bin"), ""));
    const int live = kcHeapLiveBlocks();
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE(round);
        const std::wstring out = dir.File(L"out" + std::to_wstring(round));
        Jobs jobs;
        for (int k = 0; k < 4; ++k) jobs.push_back({dir.File(k == 1 ? L"b.bin" : L"a.bin"), out + L"\\" + std::to_wstring(k)});
        ASSERT_TRUE(CreateDirectoryW(out.c_str(), nullptr) && WriteBytes(jobs[0].second, "installed"));
        Recorder rec;
        const int at = (round / 2) % 8;
        if (round & 1) {
            rec.refuseAt = at;
            RunCopier(rec, jobs, (round >> 1) & 1);
            EXPECT_TRUE(rec.Failures().empty() && rec.reports.back().done);
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
            EXPECT_TRUE(Planted(j.second, 0));
        }
    }
    EXPECT_EQ(live, kcHeapLiveBlocks());
}

namespace {

// A run as a package brings it: many tiny files, empty ones, exactly one block and one block plus
// one byte, in nested folders; every fifth destination is installed already. The sources carry
// their own times and attributes that a copy must not keep.
struct MixedRun {
    Jobs jobs;
    std::vector<unsigned long long> sizes;
    std::vector<bool> installed;
    unsigned blocks = 0; // written blocks of the whole run

    MixedRun(const TempDir& dir, const std::wstring& name, unsigned cap)
    {
        for (int i = 0; i < 48; ++i) sizes.push_back(i % 7 == 0 ? 0 : (i * 397) % 5000 + 1);
        for (unsigned long long big : {0ull + cap, cap + 1ull, 0ull, cap + 1ull, 0ull + cap}) sizes.push_back(big);
        for (size_t i = 0; i < sizes.size(); ++i) {
            const std::wstring leaf = L"\\d" + std::to_wstring(i % 3) + L"\\e" + std::to_wstring(i % 2) + L"\\f" + std::to_wstring(i);
            jobs.push_back({dir.File(name + L"_src" + leaf), dir.File(name + L"_dst" + leaf)});
            installed.push_back(i % 5 == 2);
            blocks += (unsigned)((sizes[i] + cap - 1) / cap);
        }
    }
    // Writes the sources and the installed destinations.
    bool Prepare() const
    {
        for (size_t i = 0; i < jobs.size(); ++i) {
            const std::wstring& src = jobs[i].first;
            kcCreateFolders(src.c_str(), 1);
            if (!WriteBytes(src, Pattern((size_t)sizes[i], (unsigned)i))) return false;
            FILETIME t = {0x12345678u + (DWORD)i * 10000000u, 0x01c00000u};
            HANDLE h = CreateFileW(src.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            const bool timed = h != INVALID_HANDLE_VALUE && SetFileTime(h, &t, &t, &t);
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
            if (!timed || !SetFileAttributesW(src.c_str(), i % 4 ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_READONLY)) return false;
            if (!installed[i]) continue;
            const std::wstring& dst = jobs[i].second;
            kcCreateFolders(dst.c_str(), 1);
            if (!WriteBytes(dst, "installed")) return false;
        }
        return true;
    }
};

FILETIME WriteTime(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

// A destination after a run: the whole copy with the source's write time and exactly the
// archive attribute, or (for a job the run did not reach) what was there before.
void ExpectWholeOrUntouched(const MixedRun& run, size_t i, bool whole)
{
    const std::wstring &src = run.jobs[i].first, &dst = run.jobs[i].second;
    SCOPED_TRACE(testing::Message() << dst);
    EXPECT_TRUE(Planted(dst, 0));
    if (!whole) {
        EXPECT_EQ(run.installed[i] ? "installed" : "<missing>", Bytes(dst));
        return;
    }
    EXPECT_TRUE(Bytes(src) == Bytes(dst));
    EXPECT_EQ((DWORD)FILE_ATTRIBUTE_ARCHIVE, GetFileAttributesW(dst.c_str()));
    const FILETIME a = WriteTime(src), b = WriteTime(dst);
    EXPECT_TRUE(a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime);
}

} // namespace

TEST(FileCopier, MixedRunsInBothModes)
{
    // Through the volume's sectors and through the cache: every file whole, with its times and
    // exactly the archive attribute; one report per written block, in job order, then the final one.
    CapsScope caps;
    TempDir dir;
    DWORD spc, sector = 0, f, t;
    ASSERT_TRUE(GetDiskFreeSpaceW(dir.Path().substr(0, 3).c_str(), &spc, &sector, &f, &t));
    for (int cached = 0; cached < 2; ++cached) {
        SCOPED_TRACE(cached);
        const MixedRun run(dir, L"m" + std::to_wstring(cached), kcFileCopier::BlockCapacity(cached ? 0 : sector));
        ASSERT_TRUE(run.Prepare());
        Recorder rec;
        RunCopier(rec, run.jobs, cached);
        ASSERT_EQ(run.blocks + 1, rec.reports.size());
        EXPECT_TRUE(rec.Failures().empty() && rec.reports.back().done);
        size_t job = 0;
        unsigned long long total = 0;
        for (size_t r = 0; r + 1 < rec.reports.size(); ++r) {
            const CopyStatus& s = rec.reports[r];
            while (job < run.jobs.size() && run.jobs[job].second != s.destination) total += run.sizes[job++];
            ASSERT_LT(job, run.jobs.size());
            EXPECT_EQ(run.sizes[job], s.currentSize);
            EXPECT_EQ(total + s.currentDone, s.totalDone);
        }
        for (size_t i = 0; i < run.jobs.size(); ++i) ExpectWholeOrUntouched(run, i, true);
    }
}

TEST(FileCopier, MixedRunStoppedOrFailingInTheMiddle)
{
    // A write fails at an installed file's block, or the owner refuses at that block's report:
    // the files before are whole, that one and those after are as they were, and a failure is
    // reported once.
    CapsScope caps;
    TempDir dir;
    for (int failing = 0; failing < 2; ++failing) {
        SCOPED_TRACE(failing);
        const MixedRun run(dir, L"s" + std::to_wstring(failing), kcFileCopier::BlockCapacity(0));
        ASSERT_TRUE(run.Prepare());
        size_t at = 0;
        int call = 0; // written blocks up to and including the chosen file's first
        for (size_t i = 0; i < run.jobs.size(); ++i) {
            call += run.sizes[i] ? 1 : 0;
            if (i > 20 && run.installed[i] && run.sizes[i]) {
                at = i;
                break;
            }
        }
        ASSERT_NE(0u, at);
        Recorder rec;
        rec.refuseAt = failing ? -1 : call - 1;
        {
            SeamScope scope({}, {failing ? call : 0, ERROR_DISK_FULL});
            RunCopier(rec, run.jobs, 1);
        }
        EXPECT_EQ(failing ? 1u : 0u, rec.Failures().size());
        EXPECT_TRUE(rec.reports.back().done);
        // Refused at its only block, the file was whole before the stop took effect.
        for (size_t i = 0; i < run.jobs.size(); ++i) ExpectWholeOrUntouched(run, i, i < at || (i == at && !failing));
    }
}
