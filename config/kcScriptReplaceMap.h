#pragma once
// The game definition's script replacements (SCRIPT/replace): text to find -> replacement, kept
// in byte-wise order of the text to find; owned through the settings record.
#include <map>
#include <string>

class kcScriptReplaceMap {
public:
    std::map<std::string, std::string> pairs;
};
