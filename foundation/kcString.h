#pragma once
// Memory, text, path and encoding functions of the library.
// Narrow text (suffix A) is Shift_JIS (code page 932); wide text (suffix W) is UTF-16.
//
// Functions without a size argument trust the caller's buffer (paths use 260 units).
// Every one of them has a sized form named with an N suffix; its capacity counts the
// terminator and follows the output argument. A sized form never writes past its capacity:
//  - text conversions and copies keep the longest whole-character prefix (a Shift_JIS pair
//    or a UTF-16 surrogate pair is never split), terminate it, and report the cut;
//  - path functions refuse a result that does not fit: the output is left empty (SetExtension
//    leaves the path as it was) and the result is 0.
#include <string>

// Memory. kcMemCopy and kcMemZero move 8 bytes at a time through MMX when enabled.
void kcMemCopy(void* dst, const void* src, unsigned bytes);
void kcMemZero(void* dst, unsigned bytes);
int kcMemCompare(const void* a, const void* b, unsigned bytes);
// Set by the capability object once it has probed the processor (off until then).
void kcMemSetMmx(int enabled);
int kcMemGetMmx();

// Extensions: the text behind the last '.' that follows the last separator ('\' or '/').
int kcSetExtensionA(char* path, const char* ext);
int kcSetExtensionW(wchar_t* path, const wchar_t* ext);
int kcSetExtensionAN(char* path, int pathBytes, const char* ext);    // 0 when it would not fit
int kcSetExtensionWN(wchar_t* path, int pathUnits, const wchar_t* ext);
const wchar_t* kcGetExtensionW(const wchar_t* path);
int kcHasExtensionW(const wchar_t* path);

// File name: the text behind the last separator.
int kcGetFileNameA(const char* path, char* out);
int kcGetFileNameW(const wchar_t* path, wchar_t* out);
int kcGetFileNameAN(const char* path, char* out, int outBytes);
int kcGetFileNameWN(const wchar_t* path, wchar_t* out, int outUnits);

// Parent: the text before the last separator; 0 when there is none to take.
int kcGetParentPathA(const char* path, char* out);
int kcGetParentPathW(const wchar_t* path, wchar_t* out);
int kcGetParentPathAN(const char* path, char* out, int outBytes);
int kcGetParentPathWN(const wchar_t* path, wchar_t* out, int outUnits);

// Joins count pieces (const wchar_t*) with '\'; returns the length of out.
int kcJoinPath(wchar_t* out, int count, ...);
int kcJoinPathN(wchar_t* out, int outUnits, int count, ...);

// Search and replace; indexes count bytes (A) or units (W).
int kcFindCharA(const char* text, int code);
int kcFindCharW(const wchar_t* text, int code);
int kcFindStringA(const char* text, const char* part);
int kcFindStringW(const wchar_t* text, const wchar_t* part);
int kcReplaceAllA(char* out, const char* text, const char* find, const char* replacement);
int kcReplaceAllW(wchar_t* out, const wchar_t* text, const wchar_t* find, const wchar_t* replacement);
// Length of out, or -1 when the result was cut to fit.
int kcReplaceAllAN(char* out, int outBytes, const char* text, const char* find, const char* replacement);
int kcReplaceAllWN(wchar_t* out, int outUnits, const wchar_t* text, const wchar_t* find,
                   const wchar_t* replacement);

// Case (ASCII letters only); return the length.
int kcToLowerA(char* text);
int kcToLowerW(wchar_t* text);
int kcToUpperW(wchar_t* text);

// Integers: [+-]digits or [+-]0x hex digits; a '.' behind decimal digits is not an integer.
int kcParseIntA(const char* text);
int kcParseIntW(const wchar_t* text);
int kcParseIntExA(const char* text, int* end, int* value);
int kcParseIntExW(const wchar_t* text, int* end, int* value);
float kcParseFloat(const char* text);

// Plain copies with the terminator.
void kcCopyStringA(char* dst, const char* src);
void kcCopyStringW(wchar_t* dst, const wchar_t* src);
// 1 when the whole text was copied, 0 when it was cut to fit.
int kcCopyStringAN(char* dst, int dstBytes, const char* src);
int kcCopyStringWN(wchar_t* dst, int dstUnits, const wchar_t* src);

int kcIsWideCharW(const wchar_t* p);
int kcIsSjisLead(const char* p);
int kcGetSjisChar(const char* p);

// Copies one line (ended by LF or CR LF) and returns the offset of the next one.
int kcReadLine(const char* text, char* out);
// The line is cut to fit outBytes (two terminating zero bytes included); the offset is the same.
int kcReadLineN(const char* text, char* out, int outBytes);

int kcUtf8CharLength(const char* p);
void kcCopyUtf8Char(const char* text, char* out);
void kcCopyUtf8CharN(const char* text, char* out, int outBytes); // out empty when it does not fit

// Conversions. Code page 932 is Shift_JIS.
// Sized ones return the count written with the terminator, 0 when the source failed to convert
// or was cut to fit (dst then holds the cut text, terminated).
int kcWideToSjisN(char* dst, int dstBytes, const wchar_t* src);
int kcSjisToWideN(wchar_t* dst, int dstUnits, const char* src);
int kcWideToSjis(char* dst, const wchar_t* src); // dst holds 4096 bytes
int kcSjisToWide(wchar_t* dst, const char* src); // dst holds 4096 units
// Through UTF-16 (at most 4096 units); dst is untouched when the result does not fit.
// Return the bytes written with the terminator, 0 when nothing was written.
int kcSjisToUtf8(const char* src, char* dst, int dstBytes);
int kcUtf8ToSjis(const char* src, char* dst, int dstBytes);
void kcSjisToUtf8String(std::string& s);
// UTF-8 with the reserved form FF FF for U+FFFF; characters above U+FFFF as surrogate pairs.
int kcWideToUtf8(const wchar_t* src, char* dst);
wchar_t* kcUtf8ToWide(const char* src, wchar_t* dst);
int kcWideToUtf8N(const wchar_t* src, char* dst, int dstBytes);
int kcUtf8ToWideN(const char* src, wchar_t* dst, int dstUnits);

// Whole or nothing, for text that becomes a path or part of one. The UTF-16 form of all `bytes`
// bytes of src, terminated, or false with dst untouched: a byte that starts no well-formed
// character (a NUL, the FF FF form of U+FFFF, an unmapped Shift_JIS pair) or a result longer
// than dstUnits - 1 units is refused. *stop (may be null) gets the offset of the first byte not
// taken, `bytes` on success.
bool kcUtf8ToWideWhole(const char* src, size_t bytes, wchar_t* dst, int dstUnits, size_t* stop);
bool kcSjisToWideWhole(const char* src, size_t bytes, wchar_t* dst, int dstUnits, size_t* stop);
// True when all `bytes` bytes are well-formed UTF-8 (no NUL, no FF FF).
bool kcUtf8IsWhole(const char* src, size_t bytes, size_t* stop);
// Code page 932 form of src, false (dst untouched) when a character has none or it does not fit.
bool kcWideToSjisWhole(const wchar_t* src, char* dst, int dstBytes);
