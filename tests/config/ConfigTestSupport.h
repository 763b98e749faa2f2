#pragma once
// Helpers of the configuration tests: a fresh current folder with files, and display modes.
#include <initializer_list>
#include <string>
#include <vector>

#include "config/kcDisplayModes.h"
#include "support/TestSupport.h"

// A fresh folder that is the current folder while the object lives; releases the
// configuration object and restores the old current folder at the end.
class ConfigFolder {
public:
    ConfigFolder();
    ~ConfigFolder();
    // Writes a file below the folder, creating its subfolders.
    bool Write(const std::wstring& relative, const std::string& bytes) const;
    std::wstring File(const std::wstring& relative) const { return m_dir.File(relative); }
    const std::wstring& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
    std::wstring m_old;
};

// An XML file: the declaration, then <document> around body.
std::string XmlDoc(const std::string& body);

// A display-mode list installed as the process's list while the object lives.
class TestModes : public kcDisplayModeList {
public:
    TestModes(kcDisplayMode current, std::initializer_list<kcDisplayMode> list);
    ~TestModes();

private:
    std::vector<kcDisplayMode> m_modes;
};
