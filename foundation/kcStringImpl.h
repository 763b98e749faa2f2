#pragma once
// Shared inner helpers of the string functions (not part of the public interface).

// Length of the character at p: a Shift_JIS pair counts 2 (narrow), a unit 1 (wide).
int kcCharStep(const char* p);
int kcCharStep(const wchar_t* p);

template <class C> inline int kcLen(const C* s)
{
    int n = 0;
    if (s)
        while (s[n]) n++;
    return n;
}

// Largest count <= limit of leading units of s[0..len) that ends on a character boundary.
int kcCutPoint(const char* s, int len, int limit);
int kcCutPoint(const wchar_t* s, int len, int limit);

// Copies len units and a terminator when they fit into cap; otherwise the longest whole-character
// prefix. Returns 1 when the whole text was copied.
template <class C> inline int kcCopyCut(C* dst, int cap, const C* src, int len)
{
    if (!dst || cap <= 0) return 0;
    int n = len < cap ? len : kcCutPoint(src, len, cap - 1);
    for (int i = 0; i < n; i++) dst[i] = src[i];
    dst[n] = 0;
    return n == len;
}
