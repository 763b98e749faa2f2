#include "config/ConfigTestSupport.h"

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

std::string XmlDoc(const std::string& body)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<document>\r\n" + body + "</document>\r\n";
}

TestModes::TestModes(kcDisplayMode current, std::initializer_list<kcDisplayMode> list) : m_modes(list)
{
    currentMode = current;
    modeCount = (uint32_t)m_modes.size();
    modes = m_modes.empty() ? nullptr : m_modes.data();
    Instance = this;
}

TestModes::~TestModes()
{
    Instance = nullptr;
}
