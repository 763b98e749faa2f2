#include "foundation/kcStringList.h"
#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <algorithm>
#include <cstring>

kcStringList::kcStringList() {}

kcStringList::~kcStringList() {}

int kcStringList::Add(const wchar_t* text)
{
    if (!text) return 0;
    entries.push_back(text);
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

bool kcStringList::Load(const wchar_t* path)
{
    kcFile file;
    if (!path || !file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING)) return false;
    int size = file.GetSize();
    char* data = size >= 0 && size <= 0x7fffffff - 8 ? (char*)kcHeapAlloc(0, size + 8) : nullptr;
    if (!data) return false;
    memset(data, 0, (size_t)size + 8);
    int got = size > 0 ? file.Read(data, size) : 0;
    file.Close();
    if (got != size) {
        kcHeapRelease(data);
        return false;
    }
    // One line can be no longer than the whole text, so these buffers never cut it.
    int length = (int)strlen(data);
    std::vector<char> line((size_t)length + 2);
    std::vector<wchar_t> wide((size_t)length + 1);
    std::vector<std::wstring> lines;
    int pos = 0;
    while (data[pos]) {
        pos += kcReadLineN(data + pos, line.data(), (int)line.size());
        wide[0] = 0;
        kcUtf8ToWideN(line.data(), wide.data(), (int)wide.size());
        lines.push_back(wide.data());
    }
    kcHeapRelease(data);
    entries.insert(entries.end(), lines.begin(), lines.end());
    return true;
}

bool kcStringList::Save(const wchar_t* path)
{
    kcFile file;
    if (!path || !file.Open(path, KCFILE_WRITE | KCFILE_REPLACE)) return false;
    std::string out;
    std::vector<char> utf8;
    for (const std::wstring& e : entries) {
        // A UTF-16 unit takes at most 3 bytes, a surrogate pair 4 for its two units.
        utf8.assign(e.size() * 3 + 1, 0);
        kcWideToUtf8N(e.c_str(), utf8.data(), (int)utf8.size());
        out += utf8.data();
        out += "\r\n";
    }
    int written = out.empty() ? 0 : file.Write(out.data(), (int)out.size());
    bool closed = file.Close() != 0;
    return written == (int)out.size() && closed;
}
