#include "foundation/kcString.h"
#include "foundation/kcStringImpl.h"
#include <windows.h>
#include <vector>

static const int kConvUnits = 4096;
static const UINT kSjis = 932;

// ---- UTF-8 <-> UTF-16 of the library (FF FF stands for U+FFFF) ----

// Decodes one sequence of len bytes (len from kcUtf8CharLength); malformed gives U+FFFD.
static unsigned decodeUtf8(const unsigned char* p, int len)
{
    unsigned cp;
    switch (len) {
    case 2:
        cp = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
        return cp >= 0x80 ? cp : 0xFFFD;
    case 3:
        cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
        return cp >= 0x800 && (cp < 0xD800 || cp > 0xDFFF) ? cp : 0xFFFD;
    case 4:
        cp = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
        return cp >= 0x10000 && cp <= 0x10FFFF ? cp : 0xFFFD;
    default:
        return 0xFFFD;
    }
}

static int utf8ToWide(const char* src, wchar_t* dst, int cap)
{
    if (!dst || cap <= 0) return 0;
    int n = 0;
    const unsigned char* p = (const unsigned char*)(src ? src : "");
    while (*p) {
        wchar_t units[2];
        int count = 1, len;
        if (p[0] == 0xFF && p[1] == 0xFF) {
            units[0] = 0xFFFF;
            len = 2;
        } else {
            len = kcUtf8CharLength((const char*)p);
            if (len < 1) break;
            unsigned cp = len == 1 ? p[0] : decodeUtf8(p, len);
            if (cp > 0xFFFF) {
                cp -= 0x10000;
                units[0] = (wchar_t)(0xD800 + (cp >> 10));
                units[1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
                count = 2;
            } else {
                units[0] = (wchar_t)cp;
            }
        }
        if (n + count > cap - 1) {
            dst[n] = 0;
            return 0;
        }
        for (int i = 0; i < count; i++) dst[n++] = units[i];
        p += len;
    }
    dst[n] = 0;
    return n + 1;
}

static int wideToUtf8(const wchar_t* src, char* dst, int cap)
{
    if (!dst || cap <= 0) return 0;
    int n = 0;
    const wchar_t* s = src ? src : L"";
    for (int i = 0; s[i]; i++) {
        unsigned char b[4];
        int len;
        unsigned u = s[i];
        if (u == 0xFFFF) {
            b[0] = b[1] = 0xFF;
            len = 2;
        } else {
            unsigned cp = u;
            if (u >= 0xD800 && u <= 0xDBFF && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00u);
                i++;
            } else if (u >= 0xD800 && u <= 0xDFFF) {
                cp = 0xFFFD; // a lone surrogate
            }
            if (cp < 0x80) {
                b[0] = (unsigned char)cp;
                len = 1;
            } else if (cp < 0x800) {
                b[0] = (unsigned char)(0xC0 | (cp >> 6));
                b[1] = (unsigned char)(0x80 | (cp & 0x3F));
                len = 2;
            } else if (cp < 0x10000) {
                b[0] = (unsigned char)(0xE0 | (cp >> 12));
                b[1] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
                b[2] = (unsigned char)(0x80 | (cp & 0x3F));
                len = 3;
            } else {
                b[0] = (unsigned char)(0xF0 | (cp >> 18));
                b[1] = (unsigned char)(0x80 | ((cp >> 12) & 0x3F));
                b[2] = (unsigned char)(0x80 | ((cp >> 6) & 0x3F));
                b[3] = (unsigned char)(0x80 | (cp & 0x3F));
                len = 4;
            }
        }
        if (n + len > cap - 1) {
            dst[n] = 0;
            return 0;
        }
        for (int k = 0; k < len; k++) dst[n++] = (char)b[k];
    }
    dst[n] = 0;
    return n + 1;
}

static const int kUnbounded = 0x7FFFFFFF;

wchar_t* kcUtf8ToWide(const char* src, wchar_t* dst)
{
    utf8ToWide(src, dst, kUnbounded);
    return dst;
}

int kcWideToUtf8(const wchar_t* src, char* dst)
{
    wideToUtf8(src, dst, kUnbounded);
    return 0;
}

int kcUtf8ToWideN(const char* src, wchar_t* dst, int dstUnits) { return utf8ToWide(src, dst, dstUnits); }
int kcWideToUtf8N(const wchar_t* src, char* dst, int dstBytes) { return wideToUtf8(src, dst, dstBytes); }

// ---- whole or nothing, for texts that become paths ----

// One well-formed UTF-8 character at p (at most `left` bytes): its length and UTF-16 units, or 0.
static int wholeUtf8Char(const unsigned char* p, size_t left, wchar_t units[2], int* count)
{
    int len = p[0] < 0x80 ? 1 : p[0] < 0xC2 ? 0 : p[0] < 0xE0 ? 2 : p[0] < 0xF0 ? 3 : p[0] < 0xF5 ? 4 : 0;
    if (!len || p[0] == 0 || (size_t)len > left) return 0;
    for (int i = 1; i < len; i++)
        if ((p[i] & 0xC0) != 0x80) return 0;
    unsigned cp = len == 1 ? p[0] : decodeUtf8(p, len);
    // decodeUtf8 answers U+FFFD for overlong forms, surrogates and values past U+10FFFF.
    if (cp == 0xFFFD && !(len == 3 && p[0] == 0xEF && p[1] == 0xBF && p[2] == 0xBD)) return 0;
    *count = 1;
    if (cp > 0xFFFF) {
        cp -= 0x10000;
        units[0] = (wchar_t)(0xD800 + (cp >> 10));
        units[1] = (wchar_t)(0xDC00 + (cp & 0x3FF));
        *count = 2;
    } else {
        units[0] = (wchar_t)cp;
    }
    return len;
}

// One Shift_JIS character as code page 932 maps it, refusing what it cannot map.
static int wholeSjisChar(const unsigned char* p, size_t left, wchar_t units[2], int* count)
{
    if (p[0] == 0) return 0;
    int len = IsDBCSLeadByteEx(kSjis, p[0]) ? 2 : 1;
    if ((size_t)len > left || (len == 2 && p[1] == 0)) return 0;
    wchar_t out[2];
    int n = MultiByteToWideChar(kSjis, MB_ERR_INVALID_CHARS, (const char*)p, len, out, 2);
    if (n != 1 || out[0] == 0xFFFD || out[0] == 0xFFFF) return 0;
    units[0] = out[0];
    *count = 1;
    return len;
}

typedef int (*wholeChar)(const unsigned char*, size_t, wchar_t*, int*);

// Two passes, so that dst is written only when the whole text converts and fits; a null dst
// only checks the bytes.
static bool convertWhole(wholeChar step, const char* src, size_t bytes, wchar_t* dst, int dstUnits, size_t* stop)
{
    if (stop) *stop = 0;
    if (dst && dstUnits <= 0) return false;
    const unsigned char* p = (const unsigned char*)(src ? src : "");
    if (!src) bytes = 0;
    size_t units = 0;
    wchar_t u[2];
    int count = 0;
    for (size_t i = 0; i < bytes;) {
        int len = step(p + i, bytes - i, u, &count);
        if (!len || (dst && units + count > (size_t)dstUnits - 1)) {
            if (stop) *stop = i;
            return false;
        }
        units += count;
        i += len;
    }
    if (stop) *stop = bytes;
    if (!dst) return true;
    size_t n = 0;
    for (size_t i = 0; i < bytes;) {
        i += step(p + i, bytes - i, u, &count);
        for (int k = 0; k < count; k++) dst[n++] = u[k];
    }
    dst[n] = 0;
    return true;
}

bool kcUtf8ToWideWhole(const char* src, size_t bytes, wchar_t* dst, int dstUnits, size_t* stop)
{
    return dst && convertWhole(wholeUtf8Char, src, bytes, dst, dstUnits, stop);
}

bool kcSjisToWideWhole(const char* src, size_t bytes, wchar_t* dst, int dstUnits, size_t* stop)
{
    return dst && convertWhole(wholeSjisChar, src, bytes, dst, dstUnits, stop);
}

bool kcUtf8IsWhole(const char* src, size_t bytes, size_t* stop)
{
    return convertWhole(wholeUtf8Char, src, bytes, nullptr, 0, stop);
}

bool kcWideToSjisWhole(const wchar_t* src, char* dst, int dstBytes)
{
    if (!src || !dst || dstBytes <= 0) return false;
    BOOL lossy = FALSE;
    // No best fit either: "ü" as "u" would name another file.
    int need = WideCharToMultiByte(kSjis, WC_NO_BEST_FIT_CHARS, src, -1, nullptr, 0, nullptr, &lossy);
    if (need <= 0 || need > dstBytes || lossy) return false;
    return WideCharToMultiByte(kSjis, WC_NO_BEST_FIT_CHARS, src, -1, dst, dstBytes, nullptr, nullptr) == need;
}

// ---- code page 932 ----

int kcSjisToWideN(wchar_t* dst, int dstUnits, const char* src)
{
    if (!dst || dstUnits <= 0) return 0;
    if (!src) {
        dst[0] = 0;
        return 0;
    }
    int n = MultiByteToWideChar(kSjis, MB_PRECOMPOSED, src, -1, dst, dstUnits);
    if (n > 0) return n;
    // Too long: keep the longest prefix that fits (code page 932 never makes surrogates).
    dst[0] = 0;
    int need = MultiByteToWideChar(kSjis, MB_PRECOMPOSED, src, -1, nullptr, 0);
    if (need <= 0) return 0;
    std::vector<wchar_t> whole(need);
    MultiByteToWideChar(kSjis, MB_PRECOMPOSED, src, -1, whole.data(), need);
    kcCopyCut(dst, dstUnits, whole.data(), need - 1);
    return 0;
}

int kcWideToSjisN(char* dst, int dstBytes, const wchar_t* src)
{
    if (!dst || dstBytes <= 0) return 0;
    if (!src) {
        dst[0] = 0;
        return 0;
    }
    int n = WideCharToMultiByte(kSjis, 0, src, -1, dst, dstBytes, nullptr, nullptr);
    if (n > 0) return n;
    dst[0] = 0;
    int need = WideCharToMultiByte(kSjis, 0, src, -1, nullptr, 0, nullptr, nullptr);
    if (need <= 0) return 0;
    std::vector<char> whole(need);
    WideCharToMultiByte(kSjis, 0, src, -1, whole.data(), need, nullptr, nullptr);
    // Cut with the code page's own lead bytes (its output also uses the extension rows FA-FC).
    int cut = 0;
    while (cut < need - 1) {
        int step = IsDBCSLeadByteEx(kSjis, (BYTE)whole[cut]) && cut + 1 < need - 1 ? 2 : 1;
        if (cut + step > dstBytes - 1) break;
        cut += step;
    }
    for (int i = 0; i < cut; i++) dst[i] = whole[i];
    dst[cut] = 0;
    return 0;
}

int kcWideToSjis(char* dst, const wchar_t* src) { return kcWideToSjisN(dst, kConvUnits, src); }
int kcSjisToWide(wchar_t* dst, const char* src) { return kcSjisToWideN(dst, kConvUnits, src); }

// from -> UTF-16 (at most 4096 units) -> to; writes dst only when the whole result fits.
static int convertThroughWide(UINT from, DWORD fromFlags, UINT to, const char* src, char* dst, int dstBytes)
{
    if (!src || !dst || dstBytes <= 0) return 0;
    int units = MultiByteToWideChar(from, fromFlags, src, -1, nullptr, 0);
    if (units <= 0 || units > kConvUnits) return 0;
    wchar_t wide[kConvUnits];
    if (MultiByteToWideChar(from, fromFlags, src, -1, wide, kConvUnits) <= 0) return 0;
    int bytes = WideCharToMultiByte(to, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0 || bytes > dstBytes) return 0;
    return WideCharToMultiByte(to, 0, wide, -1, dst, dstBytes, nullptr, nullptr);
}

int kcSjisToUtf8(const char* src, char* dst, int dstBytes)
{
    return convertThroughWide(kSjis, MB_PRECOMPOSED, CP_UTF8, src, dst, dstBytes);
}

int kcUtf8ToSjis(const char* src, char* dst, int dstBytes)
{
    return convertThroughWide(CP_UTF8, 0, kSjis, src, dst, dstBytes);
}

void kcSjisToUtf8String(std::string& s)
{
    if (s.size() > 4000) {
        s.clear();
        return;
    }
    // Every Shift_JIS byte becomes at most 3 UTF-8 bytes, so this buffer always holds the result.
    std::vector<char> buf(s.size() * 3 + 1);
    buf[0] = 0;
    kcSjisToUtf8(s.c_str(), buf.data(), (int)buf.size());
    s = buf.data();
}
