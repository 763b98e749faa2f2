#pragma once
// The lines of the system-information report: each format passes through the language table,
// is formatted into a line of 256 characters and appended, or only measured.
#include <cstdarg>

const int REPORT_LINE_UNITS = 256;

// Appends text to the end of dst (when dst is not null); the text's length either way.
int AppendReportText(wchar_t* dst, const wchar_t* text);
// One report line from a (possibly keyed) format; its length.
int AppendReportLine(wchar_t* dst, const wchar_t* format, ...);
