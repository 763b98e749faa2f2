#pragma once
// Update packages and installations made for the end-to-end tests and the demo.
#include <cstdint>
#include <string>
#include <vector>

struct SampleFile {
    std::wstring path; // relative to "data"
    std::string bytes;
};

struct SamplePackage {
    std::wstring brand = L"kcSample";
    std::wstring app = L"sample";
    std::wstring mutex = L"kcSample_game";
    std::wstring confmutex = L"kcSample_conf";
    int major = 1;
    int minor = 2;
    bool english = false;       // a second language "en" beside "jp"
    bool background = true;     // write "updatebg.hg3"
    int backgroundWidth = 320;
    int backgroundHeight = 200;
    std::vector<SampleFile> files;
};

// The texts of the sample's languages, as the boxes show them.
struct SampleTexts {
    const wchar_t* wndtitle;
    const wchar_t* intoro;
    const wchar_t* success;
    const wchar_t* error_version;
    const wchar_t* error_inst;
    const wchar_t* error_copy;
    const wchar_t* copying;
    const wchar_t* boot;
    const wchar_t* title;
};
extern const SampleTexts kSampleJapanese;
extern const SampleTexts kSampleEnglish;

std::string UpdateInfoXml(const SamplePackage& package);
// The background's pixels: rows top-down, blue, green, red, alpha (opaque).
std::vector<uint8_t> SampleBackground(int width, int height);
std::string SampleBackgroundHg3(int width, int height);
// A small tree with a zero-byte file, a block-edge file and names outside ASCII.
std::vector<SampleFile> SampleFiles();

bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool WritePackage(const std::wstring& folder, const SamplePackage& package);
// "config\startup.xml" with the version; the folder is created.
bool WriteInstallation(const std::wstring& folder, int major, int minor);
// "<common application data>\<brand>\<app>.xml" naming the installation (UTF-8).
std::wstring InstallPathFile(const std::wstring& brand, const std::wstring& app);
bool WriteInstallPathFile(const std::wstring& brand, const std::wstring& app, const std::string& pathText);
std::string Utf8(const std::wstring& text);
