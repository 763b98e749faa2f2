#pragma once
// A list of wide texts kept in insertion order, loaded from and saved to a UTF-8 text file
// (no byte-order mark, one entry per line, CR LF when written), as "install.log" is kept.
// Entries are kept whole, however long: a cut path would name another file.
#include <string>
#include <vector>

class kcStringList {
public:
    kcStringList();
    ~kcStringList();

    int Add(const wchar_t* text);
    // Stable sort in the user's case-insensitive order, then drops each entry equal to the one
    // before it: of equal entries the one added first stays.
    int SortUnique();
    // Appends the file's lines; false (list unchanged) when it cannot be opened or read.
    bool Load(const wchar_t* path);
    // False when the file cannot be created or was not written whole.
    bool Save(const wchar_t* path);

    int GetCount() const { return (int)entries.size(); }
    const wchar_t* GetEntry(int index) const;

private:
    std::vector<std::wstring> entries;
};
