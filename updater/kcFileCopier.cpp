#include "updater/kcFileCopier.h"
#include "foundation/kcCaps.h"
#include "foundation/kcFile.h"
#include "foundation/kcFolder.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include "foundation/kcTextKey.h"
#include "foundation/kcThread.h"
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

int SystemRead(void* file, void* buffer, unsigned bytes, unsigned* done)
{
    DWORD got = 0;
    BOOL ok = ReadFile(file, buffer, bytes, &got, nullptr);
    *done = got;
    return ok;
}

int SystemWrite(void* file, void* buffer, unsigned bytes, unsigned* done)
{
    DWORD put = 0;
    BOOL ok = WriteFile(file, buffer, bytes, &put, nullptr);
    *done = put;
    return ok;
}

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

static kcFileCopyIo g_copyRead = SystemRead;
static kcFileCopyIo g_copyWrite = SystemWrite;

void kcFileCopierSetIo(kcFileCopyIo read, kcFileCopyIo write)
{
    g_copyRead = read ? read : SystemRead;
    g_copyWrite = write ? write : SystemWrite;
}

void kcFileCopier::SystemText(unsigned long code, unsigned language, wchar_t* out, int cap)
{
    out[0] = 0;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, language, out,
                             cap, nullptr);
    if (!n) kcFormatW(out, cap, L"Error %u", (unsigned)code);
}

kcFileCopier::kcFileCopier(int slotCount, int noSectorIo)
    : m_slotCount(slotCount > 0 ? slotCount : 1), m_slots(nullptr), m_finished(0), m_control(nullptr),
      m_reader(nullptr), m_writer(nullptr), m_source(nullptr), m_destination(nullptr), m_callback(nullptr),
      m_blockHook(nullptr), m_user(nullptr), m_abort(0), m_error(0), m_mode(0), m_sectorIoAllowed(0),
      m_sectorSize(0), m_unbuffered(0), m_temp(nullptr), m_createdDestination(0), m_buffersReady(0),
      m_fileComplete(0), m_stopping(0)
{
    memset(&m_status, 0, sizeof(m_status));
    m_tempPath[0] = 0;
    m_lastFolder[0] = 0;
    m_lastRoot[0] = 0;
    m_lastSectorSize = 0;
    m_sectorIoAllowed = !noSectorIo && kcCopierOsCode() >= 64;
    m_slots = (CopySlot*)kcHeapAlloc(0, m_slotCount * (int)sizeof(CopySlot));
    if (!m_slots) m_slotCount = 0;
    for (int i = 0; i < m_slotCount; ++i) {
        m_slots[i].state = 1;
        m_slots[i].last = 0;
        m_slots[i].buffer = nullptr;
        m_slots[i].capacity = 0;
        m_slots[i].bytes = 0;
    }
}

kcFileCopier::~kcFileCopier()
{
    if (m_control) {
        // A run still going is stopped; its threads must be gone before anything is freed.
        InterlockedExchange(&m_stopping, 1);
        m_control->Lock(0);
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

unsigned kcFileCopier::BlockCapacity(unsigned sectorSize)
{
    if (!sectorSize) return 2097152;
    return sectorSize * ((sectorSize + 1048576) / sectorSize);
}

unsigned kcFileCopier::BlockRequest(unsigned bytes, unsigned sectorSize, int unbuffered)
{
    if (!unbuffered || !sectorSize) return bytes;
    return (bytes + sectorSize - 1) / sectorSize * sectorSize;
}

bool kcFileCopier::AllocBuffers(const wchar_t* source)
{
    m_sectorSize = 0;
    if (m_sectorIoAllowed) {
        wchar_t full[260];
        DWORD n = GetFullPathNameW(source, 260, full, nullptr);
        if (n > 0 && n < 260) {
            wchar_t* slash = wcschr(full, L'\\');
            if (slash && slash[1] != L'\\') {
                wchar_t root[260];
                size_t len = slash - full + 1;
                memcpy(root, full, len * sizeof(wchar_t));
                root[len] = 0;
                // Asking the volume is slow; a package lives on one volume.
                if (wcscmp(root, m_lastRoot) != 0) {
                    DWORD spc = 0, bps = 0, freeClusters = 0, clusters = 0;
                    if (!GetDiskFreeSpaceW(root, &spc, &bps, &freeClusters, &clusters)) bps = 0;
                    wcscpy(m_lastRoot, root);
                    m_lastSectorSize = bps;
                }
                m_sectorSize = m_lastSectorSize;
            }
        }
    }
    const unsigned capacity = BlockCapacity(m_sectorSize);
    // The ring of the previous file is reused when its size fits this one.
    bool reuse = m_buffersReady;
    for (int i = 0; i < m_slotCount && reuse; ++i) reuse = m_slots[i].buffer && m_slots[i].capacity == capacity;
    if (!reuse) FreeBuffers();
    m_buffersReady = m_slotCount > 0;
    for (int i = 0; i < m_slotCount; ++i) {
        CopySlot& s = m_slots[i];
        if (!reuse) s.buffer = VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (!s.buffer) m_buffersReady = 0;
        s.capacity = s.buffer ? capacity : 0;
        s.state = 1;
        s.last = 0;
        s.bytes = 0;
    }
    return m_sectorSize != 0;
}

void kcFileCopier::FreeBuffers()
{
    for (int i = 0; i < m_slotCount; ++i) {
        CopySlot& s = m_slots[i];
        if (s.buffer) VirtualFree(s.buffer, 0, MEM_RELEASE);
        s.buffer = nullptr;
        s.state = 1;
        s.last = 0;
        s.capacity = 0;
        s.bytes = 0;
    }
    m_buffersReady = 0;
}

bool kcFileCopier::OpenFiles(const wchar_t* source, const wchar_t* destination, int unbuffered, int* which,
                             wchar_t* errorText)
{
    CloseFiles();
    m_createdDestination = 0;
    m_tempPath[0] = 0;
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
        m_createdDestination = 1;
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
        kcFormatW(m_tempPath, 260, L"%s%s", destination, TempSuffix());
        // Created with exactly the attributes that a copied file ends with.
        h = CreateFileW(m_tempPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_ARCHIVE | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            m_temp = h;
            return true;
        }
        m_tempPath[0] = 0;
    }
    *which = 1;
    SystemText(GetLastError(), 0x400, errorText, 514);
    CloseFiles();
    return false;
}

void kcFileCopier::CloseFiles()
{
    if (m_source) CloseHandle(m_source);
    if (m_destination) CloseHandle(m_destination);
    if (m_temp) CloseHandle(m_temp);
    m_source = m_destination = m_temp = nullptr;
}

bool kcFileCopier::CommitFile(wchar_t* errorText)
{
    FILETIME created, accessed, written;
    if (GetFileTime(m_source, &created, &accessed, &written))
        SetFileTime(m_temp ? m_temp : m_destination, &created, &accessed, &written);
    CloseFiles();
    if (!m_tempPath[0] ||
        MoveFileExW(m_tempPath, m_status.destination, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        m_tempPath[0] = 0;
        m_createdDestination = 0;
        return true;
    }
    SystemText(GetLastError(), 0x400, errorText, 514);
    DiscardFile();
    return false;
}

void kcFileCopier::DiscardFile()
{
    CloseFiles();
    if (m_tempPath[0]) DeleteFileW(m_tempPath);
    m_tempPath[0] = 0;
    // A destination that this run created holds only part of the copy: nothing was installed there before.
    if (m_createdDestination) DeleteFileW(m_status.destination);
    m_createdDestination = 0;
}

int kcFileCopier::Report()
{
    if (m_stopping || !m_callback) return 1;
    return m_callback(m_user, &m_status);
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
    InterlockedExchange(&m_abort, 0);
    InterlockedExchange(&m_error, 0);
    InterlockedExchange(&m_finished, 0);
    m_source = m_destination = m_temp = nullptr;
    m_lastFolder[0] = 0;
    m_lastRoot[0] = 0;
    // The destructor may have asked for a stop before the run began.
    if (m_stopping) InterlockedExchange(&m_abort, 1);

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
    kcFile sizes;
    for (const CopyJob& job : m_jobs) m_status.totalSize += sizes.GetSizeOf64(job.source);
    FreeBuffers();

    if (!started) {
        ReportSystemFailure(ERROR_NOT_ENOUGH_MEMORY, 0);
    } else if (CheckPaths()) {
        for (const CopyJob& job : m_jobs)
            if (m_abort || !CopyOneFile(job)) break;
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

bool kcFileCopier::CopyOneFile(const CopyJob& job)
{
    lstrcpynW(m_status.source, job.source, 260);
    lstrcpynW(m_status.destination, job.destination, 260);
    m_status.jobFlag = job.flag;
    m_status.currentSize = 0;
    m_status.currentDone = 0;
    wchar_t system[514], parent[260];

    if (!NeedsCopy(job)) {
        m_control->Lock(0);
        m_status.currentSize = kcFile().GetSizeOf64(job.source);
        m_status.totalDone += m_status.currentSize;
        int go = Report();
        m_control->Unlock(0);
        if (!go) SetAbort();
        return go != 0;
    }

    if (kcPathExists(job.source) == 2) {
        if (!kcCreateFolders(job.destination, 0)) {
            ReportFolderFailure(job.destination);
            return false;
        }
    } else {
        m_unbuffered = AllocBuffers(job.source);
        if (!m_buffersReady) {
            ReportSystemFailure(ERROR_NOT_ENOUGH_MEMORY, 0);
            return false;
        }
        // Jobs come folder by folder: a folder made or found for the last file is not asked again.
        kcGetParentPathW(job.destination, parent);
        if (!parent[0] || wcscmp(parent, m_lastFolder) != 0) {
            if (!kcCreateFolders(job.destination, 1)) {
                ReportFolderFailure(job.destination);
                return false;
            }
            wcscpy(m_lastFolder, parent);
        }
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
        InterlockedExchange(&m_fileComplete, m_status.currentSize == 0);
        if (m_status.currentSize && m_status.currentSize <= m_slots[0].capacity) {
            // One block has nothing to overlap: moving it here spares the hand-offs to the
            // reader and writer, which cost more than the copy of a small file.
            ReadFileBlocks();
            WriteFileBlocks();
        } else if (m_status.currentSize) {
            m_reader->SignalEvent(0);
            m_writer->SignalEvent(0);
            // Both must be idle before the buffers and files go.
            m_control->WaitEvent(0, INFINITE);
            m_control->WaitEvent(1, INFINITE);
        }
        if (m_error || !m_fileComplete) {
            // Failed or stopped part-way: the installed file stays, the partial copy counts for nothing.
            DiscardFile();
            FreeBuffers();
            m_control->Lock(0);
            m_status.totalDone -= m_status.currentDone;
            m_control->Unlock(0);
            SetAbort();
            return false;
        }
        if (!CommitFile(system)) {
            ReportOpenFailure(1, job.destination, system);
            FreeBuffers();
            return false;
        }
    }
    // Exactly archive: a new file may inherit attributes from its folder.
    SetFileAttributesW(job.destination, FILE_ATTRIBUTE_ARCHIVE);
    return !m_abort;
}

void kcFileCopier::ReaderThread(kcThread* thread, void* user)
{
    kcFileCopier* c = (kcFileCopier*)user;
    // Only the control thread ends the run, so every wake-up for a file is answered, also
    // when a failure has stopped the file before this thread looked at it.
    for (;;) {
        thread->WaitEvent(0, INFINITE);
        if (c->m_finished) return;
        c->ReadFileBlocks();
        c->m_control->SignalEvent(1);
    }
}

void kcFileCopier::WriterThread(kcThread* thread, void* user)
{
    kcFileCopier* c = (kcFileCopier*)user;
    // Only the control thread ends the run, so every wake-up for a file is answered, also
    // when a failure has stopped the file before this thread looked at it.
    for (;;) {
        thread->WaitEvent(0, INFINITE);
        if (c->m_finished) return;
        c->WriteFileBlocks();
        c->m_control->SignalEvent(0);
    }
}

void kcFileCopier::ReadFileBlocks()
{
    const unsigned long long size = m_status.currentSize;
    unsigned long long read = 0;
    int index = 0;
    while (read < size) {
        CopySlot& slot = m_slots[index];
        while (slot.state == 0 && !m_abort) m_reader->WaitEvent(1, INFINITE);
        if (m_abort) return;
        unsigned long long remaining = size - read;
        unsigned bytes = remaining > slot.capacity ? slot.capacity : (unsigned)remaining;
        unsigned request = BlockRequest(bytes, m_sectorSize, m_unbuffered);
        unsigned got = 0;
        SetLastError(0);
        if (!g_copyRead(m_source, slot.buffer, request, &got)) {
            DWORD e = GetLastError();
            ReportSystemFailure(e ? e : ERROR_READ_FAULT, 0);
            return;
        }
        // Fewer bytes than the file promised would leave stale buffer contents in the copy.
        if (got < bytes) {
            ReportSystemFailure(ERROR_HANDLE_EOF, 0);
            return;
        }
        read += bytes;
        slot.last = read >= size;
        slot.bytes = bytes;
        InterlockedExchange(&slot.state, 0); // publishes the block after its bytes and count
        m_writer->SignalEvent(1);
        index = (index + 1) % m_slotCount;
    }
}

void kcFileCopier::WriteFileBlocks()
{
    int index = 0;
    for (;;) {
        CopySlot& slot = m_slots[index];
        while (slot.state == 1 && !m_abort && !m_error) m_writer->WaitEvent(1, INFINITE);
        if (m_abort || m_error) return;
        if (m_blockHook) m_blockHook(m_user, slot.buffer, m_status.currentDone, slot.bytes, &m_status);
        unsigned put = 0;
        SetLastError(0);
        if (!g_copyWrite(m_temp ? m_temp : m_destination, slot.buffer, slot.bytes, &put)) {
            DWORD e = GetLastError();
            ReportSystemFailure(e ? e : ERROR_WRITE_FAULT, 0);
            return;
        }
        if (put != slot.bytes) {
            ReportSystemFailure(ERROR_DISK_FULL, 0);
            return;
        }
        const int last = slot.last;
        // The temporary file replaces an installed one only once it is on disk.
        if (last && m_temp && !FlushFileBuffers(m_temp)) {
            DWORD e = GetLastError();
            ReportSystemFailure(e ? e : ERROR_WRITE_FAULT, 0);
            return;
        }
        if (last) InterlockedExchange(&m_fileComplete, 1);
        m_control->Lock(0);
        int go = 1;
        if (!m_error) {
            m_status.currentDone += put;
            m_status.totalDone += put;
            go = Report();
        }
        m_control->Unlock(0);
        InterlockedExchange(&slot.state, 1);
        m_reader->SignalEvent(1);
        if (!go) {
            SetAbort();
            return;
        }
        if (last) return;
        index = (index + 1) % m_slotCount;
    }
}
