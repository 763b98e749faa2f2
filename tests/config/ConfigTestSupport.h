#pragma once
// Helpers of the configuration tests: a fresh current folder with files, display modes, and
// tables of field checks.
#include <initializer_list>
#include <string>
#include <type_traits>
#include <vector>

#include "config/kcDisplayModes.h"
#include "support/TestSupport.h"

class kcConfig;

// A fresh folder that is the current folder while the object lives; releases the
// configuration object and restores the old current folder at the end.
class ConfigFolder {
public:
    ConfigFolder();
    ~ConfigFolder();
    // Writes a file below the folder, creating its subfolders.
    bool Write(const std::wstring& relative, const std::string& bytes) const;
    // Writes "config\startup.xml" (body inside a document) and builds the object from it.
    kcConfig& Start(const std::string& body, int ddeMode = 0) const;
    std::wstring File(const std::wstring& relative) const { return m_dir.File(relative); }

private:
    TempDir m_dir;
    std::wstring m_old;
};

// An XML file: the declaration, then <document> around body.
inline std::string XmlDoc(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n" + body + "</document>\r\n";
}

// A display-mode list installed as the process's list while the object lives; the current
// mode is 1920 x 1080 at 60 Hz.
class TestModes : public kcDisplayModeList {
public:
    explicit TestModes(std::initializer_list<kcDisplayMode> list);
    ~TestModes() { Instance = nullptr; }

private:
    std::vector<kcDisplayMode> m_modes;
};

// Numbers and texts as text (UTF-8), for tables of field checks.
template <class T, class = typename std::enable_if<std::is_arithmetic<T>::value>::type> std::string Str(T v)
{
    return std::is_floating_point<T>::value ? std::to_string((double)v) : std::to_string((long long)v);
}
inline std::string Str(const char* s) { return s; }
std::string Str(const wchar_t* s);

// One row of a table of checks: a field's value and the expected one.
struct FieldCheck { const char* field; std::string got, want; };
void ExpectFields(std::initializer_list<FieldCheck> checks);
// A check of the field of the record b in scope.
#define FIELD(field, value) FieldCheck{#field, Str(b.field), Str(value)}
