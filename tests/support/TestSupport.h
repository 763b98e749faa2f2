#pragma once
// Shared test helpers: a log/assert recorder and temporary folders under Wine.
#include <string>
#include <vector>

// Records every log and assertion text while alive; assertions never show a box.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<std::string>& Lines() const; // Shift_JIS texts, in order
    std::vector<std::string> Asserts() const;
    bool Contains(const std::string& sjisPart) const;
    void Clear();
};

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Initial size of the private heap that every test process gets.
const int kTestHeapBytes = 0x1000000;

// Whole-file helpers for checking bytes on disk.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);
class kcFileBase;
// Everything left to read from a file object, read in small uneven pieces.
std::string ReadRest(kcFileBase& file);
// UTF-8 (source literal) to Shift_JIS bytes, for comparing with narrow log texts.
std::string Sjis(const char* utf8);
