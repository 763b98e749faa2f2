#include "foundation/kcString.h"
#include "foundation/kcStringImpl.h"
#include <cstdlib>
#include <cstring>
#include <string>
#include <mmintrin.h>

// ---- memory ----

static volatile int g_mmx = 0;

void kcMemSetMmx(int enabled) { g_mmx = enabled ? 1 : 0; }
int kcMemGetMmx() { return g_mmx; }

__attribute__((target("mmx"))) static void mmxCopy(void* dst, const void* src, unsigned bytes)
{
    __m64* d = (__m64*)dst;
    const __m64* s = (const __m64*)src;
    for (unsigned i = 0, n = bytes / 8; i < n; i++) d[i] = s[i];
    _mm_empty();
}

__attribute__((target("mmx"))) static void mmxZero(void* dst, unsigned bytes)
{
    __m64* d = (__m64*)dst;
    __m64 z = _mm_setzero_si64();
    for (unsigned i = 0, n = bytes / 8; i < n; i++) d[i] = z;
    _mm_empty();
}

void kcMemCopy(void* dst, const void* src, unsigned bytes)
{
    if (!bytes || !dst || !src) return;
    if (g_mmx && bytes % 8 == 0) {
        mmxCopy(dst, src, bytes);
    } else if (g_mmx && bytes % 4 == 0) {
        unsigned* d = (unsigned*)dst;
        const unsigned* s = (const unsigned*)src;
        for (unsigned i = 0, n = bytes / 4; i < n; i++) d[i] = s[i];
    } else {
        memcpy(dst, src, bytes);
    }
}

void kcMemZero(void* dst, unsigned bytes)
{
    if (!bytes || !dst) return;
    if (g_mmx && bytes % 8 == 0) {
        mmxZero(dst, bytes);
    } else if (g_mmx && bytes % 4 == 0) {
        unsigned* d = (unsigned*)dst;
        for (unsigned i = 0, n = bytes / 4; i < n; i++) d[i] = 0;
    } else {
        memset(dst, 0, bytes);
    }
}

int kcMemCompare(const void* a, const void* b, unsigned bytes)
{
    const unsigned char* x = (const unsigned char*)a;
    const unsigned char* y = (const unsigned char*)b;
    for (unsigned i = 0; i < bytes; i++)
        if (x[i] != y[i]) return (int)x[i] - (int)y[i];
    return 0;
}

// ---- characters ----

static bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF); }
static bool isTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

int kcIsSjisLead(const char* p)
{
    if (!p) return 0;
    return isLeadByte((unsigned char)p[0]) && isTrailByte((unsigned char)p[1]);
}

int kcGetSjisChar(const char* p)
{
    if (!p) return 0;
    if (kcIsSjisLead(p)) return ((unsigned char)p[0] << 8) | (unsigned char)p[1];
    return (unsigned char)p[0];
}

int kcIsWideCharW(const wchar_t* p) { return p && *p && *p >= 256; }

int kcCharStep(const char* p) { return kcIsSjisLead(p) ? 2 : 1; }
int kcCharStep(const wchar_t*) { return 1; }

int kcCutPoint(const char* s, int len, int limit)
{
    int i = 0;
    while (i < len) {
        int step = kcCharStep(s + i);
        if (i + step > limit) break;
        i += step;
    }
    return i;
}

int kcCutPoint(const wchar_t* s, int len, int limit)
{
    if (limit >= len) return len;
    if (limit > 0 && s[limit - 1] >= 0xD800 && s[limit - 1] <= 0xDBFF && s[limit] >= 0xDC00 && s[limit] <= 0xDFFF)
        return limit - 1;
    return limit;
}

// ---- search and replace ----

int kcFindCharA(const char* text, int code)
{
    if (!text) return -1;
    const unsigned char* t = (const unsigned char*)text;
    if (code < 256) {
        for (int i = 0; t[i]; i++)
            if (t[i] == (unsigned char)code) return i;
        return -1;
    }
    unsigned char hi = (unsigned char)(code >> 8), lo = (unsigned char)code;
    for (int i = 0; t[i]; i++)
        if (t[i] == hi && t[i + 1] == lo) return i;
    return -1;
}

int kcFindCharW(const wchar_t* text, int code)
{
    if (!text) return -1;
    for (int i = 0; text[i]; i++)
        if (text[i] == (wchar_t)code) return i;
    return -1;
}

template <class C> static int findString(const C* text, const C* part)
{
    if (!text || !part || !*text) return -1;
    for (int i = 0; text[i]; i++) {
        int j = 0;
        while (part[j] && text[i + j] == part[j]) j++;
        if (!part[j]) return i;
    }
    return -1;
}

int kcFindStringA(const char* text, const char* part) { return findString(text, part); }
int kcFindStringW(const wchar_t* text, const wchar_t* part) { return findString(text, part); }

// Writes into out up to cap units (terminator included); returns the length, -1 when cut.
template <class C> static int replaceAll(C* out, int cap, const C* text, const C* find, const C* replacement)
{
    if (!out || cap <= 0) return -1;
    if (!text) {
        out[0] = 0;
        return 0;
    }
    // Callers replace in place (out == text): work from a copy of the text.
    std::basic_string<C> source(text);
    text = source.c_str();
    int findLen = kcLen(find), repLen = kcLen(replacement);
    // Assemble piece by piece; a piece that does not fit is cut on a character boundary.
    int n = 0;
    auto put = [&](const C* s, int len) -> bool {
        int room = cap - 1 - n;
        if (len <= room) {
            for (int i = 0; i < len; i++) out[n + i] = s[i];
            n += len;
            return true;
        }
        int k = kcCutPoint(s, len, room);
        for (int i = 0; i < k; i++) out[n + i] = s[i];
        n += k;
        return false;
    };
    const C* p = text;
    // An empty search text would match everywhere without advancing: the text stays as it is.
    if (findLen > 0) {
        for (;;) {
            int at = findString(p, find);
            if (at < 0) break;
            if (!put(p, at) || !put(replacement, repLen)) {
                out[n] = 0;
                return -1;
            }
            p += at + findLen;
        }
    }
    bool whole = put(p, kcLen(p));
    out[n] = 0;
    return whole ? n : -1;
}

static const int kUnbounded = 0x7FFFFFFF;

int kcReplaceAllA(char* out, const char* text, const char* find, const char* replacement)
{
    return replaceAll(out, kUnbounded, text, find, replacement);
}
int kcReplaceAllW(wchar_t* out, const wchar_t* text, const wchar_t* find, const wchar_t* replacement)
{
    return replaceAll(out, kUnbounded, text, find, replacement);
}
int kcReplaceAllAN(char* out, int outBytes, const char* text, const char* find, const char* replacement)
{
    return replaceAll(out, outBytes, text, find, replacement);
}
int kcReplaceAllWN(wchar_t* out, int outUnits, const wchar_t* text, const wchar_t* find,
                   const wchar_t* replacement)
{
    return replaceAll(out, outUnits, text, find, replacement);
}

// ---- case ----

int kcToLowerA(char* text)
{
    if (!text) return 0;
    int i = 0;
    while (text[i]) {
        if (kcIsSjisLead(text + i)) {
            i += 2;
            continue;
        }
        if (text[i] >= 'A' && text[i] <= 'Z') text[i] += 'a' - 'A';
        i++;
    }
    return i;
}

int kcToLowerW(wchar_t* text)
{
    if (!text) return 0;
    int i = 0;
    for (; text[i]; i++)
        if (text[i] >= L'A' && text[i] <= L'Z') text[i] += L'a' - L'A';
    return i;
}

int kcToUpperW(wchar_t* text)
{
    if (!text) return 0;
    int i = 0;
    for (; text[i]; i++)
        if (text[i] >= L'a' && text[i] <= L'z') text[i] -= L'a' - L'A';
    return i;
}

// ---- numbers ----

template <class C> static int hexDigit(C c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

template <class C> static int parseIntEx(const C* t, int* end, int* value)
{
    if (!t) return 0;
    int i = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    if (t[i] < '0' || t[i] > '9') return 0;
    unsigned v = 0;
    if (t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        i += 2;
        for (int d; (d = hexDigit(t[i])) >= 0; i++) v = v * 16 + (unsigned)d;
    } else {
        for (; t[i] >= '0' && t[i] <= '9'; i++) v = v * 10 + (unsigned)(t[i] - '0');
        if (t[i] == '.') {
            if (end) *end = i;
            if (value) *value = (int)v;
            return 0;
        }
    }
    if (negative) v = 0u - v;
    if (end) *end = i;
    if (value) *value = (int)v;
    return 1;
}

int kcParseIntExA(const char* text, int* end, int* value) { return parseIntEx(text, end, value); }
int kcParseIntExW(const wchar_t* text, int* end, int* value) { return parseIntEx(text, end, value); }

int kcParseIntA(const char* text)
{
    int end, value;
    return parseIntEx(text, &end, &value) ? value : 0;
}

int kcParseIntW(const wchar_t* text)
{
    int end, value;
    return parseIntEx(text, &end, &value) ? value : 0;
}

float kcParseFloat(const char* text)
{
    if (!text) return 0.0f;
    int i = 0;
    bool negative = text[0] == '-';
    if (negative) i = 1;
    else if (text[0] < '0' || text[0] > '9') return 0.0f;
    // Only digits and one '.' are taken, so exponents, "inf" and hex forms never reach strtod.
    int start = i;
    while (text[i] >= '0' && text[i] <= '9') i++;
    if (text[i] == '.') {
        i++;
        while (text[i] >= '0' && text[i] <= '9') i++;
    }
    std::string digits(text + start, text + i);
    if (digits.empty() || digits == ".") return negative ? -0.0f : 0.0f;
    double d = strtod(digits.c_str(), nullptr);
    float f = (float)d;
    return negative ? -f : f;
}

// ---- copies and lines ----

void kcCopyStringA(char* dst, const char* src)
{
    int i = 0;
    for (; src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
}

void kcCopyStringW(wchar_t* dst, const wchar_t* src)
{
    int i = 0;
    for (; src[i]; i++) dst[i] = src[i];
    dst[i] = 0;
}

int kcCopyStringAN(char* dst, int dstBytes, const char* src) { return kcCopyCut(dst, dstBytes, src ? src : "", kcLen(src)); }
int kcCopyStringWN(wchar_t* dst, int dstUnits, const wchar_t* src)
{
    return kcCopyCut(dst, dstUnits, src ? src : L"", kcLen(src));
}

static int readLine(const char* text, char* out, int cap)
{
    int i = 0;
    while (text[i] && text[i] != '\n' && !(text[i] == '\r' && text[i + 1] == '\n')) i++;
    int n = i;
    if (n > cap - 2) {
        // Lines are UTF-8: do not leave a lead byte without all of its continuation bytes.
        n = cap - 2 < 0 ? 0 : cap - 2;
        while (n > 0 && ((unsigned char)text[n] & 0xC0) == 0x80) n--;
    }
    if (cap >= 2) {
        memcpy(out, text, n);
        out[n] = 0;
        out[n + 1] = 0;
    } else if (cap == 1) {
        out[0] = 0;
    }
    if (text[i] == '\n') return i + 1;
    if (text[i] == '\r') return i + 2;
    return i;
}

int kcReadLine(const char* text, char* out) { return readLine(text, out, kUnbounded); }
int kcReadLineN(const char* text, char* out, int outBytes) { return readLine(text, out, outBytes); }

int kcUtf8CharLength(const char* p)
{
    unsigned char c = (unsigned char)p[0];
    if (c < 0x80) return 1;
    if (c < 0xC0) return -2;
    if (c >= 0xFC) return -1;
    int len = 0;
    while (c & (0x80 >> len)) len++;
    for (int i = 1; i < len; i++)
        if (((unsigned char)p[i] & 0xC0) != 0x80) return -3;
    return len;
}

void kcCopyUtf8CharN(const char* text, char* out, int outBytes)
{
    if (!out || outBytes <= 0) return;
    out[0] = 0;
    if (!text || !*text) return;
    int len = kcUtf8CharLength(text);
    if (len <= 0 || len + 1 > outBytes) return;
    memcpy(out, text, len);
    out[len] = 0;
}

void kcCopyUtf8Char(const char* text, char* out) { kcCopyUtf8CharN(text, out, 8); }
