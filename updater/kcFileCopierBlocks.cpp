// The block plan, the buffer ring and the one block loop that the reader, the writer and the
// control thread (for a file it moves alone) all run.
#include "updater/kcFileCopier.h"
#include "foundation/kcThread.h"
#include <windows.h>
#include <cwchar>

namespace {
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

kcFileCopyIo g_copyRead = SystemRead;
kcFileCopyIo g_copyWrite = SystemWrite;

// Up to this many blocks a file is moved by the control thread alone: of two blocks only the
// second read could overlap the first write, and reads are far faster than writes, while waking
// the reader and the writer and handing the blocks over costs more than such a read.
const unsigned kAloneBlocks = 2;
} // namespace

void kcFileCopierSetIo(kcFileCopyIo read, kcFileCopyIo write)
{
    g_copyRead = read ? read : SystemRead;
    g_copyWrite = write ? write : SystemWrite;
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
    const bool reuse = RingReady() && m_slots[0].capacity == capacity;
    if (!reuse) FreeBuffers();
    for (int i = 0; i < m_slotCount; ++i) {
        CopySlot& s = m_slots[i];
        if (!reuse) {
            s.buffer = VirtualAlloc(nullptr, capacity, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
            s.capacity = s.buffer ? capacity : 0;
        }
        s.state = kSlotEmpty;
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
        s.state = kSlotEmpty;
        s.last = 0;
        s.capacity = 0;
        s.bytes = 0;
    }
}

bool kcFileCopier::RingReady() const
{
    for (int i = 0; i < m_slotCount; ++i)
        if (!m_slots[i].buffer) return false;
    return m_slotCount > 0;
}

unsigned kcFileCopier::BlockCount() const
{
    const unsigned capacity = m_slots[0].capacity;
    return (unsigned)((m_status.currentSize + capacity - 1) / capacity);
}

void kcFileCopier::MoveFileBlocks()
{
    if (!m_status.currentSize) return; // an empty file has no block: it is complete once opened
    if (BlockCount() <= kAloneBlocks) {
        MoveBlocks(kAlone);
        return;
    }
    m_reader->SignalEvent(0);
    m_writer->SignalEvent(0);
    // Both must be idle before the buffers and files go.
    m_control->WaitEvent(0, INFINITE);
    m_control->WaitEvent(1, INFINITE);
}

void kcFileCopier::ReaderThread(kcThread* thread, void* user)
{
    ((kcFileCopier*)user)->ServeFiles(thread, kReader);
}

void kcFileCopier::WriterThread(kcThread* thread, void* user)
{
    ((kcFileCopier*)user)->ServeFiles(thread, kWriter);
}

void kcFileCopier::ServeFiles(kcThread* thread, Side side)
{
    // Only the control thread ends the run, so every wake-up for a file is answered, also when a
    // failure has stopped the file before this thread looked at it.
    for (;;) {
        thread->WaitEvent(0, INFINITE);
        if (m_finished) return;
        MoveBlocks(side);
        m_control->SignalEvent(side == kWriter ? 0 : 1);
    }
}

// The reader fills slots 0, 1, 2, 0, ... and hands each to the writer, which empties them in the
// same order and hands them back. A thread moving a file alone reads and writes each slot in turn:
// its waits and hand-overs have nobody to meet.
void kcFileCopier::MoveBlocks(Side side)
{
    const unsigned blocks = BlockCount();
    for (unsigned block = 0; block < blocks; ++block) {
        CopySlot& slot = m_slots[block % m_slotCount];
        if (side & kReader) {
            if (!WaitForSlot(slot, kSlotEmpty, side)) return;
            if (!ReadBlock(slot, (unsigned long long)block * slot.capacity)) return;
            if (side == kReader) HandOver(slot, kSlotFilled, kWriter);
        }
        if (side & kWriter) {
            if (!WaitForSlot(slot, kSlotFilled, side)) return;
            if (!WriteBlock(slot)) return;
            if (side == kWriter) HandOver(slot, kSlotEmpty, kReader);
        }
    }
}

bool kcFileCopier::WaitForSlot(const CopySlot& slot, long state, Side side)
{
    if (side == kAlone) return !m_abort;
    kcThread* self = side == kReader ? m_reader : m_writer;
    while (slot.state != state && !m_abort) {
        InterlockedExchange(&m_waiting[side], 1);
        // Looked at again once the flag is up: a hand-over in between is either seen here or signals.
        if (slot.state != state && !m_abort) self->WaitEvent(1, INFINITE);
        InterlockedExchange(&m_waiting[side], 0);
    }
    return !m_abort;
}

void kcFileCopier::HandOver(CopySlot& slot, long state, Side to)
{
    InterlockedExchange(&slot.state, state); // publishes the block after its bytes and count
    if (InterlockedExchange(&m_waiting[to], 0)) (to == kReader ? m_reader : m_writer)->SignalEvent(1);
}

bool kcFileCopier::ReadBlock(CopySlot& slot, unsigned long long offset)
{
    const unsigned long long remaining = m_status.currentSize - offset;
    const unsigned bytes = remaining > slot.capacity ? slot.capacity : (unsigned)remaining;
    unsigned got = 0;
    SetLastError(0);
    if (!g_copyRead(m_source, slot.buffer, BlockRequest(bytes, m_sectorSize, m_unbuffered), &got)) {
        DWORD e = GetLastError();
        ReportSystemFailure(e ? e : ERROR_READ_FAULT, 0);
        return false;
    }
    // Fewer bytes than the file promised would leave stale buffer contents in the copy.
    if (got < bytes) {
        ReportSystemFailure(ERROR_HANDLE_EOF, 0);
        return false;
    }
    slot.last = offset + bytes >= m_status.currentSize;
    slot.bytes = bytes;
    return true;
}

bool kcFileCopier::WriteBlock(CopySlot& slot)
{
    if (m_blockHook) m_blockHook(m_user, slot.buffer, m_status.currentDone, slot.bytes, &m_status);
    unsigned put = 0;
    SetLastError(0);
    if (!g_copyWrite(m_temp ? m_temp : m_destination, slot.buffer, slot.bytes, &put)) {
        DWORD e = GetLastError();
        ReportSystemFailure(e ? e : ERROR_WRITE_FAULT, 0);
        return false;
    }
    if (put != slot.bytes) {
        ReportSystemFailure(ERROR_DISK_FULL, 0);
        return false;
    }
    // The temporary file replaces an installed one only once it is on disk.
    if (slot.last && m_temp && !FlushFileBuffers(m_temp)) {
        DWORD e = GetLastError();
        ReportSystemFailure(e ? e : ERROR_WRITE_FAULT, 0);
        return false;
    }
    m_control->Lock(0);
    int go = 1;
    if (!m_error) {
        m_status.currentDone += put;
        m_status.totalDone += put;
        go = Report();
    }
    m_control->Unlock(0);
    if (!go) SetAbort();
    return go != 0;
}
