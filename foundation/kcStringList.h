#pragma once
// A list of wide texts kept in insertion order, loaded from and saved to a UTF-8 text file
// (no byte-order mark, one entry per line, CR LF when written), as "install.log" is kept.
// Entries are kept whole, however long: a cut path would name another file.
#include <string>
#include <vector>

// Largest file that Load reads (32 MiB): an "install.log" of half a million paths, and small
// enough that even a file of one-character lines is held as entries within a 32-bit process.
// A larger file is refused with a log line.
const int kcStringListMaxFileBytes = 32 << 20;

class kcStringList {
public:
    kcStringList();
    ~kcStringList();

    // 1, or 0 (logged) when the entry cannot be held.
    int Add(const wchar_t* text);
    // Stable sort in the user's case-insensitive order, then drops each entry equal to the one
    // before it: of equal entries the one added first stays.
    int SortUnique();
    // Appends the file's lines; false (list unchanged) when it cannot be opened or read, is
    // larger than kcStringListMaxFileBytes or its lines cannot be held.
    bool Load(const wchar_t* path);
    // Through a temporary file (kcSaveWholeFile): true only when every byte is on disk; on
    // failure the old file stays whole.
    bool Save(const wchar_t* path);

    int GetCount() const { return (int)entries.size(); }
    const wchar_t* GetEntry(int index) const;

private:
    std::vector<std::wstring> entries;
};
