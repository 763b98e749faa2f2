#include "updater/UpdaterFiles.h"

#include <cstring>

#include "foundation/kcFile.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcWholeFile.h"
#include "foundation/kcString.h"

bool ReadWholeFile(const wchar_t* path, std::vector<char>& bytes, int maxBytes)
{
    kcFile file;
    if (!file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING))
        return false;
    int size = 0;
    char* data = kcReadWholeFile(&file, maxBytes, &size);
    if (!data)
        return false;
    bool held = true;
    try {
        bytes.assign(data, data + size + kFilePadding);
    } catch (...) {
        kcLogW(L"no memory to hold %s (%d bytes)", path, size);
        held = false;
    }
    kcHeapRelease(data);
    return held;
}

std::wstring JoinPath(std::initializer_list<std::wstring> pieces)
{
    size_t total = 1;
    for (const std::wstring& piece : pieces)
        total += piece.size() + 1;
    std::vector<wchar_t> out(total);
    // kcJoinPath takes its pieces as variadic arguments; join them one at a time.
    auto it = pieces.begin();
    kcJoinPath(out.data(), 1, it->c_str());
    for (++it; it != pieces.end(); ++it) {
        std::wstring head(out.data());
        kcJoinPath(out.data(), 2, head.c_str(), it->c_str());
    }
    return out.data();
}

bool TextBetween(const char* bytes, const char* open, const char* close, std::string* text)
{
    const int start = kcFindStringA(bytes, open);
    const int end = kcFindStringA(bytes, close);
    if (start < 0 || end < 0)
        return false;
    const int from = start + static_cast<int>(strlen(open));
    text->assign(end > from ? std::string(bytes + from, bytes + end) : std::string());
    return true;
}
