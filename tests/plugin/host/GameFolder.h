#pragma once
// A game installation for the plug-in: a temporary folder with "config\startup.xml" (written
// from the given settings), a save folder inside it, and optionally a language file.
#include <windows.h>
#include <string>
#include "support/TestSupport.h"

struct GameDefinition {
    std::wstring title = L"テストゲーム";
    std::string mutex = "kc_test_game_mutex";
    int view3d = 0;
    int dontSave = 0;
    std::wstring infoFile;            // empty: the model's default
    int major = 1, minor = 2;
};

class GameFolder {
public:
    explicit GameFolder(const GameDefinition& definition = GameDefinition());
    const std::wstring& Path() const { return m_dir.Path(); }
    std::wstring SaveFolder() const { return m_dir.File(L"save"); }
    std::wstring SetupXml() const { return m_dir.File(L"save\\setup.xml"); }
    // "language_.txt": the file of the empty language code (a definition without languages).
    void WriteLanguageFile(const std::string& utf8Lines) const;

private:
    TempDir m_dir;
};

std::string Utf8(const std::wstring& text);

