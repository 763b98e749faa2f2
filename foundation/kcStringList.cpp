#include "foundation/kcStringList.h"
#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcWholeFile.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <algorithm>
#include <cstring>

kcStringList::kcStringList() {}

kcStringList::~kcStringList() {}

int kcStringList::Add(const wchar_t* text)
{
    if (!text) return 0;
    try {
        entries.push_back(text);
    } catch (...) {
        kcLog("kcStringList : no memory for entry %d", (int)entries.size());
        return 0;
    }
    return 1;
}

const wchar_t* kcStringList::GetEntry(int index) const
{
    return index >= 0 && index < (int)entries.size() ? entries[(size_t)index].c_str() : nullptr;
}

int kcStringList::SortUnique()
{
    std::stable_sort(entries.begin(), entries.end(), [](const std::wstring& a, const std::wstring& b) {
        return lstrcmpiW(a.c_str(), b.c_str()) < 0;
    });
    auto end = std::unique(entries.begin(), entries.end(), [](const std::wstring& kept, const std::wstring& next) {
        return lstrcmpiW(kept.c_str(), next.c_str()) == 0;
    });
    entries.erase(end, entries.end());
    return 1;
}

// Length of the line at text (up to LF, CR LF or NUL) and, in *step, how far the next starts.
static int LineAt(const char* text, int* step)
{
    int i = 0;
    while (text[i] && text[i] != '\n' && !(text[i] == '\r' && text[i + 1] == '\n')) i++;
    *step = i + (text[i] == '\n' ? 1 : text[i] == '\r' ? 2 : 0);
    return i;
}

bool kcStringList::Load(const wchar_t* path)
{
    kcFile file;
    if (!path || !file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING)) return false;
    int size = 0;
    char* data = kcReadWholeFile(&file, kcStringListMaxFileBytes, &size);
    file.Close();
    if (!data) return false;
    // Each line is converted where it lies, ended for the moment by a NUL, into one buffer as
    // long as the longest line: beside the file's bytes only the entries themselves are held.
    const size_t before = entries.size();
    try {
        size_t lines = 0, longest = 0;
        for (int pos = 0, step; data[pos]; pos += step, ++lines) {
            size_t n = (size_t)LineAt(data + pos, &step);
            if (n > longest) longest = n;
        }
        entries.reserve(before + lines);
        std::vector<wchar_t> wide(longest + 1); // a wide text never has more units than bytes
        for (int pos = 0, step; data[pos]; pos += step) {
            int n = LineAt(data + pos, &step);
            char end = data[pos + n];
            data[pos + n] = 0;
            int units = kcUtf8ToWideN(data + pos, wide.data(), (int)wide.size());
            data[pos + n] = end;
            entries.emplace_back(wide.data(), units > 0 ? (size_t)units - 1 : 0);
        }
    } catch (...) {
        entries.resize(before); // the list as it was
        kcHeapRelease(data);
        kcLogW(L"kcStringList : no memory to hold the lines of %s", path);
        return false;
    }
    kcHeapRelease(data);
    return true;
}

bool kcStringList::Save(const wchar_t* path)
{
    if (!path) return false;
    std::string out;
    try {
        std::vector<char> utf8;
        for (const std::wstring& e : entries) {
            // A UTF-16 unit takes at most 3 bytes, a surrogate pair 4 for its two units.
            utf8.assign(e.size() * 3 + 1, 0);
            kcWideToUtf8N(e.c_str(), utf8.data(), (int)utf8.size());
            out += utf8.data();
            out += "\r\n";
        }
    } catch (...) {
        kcLogW(L"kcStringList : no memory to write %s", path);
        return false;
    }
    if (out.size() > 0x7fffffff) return false;
    // Through a temporary: the old file stays whole unless every byte of the new one is on disk.
    return kcSaveWholeFile(path, out.data(), (int)out.size()) == KCSAVE_OK;
}
