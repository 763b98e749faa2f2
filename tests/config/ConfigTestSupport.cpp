#include "config/ConfigTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "config/kcConfig.h"

ConfigFolder::ConfigFolder()
{
    wchar_t old[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, old);
    m_old = old;
    SetCurrentDirectoryW(m_dir.Path().c_str());
}

ConfigFolder::~ConfigFolder()
{
    kcReleaseConfig();
    SetCurrentDirectoryW(m_old.c_str());
}

bool ConfigFolder::Write(const std::wstring& relative, const std::string& bytes) const
{
    std::wstring path = m_dir.File(relative);
    for (size_t i = m_dir.Path().size() + 1; i < path.size(); ++i)
        if (path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    return WriteBytes(path, bytes);
}

kcConfig& ConfigFolder::Start(const std::string& body, int ddeMode) const
{
    EXPECT_TRUE(Write(L"config\\startup.xml", XmlDoc(body)));
    kcCreateConfig(nullptr, nullptr, ddeMode);
    return *kcConfig::Instance();
}

TestModes::TestModes(std::initializer_list<kcDisplayMode> list) : m_modes(list)
{
    currentMode = {1920, 1080, 60, 22};
    modeCount = (uint32_t)m_modes.size();
    modes = m_modes.empty() ? nullptr : m_modes.data();
    Instance = this;
}

std::string Str(const wchar_t* s)
{
    std::string utf8(4 * wcslen(s) + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, s, -1, &utf8[0], (int)utf8.size(), nullptr, nullptr);
    utf8.resize(n > 0 ? (size_t)n - 1 : 0);
    return utf8;
}

void ExpectFields(std::initializer_list<FieldCheck> checks)
{
    for (const FieldCheck& c : checks) EXPECT_EQ(c.got, c.want) << c.field;
}
