#pragma once
// An archive ("統合ファイル"): one file on disk holding many members, read by position through
// a small table of open-member handles. Whole 8-byte blocks of an enciphered archive's members
// are Blowfish-enciphered (ECB); the last size mod 8 bytes of a member are stored plain.
#include <cstdint>
#include <map>
#include <string>

class kcProtect;

struct kcArchiveIndexEntry {
    uint32_t offset; // member's first byte in the archive file
    uint32_t size;
    uint32_t extra;  // carried into the handle, not used for reading
};

const uint32_t KCARCHIVE_ENTRY_OPEN = 0x4E45504F; // "OPEN" in memory order

struct kcArchiveEntryHandle {
    uint32_t tag;        // KCARCHIVE_ENTRY_OPEN while in use, 0 when free
    uint32_t start;      // member's offset in the archive file
    uint64_t fileOffset; // start + position, kept in 64 bits
    uint32_t position;
    uint32_t size;
    wchar_t name[260];   // the member name as the caller gave it
    uint32_t extra;
};

// The "no handle" result of OpenEntry and FindFreeEntry.
#define KCARCHIVE_NO_ENTRY ((kcArchiveEntryHandle*)-1)

class kcArchive {
public:
    kcArchive();
    ~kcArchive();

    // Loading. The library carries no archive format: whoever knows one opens the file here,
    // then lists the members and, for an enciphered archive, sets the key.
    // Attach opens path for reading with maxOpen member handles; the archive's name is the
    // file name part of path.
    int Attach(const wchar_t* path, unsigned maxOpen);
    // The same over a file handle that the loader opened (to read its index) and hands over;
    // the archive closes it. Refused (0, handle left open) when already loaded.
    int Attach(void* file, const wchar_t* name, unsigned maxOpen);
    // Refused (0) before Attach, for an empty or overlong name, or when the member does not
    // lie wholly inside the archive file.
    int AddMember(const wchar_t* name, const kcArchiveIndexEntry& entry);
    // Marks the archive enciphered; a null or empty key is refused.
    int SetKey(const void* key, int length);

    kcArchiveEntryHandle* OpenEntry(const wchar_t* name);
    int CloseEntry(kcArchiveEntryHandle* entry);
    // Bytes delivered; 0 for an invalid handle, no bytes or the member's end; -1 when the
    // archive file refuses the read (the position is then unchanged).
    int ReadEntry(kcArchiveEntryHandle* entry, void* buffer, int bytes);
    // Origin 0 from the member start, 1 from the position; returns the distance moved.
    uint32_t SeekEntry(kcArchiveEntryHandle* entry, uint32_t offset, int origin);
    const wchar_t* GetEntryName(kcArchiveEntryHandle* entry, wchar_t* out);
    uint32_t GetEntryPosition(kcArchiveEntryHandle* entry);
    uint32_t GetEntrySize(kcArchiveEntryHandle* entry);
    const wchar_t* GetName(wchar_t* out);
    int Contains(const wchar_t* name);
    int LookupEntry(const wchar_t* name, kcArchiveIndexEntry* out);
    kcArchiveEntryHandle* FindFreeEntry();

    bool IsLoaded() const { return m_index != nullptr; }

private:
    kcArchive(const kcArchive&) = delete;
    kcArchive& operator=(const kcArchive&) = delete;
    bool IsValid(const kcArchiveEntryHandle* entry) const;
    bool ReadAt(uint64_t offset, void* buffer, uint32_t bytes);
    bool ReadBlock(uint64_t offset, uint8_t block[8]);
    int ReadEnciphered(kcArchiveEntryHandle* entry, uint8_t* out, uint32_t bytes);

    unsigned m_maxOpen;
    std::map<std::wstring, kcArchiveIndexEntry>* m_index; // keys in upper case
    kcArchiveEntryHandle* m_entries;
    void* m_file;
    wchar_t m_name[260];
    int m_enciphered;
    kcProtect* m_protect;
    uint64_t m_fileSize;
};
