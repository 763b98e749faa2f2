#include "foundation/kcArchive.h"
#include "foundation/kcLog.h"
#include "foundation/kcProtect.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <cstring>

namespace {
const int kNameUnits = 260;

std::wstring upperKey(const wchar_t* name)
{
    std::wstring key(name);
    if (!key.empty()) kcToUpperW(&key[0]);
    return key;
}
} // namespace

kcArchive::kcArchive()
    : m_maxOpen(0), m_index(nullptr), m_entries(nullptr), m_file(INVALID_HANDLE_VALUE), m_enciphered(0),
      m_protect(nullptr), m_fileSize(0)
{
    m_name[0] = 0;
}

kcArchive::~kcArchive()
{
    delete m_index;
    delete[] m_entries;
    delete m_protect;
    if (m_file != INVALID_HANDLE_VALUE) CloseHandle(m_file);
}

int kcArchive::Attach(const wchar_t* path, unsigned maxOpen)
{
    if (m_index || !path || maxOpen == 0) return 0;
    wchar_t name[kNameUnits];
    if (!kcGetFileNameWN(path, name, kNameUnits)) return 0;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    if (Attach(file, name, maxOpen)) return 1;
    CloseHandle(file);
    return 0;
}

int kcArchive::Attach(void* file, const wchar_t* name, unsigned maxOpen)
{
    // A refusal changes nothing: a loaded archive keeps its name, by which the file server finds it.
    LARGE_INTEGER size;
    wchar_t copy[kNameUnits];
    if (m_index || file == INVALID_HANDLE_VALUE || !file || !name || maxOpen == 0 || !GetFileSizeEx(file, &size) ||
        !kcCopyStringWN(copy, kNameUnits, name))
        return 0;
    kcCopyStringWN(m_name, kNameUnits, copy);
    m_file = file;
    m_fileSize = (uint64_t)size.QuadPart;
    m_maxOpen = maxOpen;
    m_entries = new kcArchiveEntryHandle[maxOpen];
    std::memset(m_entries, 0, sizeof(kcArchiveEntryHandle) * maxOpen);
    m_index = new std::map<std::wstring, kcArchiveIndexEntry>();
    return 1;
}

int kcArchive::AddMember(const wchar_t* name, const kcArchiveIndexEntry& entry)
{
    if (!m_index || !name || !name[0] || wcslen(name) >= (size_t)kNameUnits) return 0;
    // The index is not trusted: a member must end inside the archive file.
    if ((uint64_t)entry.offset + entry.size > m_fileSize) {
        kcLogW(L"kcArchive : 範囲外のメンバーです : %s", name);
        return 0;
    }
    (*m_index)[upperKey(name)] = entry;
    return 1;
}

int kcArchive::SetKey(const void* key, int length)
{
    if (!m_protect) m_protect = new kcProtect();
    if (!m_protect->SetKey(key, length)) return 0;
    m_enciphered = 1;
    return 1;
}

bool kcArchive::IsValid(const kcArchiveEntryHandle* entry) const
{
    return m_index && entry && entry != KCARCHIVE_NO_ENTRY && entry->tag == KCARCHIVE_ENTRY_OPEN;
}

kcArchiveEntryHandle* kcArchive::FindFreeEntry()
{
    for (unsigned i = 0; i < m_maxOpen; i++)
        if (!IsValid(&m_entries[i])) return &m_entries[i];
    return KCARCHIVE_NO_ENTRY;
}

int kcArchive::LookupEntry(const wchar_t* name, kcArchiveIndexEntry* out)
{
    if (!m_index) {
        kcAssert("統合ファイルがオープンされていません");
        kcAssertAbort();
        return 0;
    }
    if (!name) return 0;
    auto it = m_index->find(upperKey(name));
    if (it == m_index->end()) return 0;
    if (out) *out = it->second;
    return 1;
}

int kcArchive::Contains(const wchar_t* name)
{
    return m_index && name && m_index->count(upperKey(name)) ? 1 : 0;
}

kcArchiveEntryHandle* kcArchive::OpenEntry(const wchar_t* name)
{
    if (!m_index || !name) return KCARCHIVE_NO_ENTRY;
    kcArchiveEntryHandle* entry = FindFreeEntry();
    if (entry == KCARCHIVE_NO_ENTRY) {
        kcAssertW(L"同時にオープンできるファイル数を超えています (MAX:%d) : %s", (int)m_maxOpen, name);
        kcAssertAbort();
        return KCARCHIVE_NO_ENTRY;
    }
    kcArchiveIndexEntry found;
    if (!LookupEntry(name, &found)) return KCARCHIVE_NO_ENTRY;
    if (!kcCopyStringWN(entry->name, kNameUnits, name)) {
        entry->name[0] = 0;
        return KCARCHIVE_NO_ENTRY;
    }
    entry->start = found.offset;
    entry->fileOffset = found.offset;
    entry->position = 0;
    entry->size = found.size;
    entry->extra = found.extra;
    entry->tag = KCARCHIVE_ENTRY_OPEN;
    return entry;
}

int kcArchive::CloseEntry(kcArchiveEntryHandle* entry)
{
    if (!IsValid(entry)) return 0;
    entry->tag = 0;
    entry->start = 0;
    entry->fileOffset = 0;
    entry->position = 0;
    entry->size = 0;
    entry->name[0] = 0;
    return 1;
}

bool kcArchive::ReadAt(uint64_t offset, void* buffer, uint32_t bytes)
{
    // Never past the archive's end, whatever the index said.
    if (offset > m_fileSize || bytes > m_fileSize - offset) return false;
    LARGE_INTEGER to;
    to.QuadPart = (LONGLONG)offset;
    if (!SetFilePointerEx(m_file, to, nullptr, FILE_BEGIN)) return false;
    DWORD got = 0;
    return ReadFile(m_file, buffer, bytes, &got, nullptr) && got == bytes;
}

bool kcArchive::ReadBlock(uint64_t offset, uint8_t block[8])
{
    std::memset(block, 0, 8);
    return ReadAt(offset, block, 8) && m_protect->Decrypt(block, block, 8) == 8;
}

int kcArchive::ReadEnciphered(kcArchiveEntryHandle* entry, uint8_t* out, uint32_t bytes)
{
    const uint64_t start = entry->start;
    const uint32_t size = entry->size;
    uint32_t pos = entry->position, left = bytes;
    uint8_t block[8];
    // Head: the rest of a block that the position cuts, unless it is the plain tail's block.
    if (pos % 8 != 0 && pos / 8 != size / 8) {
        uint32_t skip = pos % 8, take = 8 - skip < left ? 8 - skip : left;
        if (!ReadBlock(start + (pos - skip), block)) return -1;
        std::memcpy(out, block + skip, take);
        out += take;
        pos += take;
        left -= take;
    }
    // Middle: whole blocks straight into the caller's buffer, deciphered in place.
    if (left >= 8) {
        uint32_t whole = left & ~7u;
        if (!ReadAt(start + pos, out, whole) || m_protect->Decrypt(out, out, (int)whole) != (int)whole) return -1;
        out += whole;
        pos += whole;
        left -= whole;
    }
    // Tail: part of one more enciphered block, or the member's plain last bytes.
    if (left > 0) {
        if (size - pos >= 8) {
            if (!ReadBlock(start + pos, block)) return -1;
            std::memcpy(out, block, left);
        } else if (!ReadAt(start + pos, out, left)) {
            return -1;
        }
    }
    return (int)bytes;
}

int kcArchive::ReadEntry(kcArchiveEntryHandle* entry, void* buffer, int bytes)
{
    if (!IsValid(entry)) return 0;
    if (!buffer) {
        kcAssert("読み込み先バッファが指定されていません");
        kcAssertAbort();
        return 0;
    }
    if (bytes <= 0 || entry->position >= entry->size) return 0;
    uint32_t count = (uint32_t)bytes;
    if (count > entry->size - entry->position) count = entry->size - entry->position;
    int result;
    if (m_enciphered) result = ReadEnciphered(entry, (uint8_t*)buffer, count);
    else result = ReadAt(entry->fileOffset, buffer, count) ? (int)count : -1;
    if (result < 0) {
        // Reported, but the caller gets a failure rather than a dead process.
        kcAssertW(L"読み込みに失敗 (%s:%d)", entry->name, (int)entry->size);
        return -1;
    }
    entry->position += count;
    entry->fileOffset += count;
    return result;
}

uint32_t kcArchive::SeekEntry(kcArchiveEntryHandle* entry, uint32_t offset, int origin)
{
    if (!IsValid(entry)) return 0;
    uint64_t base;
    if (origin == 0) {
        base = 0;
    } else if (origin == 1) {
        base = entry->position;
    } else {
        kcAssert("ファイルポインタ移動タイプが不正です");
        kcAssertAbort();
        return 0;
    }
    // An empty member has no last byte to land on: it stays at 0.
    if (entry->size == 0) return 0;
    uint64_t target = base + offset;
    if (target >= entry->size) target = entry->size - 1;
    entry->position = (uint32_t)target;
    entry->fileOffset = (uint64_t)entry->start + target;
    return (uint32_t)(target - base);
}

const wchar_t* kcArchive::GetEntryName(kcArchiveEntryHandle* entry, wchar_t* out)
{
    if (!IsValid(entry)) return nullptr;
    if (out) kcCopyStringWN(out, kNameUnits, entry->name);
    return entry->name;
}

uint32_t kcArchive::GetEntryPosition(kcArchiveEntryHandle* entry) { return IsValid(entry) ? entry->position : 0; }

uint32_t kcArchive::GetEntrySize(kcArchiveEntryHandle* entry) { return IsValid(entry) ? entry->size : 0; }

const wchar_t* kcArchive::GetName(wchar_t* out)
{
    if (!m_index) return nullptr;
    if (out) kcCopyStringWN(out, kNameUnits, m_name);
    return m_name;
}
