#include "config/kcPathMacros.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "config/kcConfig.h"
#include "foundation/kcFolder.h"
#include "foundation/kcString.h"

namespace {

// A token holds at most 259 characters; a longer one is copied as it stands.
const size_t kTokenMax = 259;

std::wstring Field(const wchar_t* field)
{
    return std::wstring(field, wcsnlen(field, 260));
}

std::wstring TokenValue(const std::wstring& token)
{
    wchar_t folder[260];
    if (token == L"%USERPROFILE%") return kcGetSpecialFolder(KCFOLDER_APPDATA, folder) ? folder : L"";
    if (token == L"%ProgramData%" || token == L"%ALLUSERSPROFILE%")
        return kcGetSpecialFolder(KCFOLDER_COMMON_APPDATA, folder) ? folder : L"";
    if (kcConfig* c = kcConfig::Instance()) {
        const ConfigBlock* b = c->GetBlock();
        if (token == L"%brand%") return Field(b->brand);
        if (token == L"%title%") return Field(b->title);
        if (token == L"%save%") return Field(b->saveFolder);
        if (token == L"%imglib%") return Field(b->imageLibFolder);
    }
    return token;
}

} // namespace

void kcPathMacroValueW(wchar_t* output, int outUnits, const wchar_t* token)
{
    if (!output || outUnits <= 0) return;
    kcCopyStringWN(output, outUnits, TokenValue(token ? token : L"").c_str());
}

void kcPathMacroValue(wchar_t* output, int outUnits, const char* token)
{
    wchar_t wide[260];
    if (!kcSjisToWideN(wide, 260, token ? token : "")) wide[0] = 0;
    kcPathMacroValueW(output, outUnits, wide);
}

void kcExpandPathMacrosW(wchar_t* output, int outUnits, const wchar_t* input)
{
    if (!output || outUnits <= 0) return;
    std::wstring in(input ? input : L""), out;
    size_t i = 0;
    while (i < in.size()) {
        if (in[i] != L'%') {
            out += in[i++];
            continue;
        }
        size_t close = in.find(L'%', i + 1);
        size_t end = close == std::wstring::npos ? in.size() : close + 1;
        std::wstring token = in.substr(i, end - i);
        out += token.size() > kTokenMax ? token : TokenValue(token);
        i = end;
    }
    kcCopyStringWN(output, outUnits, out.c_str());
}

void kcExpandPathMacros(wchar_t* output, int outUnits, const char* input)
{
    // Shift_JIS input is widened whole; tokens are ASCII, so they come out the same.
    size_t n = input ? strlen(input) : 0;
    std::vector<wchar_t> wide(n + 1);
    if (n && !kcSjisToWideN(wide.data(), (int)wide.size(), input)) wide[0] = 0;
    kcExpandPathMacrosW(output, outUnits, wide.data());
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
