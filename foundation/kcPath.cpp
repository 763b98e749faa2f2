#include "foundation/kcString.h"
#include "foundation/kcStringImpl.h"
#include <cstdarg>

// Narrow scans step over Shift_JIS pairs, so a trail byte 0x5C is never taken for '\'.
template <class C> static int lastSeparator(const C* path)
{
    int last = -1;
    for (int i = 0; path[i]; i += kcCharStep(path + i))
        if (path[i] == '\\' || path[i] == '/') last = i;
    return last;
}

// Index of the extension's '.', -1 when the path has none.
template <class C> static int extensionDot(const C* path)
{
    int dot = -1;
    for (int i = lastSeparator(path) + 1; path[i]; i += kcCharStep(path + i))
        if (path[i] == '.') dot = i;
    return dot;
}

static const int kUnbounded = 0x7FFFFFFF;

template <class C> static int setExtension(C* path, int cap, const C* ext)
{
    if (!path) return 0;
    int dot = extensionDot(path);
    int base = dot >= 0 ? dot : kcLen(path);
    int extLen = ext ? kcLen(ext) : 0;
    if (ext && base + 1 + extLen >= cap) return 0;
    path[base] = 0;
    if (ext) {
        path[base] = '.';
        for (int i = 0; i < extLen; i++) path[base + 1 + i] = ext[i];
        path[base + 1 + extLen] = 0;
    }
    return 1;
}

int kcSetExtensionA(char* path, const char* ext) { return setExtension(path, kUnbounded, ext); }
int kcSetExtensionW(wchar_t* path, const wchar_t* ext) { return setExtension(path, kUnbounded, ext); }
int kcSetExtensionAN(char* path, int pathBytes, const char* ext) { return setExtension(path, pathBytes, ext); }
int kcSetExtensionWN(wchar_t* path, int pathUnits, const wchar_t* ext) { return setExtension(path, pathUnits, ext); }

const wchar_t* kcGetExtensionW(const wchar_t* path)
{
    if (!path) return nullptr;
    int dot = extensionDot(path);
    return dot >= 0 ? path + dot + 1 : path + kcLen(path);
}

int kcHasExtensionW(const wchar_t* path) { return path && extensionDot(path) >= 0; }

// Copies n units of src when they fit; else out is left empty and the result is 0.
template <class C> static int putWhole(C* out, int cap, const C* src, int n)
{
    if (n >= cap) {
        if (cap > 0) out[0] = 0;
        return 0;
    }
    for (int i = 0; i < n; i++) out[i] = src[i];
    out[n] = 0;
    return 1;
}

template <class C> static int getFileName(const C* path, C* out, int cap)
{
    if (!out) return 0;
    if (!path) {
        if (cap > 0) out[0] = 0;
        return 0;
    }
    const C* name = path + lastSeparator(path) + 1;
    return putWhole(out, cap, name, kcLen(name));
}

int kcGetFileNameA(const char* path, char* out) { return getFileName(path, out, kUnbounded); }
int kcGetFileNameW(const wchar_t* path, wchar_t* out) { return getFileName(path, out, kUnbounded); }
int kcGetFileNameAN(const char* path, char* out, int outBytes) { return getFileName(path, out, outBytes); }
int kcGetFileNameWN(const wchar_t* path, wchar_t* out, int outUnits) { return getFileName(path, out, outUnits); }

template <class C> static int getParentPath(const C* path, C* out, int cap)
{
    int sep = path ? lastSeparator(path) : -1;
    if (sep <= 0) {
        if (out && cap > 0) out[0] = 0;
        return 0;
    }
    if (!out) return 1;
    return putWhole(out, cap, path, sep);
}

int kcGetParentPathA(const char* path, char* out) { return getParentPath(path, out, kUnbounded); }
int kcGetParentPathW(const wchar_t* path, wchar_t* out) { return getParentPath(path, out, kUnbounded); }
int kcGetParentPathAN(const char* path, char* out, int outBytes) { return getParentPath(path, out, outBytes); }
int kcGetParentPathWN(const wchar_t* path, wchar_t* out, int outUnits)
{
    return getParentPath(path, out, outUnits);
}

static int joinPath(wchar_t* out, int cap, int count, va_list args)
{
    if (!out || cap <= 0) return 0;
    out[0] = 0;
    if (count <= 0) return 0;
    const wchar_t* first = va_arg(args, const wchar_t*);
    int n = kcLen(first);
    if (n >= cap) return out[0] = 0, 0;
    for (int i = 0; i < n; i++) out[i] = first[i];
    if (n >= 2 && n <= 3 && first[1] == L':') {
        // A drive root loses every trailing backslash: "C:\" becomes "C:".
        while (n > 0 && out[n - 1] == L'\\') n--;
    } else if (n > 0 && out[n - 1] == L'\\') {
        n--;
    }
    for (int k = 1; k < count; k++) {
        const wchar_t* piece = va_arg(args, const wchar_t*);
        int len = kcLen(piece);
        if (n + 1 + len >= cap) return out[0] = 0, 0;
        out[n++] = L'\\';
        for (int i = 0; i < len; i++) out[n++] = piece[i];
        if (out[n - 1] == L'\\') n--;
    }
    out[n] = 0;
    return n;
}

int kcJoinPath(wchar_t* out, int count, ...)
{
    va_list a;
    va_start(a, count);
    int n = joinPath(out, kUnbounded, count, a);
    va_end(a);
    return n;
}

int kcJoinPathN(wchar_t* out, int outUnits, int count, ...)
{
    va_list a;
    va_start(a, count);
    int n = joinPath(out, outUnits, count, a);
    va_end(a);
    return n;
}
