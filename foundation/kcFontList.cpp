#include "foundation/kcFontList.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include <cwchar>

kcFontList::kcFontList(HWND window, int charsetFilter, int verticalFilter, int anyPitchFilter)
    : charset(charsetFilter), vertical(verticalFilter), anyPitch(anyPitchFilter), count(0),
      names(nullptr), capacity(0)
{
    HDC dc = GetDC(window);
    if (!dc)
        return;
    Enumerate(dc); // count
    if (count > 0) {
        names = (wchar_t(*)[64])kcHeapAlloc(0, count * (int)sizeof(*names));
        if (names)
            capacity = count;
        count = 0;
        if (names)
            Enumerate(dc); // copy, never more than the first pass counted
    }
    ReleaseDC(window, dc);
}

kcFontList::~kcFontList()
{
    if (names)
        kcHeapRelease(names);
}

void kcFontList::Enumerate(HDC dc)
{
    LOGFONTW any = {};
    any.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &any, &kcFontList::OnFace, (LPARAM)this, 0);
}

bool kcFontList::Passes(int charset, int vertical, int anyPitch, const LOGFONTW& font, DWORD fontType)
{
    if (charset == SHIFTJIS_CHARSET && !(fontType & TRUETYPE_FONTTYPE))
        return false;
    if (!anyPitch && (font.lfPitchAndFamily & 0x0F) != FIXED_PITCH)
        return false;
    if (charset != -1 && font.lfCharSet != charset)
        return false;
    bool isVertical = font.lfFaceName[0] == L'@';
    return vertical ? isVertical : !isVertical;
}

int CALLBACK kcFontList::OnFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD fontType, LPARAM param)
{
    kcFontList* self = (kcFontList*)param;
    if (!Passes(self->charset, self->vertical, self->anyPitch, *font, fontType))
        return 1;
    if (!self->names) {
        ++self->count;
        return 1;
    }
    if (self->count >= self->capacity)
        return 0; // a font installed between the passes: the list keeps what it counted
    kcCopyStringWN(self->names[self->count++], 64, font->lfFaceName);
    return 1;
}

const wchar_t* kcFontList::GetName(int index) const
{
    return index >= 0 && index < count ? names[index] : nullptr;
}

int kcFontList::Find(const wchar_t* face) const
{
    if (!face)
        return -1;
    for (int i = 0; i < count; ++i) {
        if (wcscmp(names[i], face) == 0)
            return i;
    }
    return -1;
}
