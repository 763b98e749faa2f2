#include "updater/InstalledVersion.h"

#include <string>
#include <vector>

#include "updater/UpdaterFiles.h"
#include "updater/UpdaterState.h"
#include "foundation/kcString.h"

namespace {

const size_t kVersionChars = 129;

} // namespace

uint32_t ParseInstalledVersion(const char* bytes)
{
    auto number = [bytes](const char* open, const char* close) -> uint32_t {
        std::string text;
        if (!TextBetween(bytes, open, close, &text))
            return 0;
        if (text.size() > kVersionChars - 1)
            text.resize(kVersionChars - 1);
        wchar_t wide[kVersionChars];
        size_t i = 0;
        for (; i < text.size(); ++i)
            wide[i] = static_cast<wchar_t>(static_cast<signed char>(text[i]));
        wide[i] = 0;
        return static_cast<uint32_t>(kcParseIntW(wide));
    };
    return (number("<major>", "</major>") << 16) | number("<minor>", "</minor>");
}

uint32_t ReadInstalledVersionFrom(const wchar_t* installPath)
{
    std::vector<char> bytes;
    if (!ReadWholeFile(JoinPath({installPath, L"config", L"startup.xml"}).c_str(), bytes, kGameDefinitionMaxBytes))
        return 0;
    return ParseInstalledVersion(bytes.data());
}

uint32_t ReadInstalledVersion() { return ReadInstalledVersionFrom(Updater().installPath); }

uint32_t RequiredVersion(const UpdateInfo& info)
{
    return (static_cast<uint32_t>(kcParseIntW(info.major)) << 16) | static_cast<uint32_t>(kcParseIntW(info.minor));
}

