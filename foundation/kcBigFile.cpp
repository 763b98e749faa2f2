#include "foundation/kcBigFile.h"
#include "foundation/kcArchive.h"
#include "foundation/kcLog.h"

kcBigFile::kcBigFile(kcArchive* archive) : m_archive(archive), m_entry(nullptr) {}

kcBigFile::~kcBigFile()
{
    if (m_entry) Close();
}

bool kcBigFile::Open(const wchar_t* member, int flags)
{
    if (m_entry) Close(); // a failed open leaves no member held either
    if (!m_archive || !(flags & KCFILE_READ)) return false;
    kcArchiveEntryHandle* entry = m_archive->OpenEntry(member);
    if (entry == KCARCHIVE_NO_ENTRY) return false;
    m_entry = entry;
    return true;
}

bool kcBigFile::Close()
{
    if (!m_archive || !m_entry) return false;
    m_archive->CloseEntry(m_entry);
    m_entry = nullptr;
    return true;
}

int kcBigFile::Read(void* buffer, int bytes)
{
    if (!m_archive) {
        kcLog("kcBigFile : 統合ファイルがオープンされていません");
        return -1;
    }
    if (!m_entry) {
        kcLog("kcBigFile : ファイルハンドルが無効です");
        return -1;
    }
    return m_archive->ReadEntry(m_entry, buffer, bytes);
}

int kcBigFile::Write(const void*, int) { return -1; }

int kcBigFile::GetPosition() { return m_archive && m_entry ? (int)m_archive->GetEntryPosition(m_entry) : 0; }

int kcBigFile::Seek(int position)
{
    return m_archive && m_entry ? (int)m_archive->SeekEntry(m_entry, (uint32_t)position, 0) : 0;
}

const wchar_t* kcBigFile::GetName(wchar_t* out) { return m_archive && m_entry ? m_archive->GetEntryName(m_entry, out) : nullptr; }

int kcBigFile::GetSizeOf(const wchar_t*) { return -1; }

int kcBigFile::GetSize()
{
    if (!m_archive || !m_entry) return -1;
    // A size that does not fit the result is an error, as for a plain file.
    const uint32_t size = m_archive->GetEntrySize(m_entry);
    return size > 0x7fffffffu ? -1 : (int)size;
}

void* kcBigFile::GetHandle() { return (void*)-1; }

bool kcBigFile::Exists(const wchar_t* member) { return m_archive && m_archive->Contains(member); }

unsigned kcBigFile::GetAttributes(const wchar_t*) { return 128; } // FILE_ATTRIBUTE_NORMAL

bool kcBigFile::SetAttributes(const wchar_t*, unsigned) { return false; }

bool kcBigFile::Delete(const wchar_t*, bool) { return false; }
