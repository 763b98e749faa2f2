#pragma once
// Runs the plans of kcSettingPlans.h over a document: reads into or writes from the current
// record of the configuration object, with the steps whose rules are their own.
#include <string>
#include <vector>

#include "config/kcSettingPlans.h"

class kcConfig;
class kcXml;

// The whole of an XML file through the file server into a zero-padded buffer (the file's bytes
// and 8 zeros); false when it is empty or missing, and, with a log line, when it is larger than
// the XML reader takes or no memory can be had for it.
bool kcReadThroughServer(const wchar_t* name, std::vector<char>* buffer);

class kcConfigReader {
public:
    kcConfigReader(kcConfig& config, kcXml& xml) : m_config(config), m_xml(xml) {}
    void Read(kcPlan plan);
    void Write(kcPlan plan);

private:
    void Run(kcPlan plan, bool write);
    void Value(const kcSetting* s, int row, int slot, bool user, bool write);
    bool RowTaken(int rule, int row) const;
    void AfterRow(int rule, int row);
    void Special(int code);
    bool Path(const kcSetting* s, int row, int slot, bool user);
    int ReadInt(int def, const char* path);
    void FontFaces();
    void UserFontFace(wchar_t* field, const char* key);
    void Languages();
    void ScriptReplacements();

    kcConfig& m_config;
    kcXml& m_xml;
    std::vector<std::string> m_path;
};
