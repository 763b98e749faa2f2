#include "updater/FileCollection.h"

#include <windows.h>

#include <cstring>

#include "updater/UpdaterFiles.h"
#include "updater/UpdaterState.h"
#include "updater/kcFileCopier.h"

void CollectFilesFrom(const std::wstring& base, const std::wstring& relative, std::vector<std::wstring>& list)
{
    std::wstring folder = relative;
    if (!base.empty())
        folder = relative.empty() ? base : JoinPath({base, relative});
    const std::wstring pattern = folder.empty() ? L"*.*" : JoinPath({folder, L"*.*"});
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(pattern.c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring entry = relative.empty() ? std::wstring(found.cFileName) : JoinPath({relative, found.cFileName});
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            list.push_back(entry);
        } else if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0 &&
                   !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            // A junction or link could lead outside the package, or in a circle.
            CollectFilesFrom(base, entry, list);
        }
    } while (FindNextFileW(find, &found));
    FindClose(find);
}

void CollectFiles(const std::wstring& relative) { CollectFilesFrom(L"", relative, Updater().fileList); }

std::wstring FindOverlongPath(const wchar_t* sourceRoot, const wchar_t* destinationRoot,
                              const std::vector<std::wstring>& files)
{
    for (const std::wstring& file : files) {
        // A log entry holds the path between two quotes.
        if (file.size() + 2 >= static_cast<size_t>(kPathChars))
            return file;
        // The copier's own limits, so that it never refuses a job that passed here.
        const std::wstring source = JoinPath({sourceRoot, file});
        if (source.size() > kcFileCopier::kMaxPathChars)
            return source;
        const std::wstring destination = JoinPath({destinationRoot, file});
        if (destination.size() > kcFileCopier::kMaxDestinationChars)
            return destination;
    }
    return std::wstring();
}

