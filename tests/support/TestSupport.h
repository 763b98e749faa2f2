#pragma once
// Shared test helpers: a log/assert recorder and temporary folders under Wine.
#include <string>
#include <thread>
#include <utility>
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

// The process's current folder is the given one while this lives.
struct InFolder {
    explicit InFolder(const std::wstring& folder);
    ~InFolder();
    InFolder(const InFolder&) = delete;
    std::wstring previous;
};

// Initial size of the private heap that every test process gets.
const int kTestHeapBytes = 0x1000000;

// Whole-file helpers for checking bytes on disk.
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool ReadBytes(const std::wstring& path, std::string* bytes);
// A file of the given size of which only head is written: the rest is a hole, reading as zeros.
bool WriteSparseFile(const std::wstring& path, long long size, const std::string& head = "");
// A folder with everything in it.
void RemoveTree(const std::wstring& dir);
// The names of the files (not folders) in a folder, sorted.
std::vector<std::wstring> FilesIn(const std::wstring& folder);
class kcFileBase;
// Everything left to read from a file object, read in small uneven pieces.
std::string ReadRest(kcFileBase& file);
// UTF-8 (source literal) to Shift_JIS bytes, for comparing with narrow log texts.
std::string Sjis(const char* utf8);

// A helper thread joined when it leaves scope, so a failed ASSERT_* on the test's thread returns
// through the join instead of ending the process with a joinable thread (std::terminate).
class JoinedThread {
public:
    template <class F> explicit JoinedThread(F&& work) : m_thread(std::forward<F>(work)) {}
    ~JoinedThread() { Join(); }
    JoinedThread(const JoinedThread&) = delete;
    JoinedThread& operator=(const JoinedThread&) = delete;
    void Join()
    {
        if (m_thread.joinable()) m_thread.join();
    }

private:
    std::thread m_thread;
};
