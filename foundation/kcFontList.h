#pragma once
// The face names of the installed fonts, filtered by character set, vertical faces and pitch.
#include <windows.h>

class kcFontList {
public:
    // charset -1 for any; vertical nonzero: only names beginning with '@', zero: only the others;
    // anyPitch zero: only fixed-pitch faces. A null window means the screen.
    kcFontList(HWND window, int charset, int vertical, int anyPitch);
    ~kcFontList();

    int Find(const wchar_t* face) const; // index of the first exact match, -1 when none
    int GetCount() const { return count; }
    const wchar_t* GetName(int index) const;

    // Whether one reported face passes the filter.
    static bool Passes(int charset, int vertical, int anyPitch, const LOGFONTW& font, DWORD fontType);

private:
    kcFontList(const kcFontList&) = delete;
    kcFontList& operator=(const kcFontList&) = delete;
    static int CALLBACK OnFace(const LOGFONTW* font, const TEXTMETRICW* metrics, DWORD fontType,
                               LPARAM self);
    void Enumerate(HDC dc);

    int charset;
    int vertical;
    int anyPitch;
    int count;
    wchar_t (*names)[64];
    int capacity; // entries allocated by the counting pass
};
