#include "plugin/ReportText.h"
#include "plugin/LanguageText.h"
#include <cwchar>

int AppendReportText(wchar_t* dst, const wchar_t* text)
{
    if (!text) return 0;
    if (dst) wcscat(dst, text);
    return (int)wcslen(text);
}

int AppendReportLine(wchar_t* dst, const wchar_t* format, ...)
{
    wchar_t line[REPORT_LINE_UNITS];
    va_list a;
    va_start(a, format);
    FormatTextV(line, REPORT_LINE_UNITS, format, a);
    va_end(a);
    return AppendReportText(dst, line);
}
