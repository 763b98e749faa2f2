#include "config/kcPathMacros.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "config/kcConfig.h"
#include "config/kcSettings.h"
#include "foundation/kcFolder.h"
#include "foundation/kcString.h"

namespace {

// A token holds at most 259 characters; a longer one is copied as it stands.
const size_t kTokenMax = 259;

// A field that ends inside its 260 units and, for texts shown cut, was read whole.
bool Field(const wchar_t* field, const char* key, std::wstring* out)
{
    size_t n = wcsnlen(field, 260);
    kcConfig* c = kcConfig::Instance();
    if (n == 260 || (key && c && !c->IsTextWhole(kcFindSettingPath(key)))) return false;
    out->assign(field, n);
    return true;
}

// The value of one token; false when it may not go into a path.
bool TokenValue(const std::wstring& token, std::wstring* out)
{
    wchar_t folder[260];
    if (token == L"%USERPROFILE%") {
        *out = kcGetSpecialFolder(KCFOLDER_APPDATA, folder) ? folder : L"";
        return true;
    }
    if (token == L"%ProgramData%" || token == L"%ALLUSERSPROFILE%") {
        *out = kcGetSpecialFolder(KCFOLDER_COMMON_APPDATA, folder) ? folder : L"";
        return true;
    }
    if (kcConfig* c = kcConfig::Instance()) {
        const ConfigBlock* b = c->GetBlock();
        if (token == L"%brand%") return Field(b->brand, "APP/brand", out);
        if (token == L"%title%") return Field(b->title, "APP/title", out);
        if (token == L"%save%") return Field(b->saveFolder, nullptr, out);
        if (token == L"%imglib%") return Field(b->imageLibFolder, nullptr, out);
    }
    *out = token;
    return true;
}

} // namespace

void kcPathMacroValueW(wchar_t* output, int outUnits, const wchar_t* token)
{
    if (!output || outUnits <= 0) return;
    std::wstring value;
    if (!TokenValue(token ? token : L"", &value)) value.clear();
    kcCopyStringWN(output, outUnits, value.c_str());
}

void kcPathMacroValue(wchar_t* output, int outUnits, const char* token)
{
    wchar_t wide[260];
    if (!kcSjisToWideN(wide, 260, token ? token : "")) wide[0] = 0;
    kcPathMacroValueW(output, outUnits, wide);
}

int kcExpandPathMacrosW(wchar_t* output, int outUnits, const wchar_t* input)
{
    if (!output || outUnits <= 0) return 0;
    std::wstring in(input ? input : L""), out, value;
    size_t i = 0;
    while (i < in.size()) {
        if (in[i] != L'%') {
            out += in[i++];
            continue;
        }
        size_t close = in.find(L'%', i + 1);
        size_t end = close == std::wstring::npos ? in.size() : close + 1;
        std::wstring token = in.substr(i, end - i);
        if (token.size() > kTokenMax)
            value = token;
        else if (!TokenValue(token, &value))
            return 0;
        out += value;
        i = end;
    }
    // A cut result would name another folder.
    if (out.size() >= (size_t)outUnits) return 0;
    kcCopyStringWN(output, outUnits, out.c_str());
    return 1;
}

int kcExpandPathMacros(wchar_t* output, int outUnits, const char* input)
{
    // Shift_JIS input is widened whole; tokens are ASCII, so they come out the same.
    size_t n = input ? strlen(input) : 0;
    std::vector<wchar_t> wide(n + 1);
    if (!kcSjisToWideWhole(input, n, wide.data(), (int)wide.size(), nullptr)) return 0;
    return kcExpandPathMacrosW(output, outUnits, wide.data());
}

int kcAspectPermille(unsigned width, unsigned height)
{
    if (width == 0) return 0;
    return (int)((float)height / (float)width * 1000.0f);
}

int kcRefreshRateMatches(unsigned a, unsigned b)
{
    return a == b || (a == 60 && b == 59) || (a == 59 && b == 60);
}
