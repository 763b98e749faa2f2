#include "foundation/kcTextKey.h"
#include "foundation/kcString.h"

kcTextGroups kcTextTable;

// Span of a key that opens with delimiter and closes with the next one; 0 when unterminated.
static int KeySpan(const wchar_t* text, wchar_t delimiter)
{
    if (!text || text[0] != delimiter) return 0;
    for (int i = 1; text[i]; ++i)
        if (text[i] == delimiter) return i + 1;
    return 0;
}

int kcExtractHashKey(const wchar_t* text, std::wstring* key)
{
    if (key) key->clear();
    int n = KeySpan(text, L'#');
    if (n && key) key->assign(text, (size_t)n);
    return n;
}

int kcExtractTextKey(const wchar_t* text, std::wstring* key)
{
    if (!text || text[0] != L'$') return kcExtractHashKey(text, key);
    if (key) key->clear();
    int n = KeySpan(text, L'$');
    if (n && key) key->assign(text, (size_t)n);
    return n;
}

static int ToSized(int n, const std::wstring& found, wchar_t* key, int keyUnits)
{
    if (!key || keyUnits <= 0) return 0;
    key[0] = 0;
    if (n == 0 || !kcCopyStringWN(key, keyUnits, found.c_str())) {
        key[0] = 0;
        return 0;
    }
    return n;
}

int kcExtractTextKey(const wchar_t* text, wchar_t* key, int keyUnits)
{
    std::wstring found;
    return ToSized(kcExtractTextKey(text, &found), found, key, keyUnits);
}

int kcExtractHashKey(const wchar_t* text, wchar_t* key, int keyUnits)
{
    std::wstring found;
    return ToSized(kcExtractHashKey(text, &found), found, key, keyUnits);
}

const wchar_t* kcTranslateText(const wchar_t* text)
{
    std::wstring key;
    int n = kcExtractTextKey(text, &key);
    if (n == 0) return text;
    for (const auto& group : kcTextTable) {
        auto it = group.second.find(key);
        if (it != group.second.end()) return it->second.c_str();
    }
    return text + n;
}
