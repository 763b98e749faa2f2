#include "updater/kcFileCopier.h"
#include "foundation/kcCaps.h"
#include "foundation/kcFile.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include "foundation/kcTextKey.h"
#include "foundation/kcThread.h"
#include "foundation/kcWholeFile.h"
#include <windows.h>
#include <cwchar>

// Unbuffered reading needs Windows 2000 or later; without the capability record nothing is known.
static unsigned kcCopierOsCode()
{
    kcCaps* caps = kcCaps::Instance();
    if (!caps) return 0;
    OsInfo info;
    caps->GetOsInfo(&info);
    return info.code;
}

namespace {
// The failure texts, keyed for a language table.
const wchar_t* const kFolderFailure = L"$1010-0171$フォルダ [%s] が作成出来ません";
const wchar_t* const kOpenFailure[2] = {
    L"$1010-0172$ソースファイル [%s] がオープン出来ません。 : %s",
    L"$1010-0172$出力ファイル [%s] がオープン出来ません。 : %s",
};

bool CopyPath(wchar_t (&dst)[260], const wchar_t* src)
{
    size_t n = src ? wcslen(src) : 0;
    bool fits = n <= kcFileCopier::kMaxPathChars;
    if (!fits) n = kcFileCopier::kMaxPathChars;
    if (n) memcpy(dst, src, n * sizeof(wchar_t));
    dst[n] = 0;
    return fits;
}
} // namespace

void kcFileCopier::SystemText(unsigned long code, unsigned language, wchar_t* out, int cap)
{
    out[0] = 0;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, language, out,
                             cap, nullptr);
    if (!n) kcFormatW(out, cap, L"Error %u", (unsigned)code);
}

bool kcFileCopier::TempPath(const wchar_t* destination, int attempt, wchar_t* out)
{
    out[0] = 0;
    if (!destination || wcslen(destination) > kMaxDestinationChars || attempt < 0 || attempt >= kTempNames)
        return false;
    if (attempt == 0) kcFormatW(out, 260, L"%s%s", destination, kTempSuffix);
    else kcFormatW(out, 260, L"%s.kct%02d", destination, attempt - 1);
    return true;
}

kcFileCopier::kcFileCopier(int slotCount, int noSectorIo)
    : m_slotCount(slotCount > 0 ? slotCount : 1), m_slots(nullptr), m_finished(0), m_control(nullptr),
      m_reader(nullptr), m_writer(nullptr), m_source(nullptr), m_destination(nullptr), m_temp(nullptr),
      m_callback(nullptr), m_blockHook(nullptr), m_user(nullptr), m_abort(0), m_error(0), m_mode(0),
      m_sectorIoAllowed(0), m_sectorSize(0), m_unbuffered(0), m_lastSectorSize(0)
{
    memset(&m_status, 0, sizeof(m_status));
    m_waiting[0] = m_waiting[1] = m_waiting[2] = 0;
    m_tempPath[0] = 0;
    m_lastFolder[0] = 0;
    m_lastRoot[0] = 0;
    m_sectorIoAllowed = !noSectorIo && kcCopierOsCode() >= 64;
    m_slots = (CopySlot*)kcHeapAlloc(0, m_slotCount * (int)sizeof(CopySlot));
    if (!m_slots) m_slotCount = 0;
    for (int i = 0; i < m_slotCount; ++i) m_slots[i].buffer = nullptr;
    FreeBuffers(); // every slot empty, without a buffer
}

kcFileCopier::~kcFileCopier()
{
    if (m_control) {
        // A run still going is stopped without further reports; its threads must be gone
        // before anything is freed.
        m_control->Lock(0);
        m_callback = nullptr;
        SetAbort();
        m_control->Unlock(0);
        if (HANDLE h = m_control->GetHandle()) WaitForSingleObject(h, INFINITE);
    }
    FreeBuffers();
    CloseFiles();
    if (m_slots) kcHeapRelease(m_slots);
    m_slots = nullptr;
    m_jobs.clear();
    delete m_reader;
    delete m_writer;
    delete m_control;
}

int kcFileCopier::AddJob(const wchar_t* source, const wchar_t* destination, int flag)
{
    CopyJob job;
    job.overlong = 0;
    if (!CopyPath(job.source, source)) job.overlong = 1;
    // The temporary file beside the destination needs room for its suffix too.
    if (!CopyPath(job.destination, destination) || wcslen(job.destination) > kMaxDestinationChars)
        job.overlong = job.overlong ? job.overlong : 2;
    job.flag = flag;
    job.size = 0;
    job.folder = 0;
    m_jobs.push_back(job);
    return 1;
}

void kcFileCopier::SetMode(int mode)
{
    m_mode = mode;
}

int kcFileCopier::Start(kcFileCopyCallback callback, void* user, kcFileCopyBlockHook blockHook)
{
    // A copier runs once.
    if (m_control) {
        SetLastError(ERROR_BUSY);
        return 0;
    }
    m_callback = callback;
    m_user = user;
    m_blockHook = blockHook;
    m_control = new kcThread();
    m_control->AddEvent(0, 0, 0);
    m_control->AddEvent(1, 0, 0);
    m_control->AddLock(0);
    if (!m_control->Start(this, &kcFileCopier::ThreadMain)) {
        const DWORD code = GetLastError();
        delete m_control;
        m_control = nullptr;
        SetLastError(code ? code : ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    return 1;
}

bool kcFileCopier::NeedsCopy(const CopyJob& job)
{
    if (m_mode != 1) return true;
    const wchar_t* ext = kcGetExtensionW(job.destination);
    if (!ext || (_wcsicmp(ext, L"exe") != 0 && _wcsicmp(ext, L"dll") != 0)) return true;
    if (!kcFile().Exists(job.destination)) return true;
    kcVersionInfo installed, package;
    if (!kcGetVersionInfo(job.destination, &installed)) return true;
    if (!kcGetVersionInfo(job.source, &package)) return true;
    return !(installed.version > package.version);
}

bool kcFileCopier::OpenFiles(const wchar_t* source, const wchar_t* destination, int unbuffered, int* which,
                             wchar_t* errorText)
{
    CloseFiles();
    DWORD flags = FILE_FLAG_SEQUENTIAL_SCAN | (unbuffered ? FILE_FLAG_NO_BUFFERING : 0);
    HANDLE h = CreateFileW(source, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        *which = 0;
        SystemText(GetLastError(), 0x400, errorText, 514);
        return false;
    }
    m_source = h;

    // The destination is held without sharing while the copy runs. A new one is written
    // directly (on failure it goes again); an installed one is never emptied: the new contents
    // go to a temporary file beside it, which replaces it once the last block is on disk.
    h = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                    FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        m_destination = h;
        return true;
    }
    // A read-only file refuses writing on Windows whoever asks; keep that also where the file
    // system would let an administrator through.
    DWORD attributes = GetFileAttributesW(destination);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetLastError(ERROR_ACCESS_DENIED);
    else
        h = CreateFileW(destination, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        m_destination = h;
        if ((m_temp = CreateTemp(destination))) return true;
    }
    *which = 1;
    SystemText(GetLastError(), 0x400, errorText, 514);
    CloseFiles();
    return false;
}

void* kcFileCopier::CreateTemp(const wchar_t* destination)
{
    // Never an existing file: one of that name belongs to someone else and is left alone.
    for (int attempt = 0; TempPath(destination, attempt, m_tempPath); ++attempt) {
        // Created with exactly the attributes that a copied file ends with.
        HANDLE h = CreateFileW(m_tempPath, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE) return h;
        if (!kcNameTaken(m_tempPath)) break;
    }
    m_tempPath[0] = 0;
    return nullptr;
}

void kcFileCopier::CloseFiles()
{
    if (m_source) CloseHandle(m_source);
    if (m_destination) CloseHandle(m_destination);
    if (m_temp) CloseHandle(m_temp);
    m_source = m_destination = m_temp = nullptr;
}

int kcFileCopier::Report()
{
    return m_callback ? m_callback(m_user, &m_status) : 1;
}

void kcFileCopier::SetAbort()
{
    InterlockedExchange(&m_abort, 1);
    // Wake a reader or writer that waits for a slot, so that it sees the flag.
    if (m_reader) m_reader->SignalEvent(1);
    if (m_writer) m_writer->SignalEvent(1);
}

void kcFileCopier::ReportFailure(const wchar_t* text)
{
    m_control->Lock(0);
    SetAbort();
    if (!m_error) {
        InterlockedExchange(&m_error, 1);
        m_status.error = 1;
        lstrcpynW(m_status.errorText, text, 514);
        Report();
    }
    m_control->Unlock(0);
}

void kcFileCopier::ReportSystemFailure(unsigned long code, unsigned language)
{
    wchar_t text[514];
    SystemText(code, language, text, 512);
    ReportFailure(text);
}

void kcFileCopier::ReportFolderFailure(const wchar_t* destination)
{
    wchar_t parent[260], text[514];
    kcGetParentPathW(destination, parent);
    kcFormatW(text, 514, kcTranslateText(kFolderFailure), parent);
    ReportFailure(text);
}

void kcFileCopier::ReportOpenFailure(int which, const wchar_t* path, const wchar_t* system)
{
    wchar_t text[514];
    kcFormatW(text, 514, kcTranslateText(kOpenFailure[which]), path, system);
    ReportFailure(text);
}

void kcFileCopier::ThreadMain(kcThread* thread, void* user)
{
    ((kcFileCopier*)user)->RunJobs();
}

void kcFileCopier::RunJobs()
{
    // The flags start cleared (a copier runs once); an abort already set comes from the
    // destructor, which stopped the run before it began.
    m_source = m_destination = m_temp = nullptr;
    m_lastFolder[0] = 0;
    m_lastRoot[0] = 0;

    kcThread* reader = new kcThread();
    kcThread* writer = new kcThread();
    for (kcThread* t : {reader, writer}) {
        t->AddEvent(0, 0, 0);
        t->AddEvent(1, 0, 0);
    }
    m_control->Lock(0);
    m_reader = reader;
    m_writer = writer;
    m_control->Unlock(0);
    bool started = reader->Start(this, &kcFileCopier::ReaderThread);
    started = writer->Start(this, &kcFileCopier::WriterThread) && started;

    memset(&m_status, 0, sizeof(m_status));
    MeasureJobs();
    FreeBuffers();

    if (!started) {
        ReportSystemFailure(ERROR_NOT_ENOUGH_MEMORY, 0);
    } else if (CheckPaths()) {
        for (const CopyJob& job : m_jobs)
            if (m_abort || !RunJob(job)) break;
    }

    InterlockedExchange(&m_finished, 1);
    reader->SignalEvent(0);
    writer->SignalEvent(0);
    reader->WaitForExit();
    writer->WaitForExit();
    m_control->Lock(0);
    m_reader = m_writer = nullptr;
    m_control->Unlock(0);
    delete reader;
    delete writer;
    FreeBuffers();
    DiscardFile();
    m_control->Lock(0);
    m_status.done = 1;
    Report();
    m_control->Unlock(0);
}

void kcFileCopier::MeasureJobs()
{
    // One attribute query per source gives its size and kind for the whole run.
    for (CopyJob& job : m_jobs) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        job.size = 0;
        job.folder = 0;
        if (GetFileAttributesExW(job.source, GetFileExInfoStandard, &data)) {
            job.folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (!job.folder) job.size = (unsigned long long)data.nFileSizeHigh << 32 | data.nFileSizeLow;
        }
        m_status.totalSize += job.size;
    }
}

bool kcFileCopier::CheckPaths()
{
    // A path cut to its field would name another file: refuse the run before anything is copied.
    for (const CopyJob& job : m_jobs) {
        if (!job.overlong) continue;
        lstrcpynW(m_status.source, job.source, 260);
        lstrcpynW(m_status.destination, job.destination, 260);
        m_status.jobFlag = job.flag;
        wchar_t system[514];
        SystemText(ERROR_FILENAME_EXCED_RANGE, 0x400, system, 514);
        int which = job.overlong == 2;
        ReportOpenFailure(which, which ? job.destination : job.source, system);
        return false;
    }
    return true;
}

// The steps of every job, in order: show it, skip it or make its folder or copy its file, mark it
// for archiving. False ends the run.
bool kcFileCopier::RunJob(const CopyJob& job)
{
    lstrcpynW(m_status.source, job.source, 260);
    lstrcpynW(m_status.destination, job.destination, 260);
    m_status.jobFlag = job.flag;
    m_status.currentSize = 0;
    m_status.currentDone = 0;
    if (!NeedsCopy(job)) return SkipJob(job);
    if (job.folder) {
        if (!kcCreateFolders(job.destination, 0)) {
            ReportFolderFailure(job.destination);
            return false;
        }
        // Exactly archive: a new folder may inherit attributes from its parent.
        SetFileAttributesW(job.destination, FILE_ATTRIBUTE_ARCHIVE);
    } else if (!CopyFileJob(job)) {
        return false;
    }
    return !m_abort;
}

bool kcFileCopier::SkipJob(const CopyJob& job)
{
    m_control->Lock(0);
    m_status.currentSize = job.size;
    m_status.totalDone += job.size;
    const int go = Report();
    m_control->Unlock(0);
    if (!go) SetAbort();
    return go != 0;
}

bool kcFileCopier::CopyFileJob(const CopyJob& job)
{
    m_unbuffered = AllocBuffers(job.source);
    if (!RingReady()) {
        ReportSystemFailure(ERROR_NOT_ENOUGH_MEMORY, 0);
        return false;
    }
    if (!MakeParentFolders(job.destination)) {
        ReportFolderFailure(job.destination);
        return false;
    }
    wchar_t system[514];
    int which = 0;
    LARGE_INTEGER size;
    bool opened = OpenFiles(job.source, job.destination, m_unbuffered, &which, system);
    if (opened && !GetFileSizeEx(m_source, &size)) {
        SystemText(GetLastError(), 0x400, system, 514);
        DiscardFile();
        opened = false;
    }
    if (!opened) {
        ReportOpenFailure(which, which ? job.destination : job.source, system);
        return false;
    }
    m_status.currentSize = size.QuadPart;
    MoveFileBlocks();
    if (!FileComplete()) {
        // Failed or stopped part-way: the installed file stays, the partial copy counts for nothing.
        DiscardFile();
        UncountFile();
        SetAbort();
        return false;
    }
    if (!FinishFile(system)) {
        UncountFile();
        ReportOpenFailure(1, job.destination, system);
        return false;
    }
    return true;
}

void kcFileCopier::UncountFile()
{
    m_control->Lock(0);
    m_status.totalDone -= m_status.currentDone;
    m_control->Unlock(0);
}

bool kcFileCopier::MakeParentFolders(const wchar_t* destination)
{
    // Jobs come folder by folder: a folder made or found for the last file is not asked again.
    wchar_t parent[260];
    kcGetParentPathW(destination, parent);
    if (parent[0] && wcscmp(parent, m_lastFolder) == 0) return true;
    // Most folders exist already or lack only their last part: one or two calls settle those
    // (the general walk asks the file system about every level); the rest take the walk.
    const DWORD attributes = parent[0] ? GetFileAttributesW(parent) : INVALID_FILE_ATTRIBUTES;
    const bool found = attributes != INVALID_FILE_ATTRIBUTES ? (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                                                             : parent[0] && CreateDirectoryW(parent, nullptr);
    if (!found && !kcCreateFolders(destination, 1)) return false;
    wcscpy(m_lastFolder, parent);
    return true;
}

bool kcFileCopier::FileComplete() const
{
    // Every byte is written and counted: the writer counts only while no failure is reported.
    return !m_error && m_status.currentDone == m_status.currentSize;
}

bool kcFileCopier::FinishFile(wchar_t* errorText)
{
    // The source's times and exactly the archive attribute, in one call on the open handle:
    // setting them by name costs an open and a close more.
    FILE_BASIC_INFO info;
    if (GetFileInformationByHandleEx(m_source, FileBasicInfo, &info, sizeof(info))) info.ChangeTime.QuadPart = 0;
    else memset(&info, 0, sizeof(info)); // times of 0 stay as they are
    info.FileAttributes = FILE_ATTRIBUTE_ARCHIVE;
    SetFileInformationByHandle(m_temp ? m_temp : m_destination, FileBasicInfo, &info, sizeof(info));
    const bool replacing = m_temp != nullptr;
    CloseFiles();
    if (!replacing) return true;
    const bool moved = MoveFileExW(m_tempPath, m_status.destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!moved) {
        SystemText(GetLastError(), 0x400, errorText, 514);
        DeleteFileW(m_tempPath);
    }
    m_tempPath[0] = 0;
    return moved;
}

void kcFileCopier::DiscardFile()
{
    // A destination opened without a temporary file was created by this run: it holds only part
    // of the copy, and nothing was installed there before.
    const bool replacing = m_temp != nullptr, created = !replacing && m_destination;
    CloseFiles();
    if (replacing) DeleteFileW(m_tempPath);
    m_tempPath[0] = 0;
    if (created) DeleteFileW(m_status.destination);
}
