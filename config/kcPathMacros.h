#pragma once
// Macros in the game definition's folder paths ("%USERPROFILE%\..."), and the display-mode
// arithmetic of full-screen sizes.

// Expands every "%token%" of input into output (outUnits units with the terminator). 1 when the
// result fits whole; 0, output untouched, when it does not, or when a token's value may not go
// into a path (a brand or title read cut). Output and input may not overlap.
int kcExpandPathMacrosW(wchar_t* output, int outUnits, const wchar_t* input);
// Narrow (Shift_JIS) input, wide output; 0 also when the input does not convert whole.
int kcExpandPathMacros(wchar_t* output, int outUnits, const char* input);
// The value of one token (percent signs included); an unknown token is itself; empty when it may
// not go into a path.
void kcPathMacroValueW(wchar_t* output, int outUnits, const wchar_t* token);
void kcPathMacroValue(wchar_t* output, int outUnits, const char* token);

// height / width * 1000, truncated; 0 for a width of 0.
int kcAspectPermille(unsigned width, unsigned height);
// 1 when a equals b or one is 60 and the other 59.
int kcRefreshRateMatches(unsigned a, unsigned b);
