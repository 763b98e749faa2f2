#include "plugin/host/GameFolder.h"
#include <windows.h>

std::string Utf8(const std::wstring& text)
{
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1)
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], bytes, nullptr, nullptr);
    return out;
}

GameFolder::GameFolder(const GameDefinition& d)
{
    CreateDirectoryW(m_dir.File(L"config").c_str(), nullptr);
    CreateDirectoryW(SaveFolder().c_str(), nullptr);
    std::string xml = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<document>\r\n";
    xml += "<VERSION><major>" + std::to_string(d.major) + "</major><minor>" + std::to_string(d.minor) +
           "</minor></VERSION>\r\n";
    xml += "<APP><title>" + Utf8(d.title) + "</title><mutex>" + d.mutex + "</mutex><dontsave>" +
           std::to_string(d.dontSave) + "</dontsave></APP>\r\n";
    xml += "<FOLDER><save>" + Utf8(SaveFolder()) + "</save></FOLDER>\r\n";
    xml += "<CONFIG_B><view3d>" + std::to_string(d.view3d) + "</view3d></CONFIG_B>\r\n";
    if (!d.infoFile.empty())
        xml += "<INFO><file>" + Utf8(d.infoFile) + "</file></INFO>\r\n";
    xml += "</document>\r\n";
    WriteBytes(m_dir.File(L"config\\startup.xml"), xml);
}

void GameFolder::WriteLanguageFile(const std::string& utf8Lines) const
{
    WriteBytes(m_dir.File(L"language_.txt"), utf8Lines);
}
