#include "SamplePackage.h"

#include <windows.h>
#include <shlobj.h>

#include "support/Hg3Builder.h"

const SampleTexts kSampleJapanese = {
    L"サンプル更新",
    L"アップデートを開始します。\nよろしいですか？",
    L"アップデートが完了しました。%s %n 100%",
    L"バージョンが古いため更新できません。",
    L"インストール先が見つかりません。",
    L"コピーに失敗しました。",
    L"アップデート中です。しばらくお待ちください。",
    L"ゲームまたは設定ツールが起動しています。",
    L"エラー",
};
const SampleTexts kSampleEnglish = {
    L"Sample update",
    L"The update will now start.\nContinue?",
    L"The update is complete.",
    L"The installed version is too old for this update.",
    L"The installation folder was not found.",
    L"Copying failed.",
    L"Updating, please wait.",
    L"The game or its settings tool is running.",
    L"Error",
};

std::string Utf8(const std::wstring& text)
{
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(n, 0);
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], n, nullptr, nullptr);
    out.resize(n - 1);
    return out;
}

namespace {

// A line feed goes into the file as backslash-n, which the program turns back (the XML
// dialect has no entities, so the texts hold no markup characters).
std::string Escaped(const wchar_t* text)
{
    std::string out;
    for (char c : Utf8(text))
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return out;
}

std::string LanguageTexts(const char* key, const SampleTexts& t)
{
    auto e = [](const char* name, const wchar_t* text) {
        return std::string("<") + name + ">" + Escaped(text) + "</" + name + ">";
    };
    return std::string("  <") + key + ">\r\n    <message>" + e("wndtitle", t.wndtitle) + e("intoro", t.intoro) +
           e("success", t.success) + e("error_version", t.error_version) + e("error_inst", t.error_inst) +
           e("error_copy", t.error_copy) + "</message>\r\n    <message_sys>" + e("copying", t.copying) +
           "</message_sys>\r\n    <message_error>" + e("language", L"言語") + e("boot", t.boot) +
           e("title", t.title) + "</message_error>\r\n  </" + key + ">\r\n";
}

} // namespace

std::string UpdateInfoXml(const SamplePackage& p)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n";
    xml += "  <brand>" + Utf8(p.brand) + "</brand>\r\n  <app>" + Utf8(p.app) + "</app>\r\n";
    xml += "  <mutex>" + Utf8(p.mutex) + "</mutex>\r\n  <confmutex>" + Utf8(p.confmutex) + "</confmutex>\r\n";
    xml += "  <version><major>" + std::to_string(p.major) + "</major><minor>" + std::to_string(p.minor) +
           "</minor></version>\r\n";
    xml += "  <language>\r\n    <default>jp</default>\r\n";
    xml += "    <lang00><code>1041</code><prifix>jp</prifix></lang00>\r\n";
    if (p.english)
        xml += "    <lang01><code>1033</code><prifix>en</prifix></lang01>\r\n";
    xml += "  </language>\r\n";
    xml += LanguageTexts("jp", kSampleJapanese);
    if (p.english)
        xml += LanguageTexts("en", kSampleEnglish);
    return xml + "</document>\r\n";
}

std::vector<uint8_t> SampleBackground(int width, int height)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
            // A sky gradient with a darker band and a checker corner, so flips and offsets show.
            p[0] = static_cast<uint8_t>(255 - y * 120 / height);
            p[1] = static_cast<uint8_t>(160 - y * 100 / height + x * 40 / width);
            p[2] = static_cast<uint8_t>(40 + x * 100 / width);
            if (y > height * 2 / 3 && y < height * 2 / 3 + 12)
                p[0] = p[1] = p[2] = static_cast<uint8_t>(30 + x % 64);
            if (x < 24 && y < 24 && ((x / 6 + y / 6) & 1))
                p[0] = 0, p[1] = 0, p[2] = 255;
            p[3] = 255;
        }
    }
    return pixels;
}

std::string SampleBackgroundHg3(int width, int height)
{
    const std::vector<uint8_t> pixels = SampleBackground(width, height);
    return Hg3FromBgra(pixels.data(), width, height);
}

std::vector<SampleFile> SampleFiles()
{
    std::string edge(1049088 + 1, '\0');
    for (size_t i = 0; i < edge.size(); ++i)
        edge[i] = static_cast<char>(i * 131 + (i >> 11));
    std::string big(2097152 * 2 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i >> 3) ^ (i * 7));
    return {
        {L"readme.txt", "Sample update: new readme.\r\n"},
        {L"zero.dat", ""},
        {L"sub\\深い\\edge.bin", edge},
        {L"bin\\big.bin", big},
        {L"画像\\表.txt", u8"表示\r\n"},
    };
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    // Create every folder on the way.
    for (size_t i = path.find(L'\\', 3); i != std::wstring::npos; i = path.find(L'\\', i + 1))
        CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                                      written == bytes.size());
    CloseHandle(h);
    return ok;
}

bool WritePackage(const std::wstring& folder, const SamplePackage& package)
{
    CreateDirectoryW(folder.c_str(), nullptr);
    bool ok = WriteFileBytes(folder + L"\\updateinfo.xml", UpdateInfoXml(package));
    if (package.background)
        ok = ok && WriteFileBytes(folder + L"\\updatebg.hg3",
                                  SampleBackgroundHg3(package.backgroundWidth, package.backgroundHeight));
    for (const SampleFile& file : package.files)
        ok = ok && WriteFileBytes(folder + L"\\data\\" + file.path, file.bytes);
    return ok;
}

bool WriteInstallation(const std::wstring& folder, int major, int minor)
{
    return WriteFileBytes(folder + L"\\config\\startup.xml",
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n  <VERSION><major>" +
                              std::to_string(major) + "</major><minor>" + std::to_string(minor) +
                              "</minor></VERSION>\r\n</document>\r\n");
}

std::wstring InstallPathFile(const std::wstring& brand, const std::wstring& app)
{
    wchar_t folder[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    return std::wstring(folder) + L"\\" + brand + L"\\" + app + L".xml";
}

bool WriteInstallPathFile(const std::wstring& brand, const std::wstring& app, const std::string& pathText)
{
    return WriteFileBytes(InstallPathFile(brand, app),
                          "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n  <path>" + pathText +
                              "</path>\r\n</document>\r\n");
}
