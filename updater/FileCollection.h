#pragma once
// The files of the update: every file below the package's "data" folder, and the check that
// each path fits the copier and the install log.
#include <string>
#include <vector>

// Appends every file below base\relative to list, as paths relative to base (base empty:
// the current folder). Folders that are reparse points are not entered.
void CollectFiles(const std::wstring& relative);
void CollectFilesFrom(const std::wstring& base, const std::wstring& relative, std::vector<std::wstring>& list);

// The first path that would not fit a copy job or a log entry, or empty when all fit.
std::wstring FindOverlongPath(const wchar_t* sourceRoot, const wchar_t* destinationRoot,
                              const std::vector<std::wstring>& files);
