#include "foundation/kcTextLines.h"
#include "foundation/kcHeap.h"
#include "foundation/kcString.h"
#include <algorithm>
#include <cstring>
#include <iterator>

kcTextLines::kcTextLines(int size) : dataSize(size) {}

kcTextLines::~kcTextLines()
{
    Clear();
}

kcTextLines::Line::~Line()
{
    if (data) kcHeapRelease(data);
}

// A fresh block is zeroed, so a line's data never shows stale heap bytes.
std::unique_ptr<kcTextLines::Line> kcTextLines::NewLine(const std::string& text) const
{
    std::unique_ptr<Line> line(new Line(text));
    if (dataSize > 0) {
        line->data = kcHeapAlloc(0, dataSize);
        if (line->data) memset(line->data, 0, (size_t)dataSize);
    }
    return line;
}

std::string* kcTextLines::At(int index)
{
    return index >= 0 && index < (int)lines.size() ? &lines[(size_t)index]->text : nullptr;
}

const char* kcTextLines::GetLine(int index) const
{
    return index >= 0 && index < (int)lines.size() ? lines[(size_t)index]->text.c_str() : nullptr;
}

void* kcTextLines::GetLineData(int index) const
{
    return index >= 0 && index < (int)lines.size() ? lines[(size_t)index]->data : nullptr;
}

int kcTextLines::SetLineData(int index, const void* source, int bytes)
{
    void* block = GetLineData(index);
    if (!block || bytes > dataSize || bytes < 0 || (bytes && !source)) return 0;
    memcpy(block, source, (size_t)bytes);
    return 1;
}

int kcTextLines::EraseLine(int index)
{
    if (!At(index)) return 0;
    lines.erase(lines.begin() + index);
    return 1;
}

void kcTextLines::Clear()
{
    lines.clear();
}

// Before the line at index; an index at or past the end appends.
void kcTextLines::InsertAt(int index, std::vector<std::unique_ptr<Line>>& added)
{
    size_t at = index < 0 ? 0 : (size_t)index < lines.size() ? (size_t)index : lines.size();
    lines.insert(lines.begin() + (long)at, std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
}

int kcTextLines::InsertText(const char* text, int index)
{
    if (!text) return 0;
    std::vector<std::unique_ptr<Line>> added;
    const char* p = text;
    while (*p) {
        const char* end = p;
        while (*end && *end != '\r' && *end != '\n') ++end;
        added.push_back(NewLine(std::string(p, end)));
        if (end[0] == '\r' && end[1] == '\n')
            p = end + 2;
        else if (*end)
            p = end + 1;
        else
            p = end;
    }
    InsertAt(index, added);
    return 1;
}

static size_t CharPosition(int position, size_t length)
{
    if (position < 0) return 0;
    return (size_t)position < length ? (size_t)position : length;
}

int kcTextLines::InsertString(int index, int position, const char* string)
{
    std::string* s = At(index);
    if (!s) return 0;
    if (string) s->insert(CharPosition(position, s->size()), string);
    return 1;
}

int kcTextLines::InsertChar(int index, int position, int character)
{
    char one[2] = {(char)character, 0};
    return InsertString(index, position, one);
}

int kcTextLines::InsertLines(int index, const kcTextLines* other)
{
    if (!other) return 0;
    // Copy first: other may be this list, which the insertion changes.
    std::vector<std::unique_ptr<Line>> added;
    int copyBytes = dataSize >= other->dataSize && other->dataSize > 0 ? other->dataSize : 0;
    for (const std::unique_ptr<Line>& l : other->lines) {
        added.push_back(NewLine(l->text));
        if (added.back()->data && l->data && copyBytes) memcpy(added.back()->data, l->data, (size_t)copyBytes);
    }
    InsertAt(index, added);
    return 1;
}

int kcTextLines::Replace(int index, int position, const char* search, const char* replacement)
{
    std::string* s = At(index);
    // An empty search text would match everywhere without ever moving on.
    if (!s || !search || !*search) return -1;
    size_t from = position < 0 ? 0 : (size_t)position;
    if (from > s->size()) return -1;
    size_t at = s->find(search, from);
    if (at == std::string::npos) return -1;
    size_t n = replacement ? strlen(replacement) : 0;
    s->replace(at, strlen(search), replacement ? replacement : "", n);
    return (int)(at + n);
}

int kcTextLines::EraseChars(int index, int position, int count)
{
    std::string* s = At(index);
    if (!s) return 0;
    size_t from = position < 0 ? 0 : (size_t)position;
    if (count > 0 && from < s->size()) s->erase(from, (size_t)count);
    return 1;
}

int kcTextLines::CollapseRuns(int index, int character)
{
    std::string* s = At(index);
    if (!s) return 0;
    char c = (char)character;
    size_t out = 0;
    for (size_t i = 0; i < s->size(); ++i)
        if (!(out > 0 && (*s)[i] == c && (*s)[out - 1] == c)) (*s)[out++] = (*s)[i];
    s->resize(out);
    return 1;
}

// "//" cuts its line; "/*" to "*/" is erased, across lines (lines inside become empty).
// Quotes give no protection. Each line's kept characters are moved to its front as they are
// read, so a line of many comments costs its length once. A kept character before an erased
// comment is never '/' (it would have opened "//"), so no mark forms across the gap, and
// reading on after "*/" in the original line sees what rescanning the shortened line would.
int kcTextLines::StripComments()
{
    bool inside = false;
    for (std::unique_ptr<Line>& line : lines) {
        std::string& s = line->text;
        const size_t n = s.size();
        size_t kept = 0, i = 0;
        while (i < n) {
            if (inside) {
                const size_t close = s.find("*/", i);
                if (close == std::string::npos) break;
                inside = false;
                i = close + 2;
            } else if (s[i] == '/' && i + 1 < n && s[i + 1] == '/') {
                break;
            } else if (s[i] == '/' && i + 1 < n && s[i + 1] == '*') {
                inside = true;
                ++i; // the closing search starts at the opener's '*': "/*/" is whole
            } else {
                s[kept++] = s[i++];
            }
        }
        s.resize(kept);
    }
    return 1;
}

int kcTextLines::Normalize()
{
    StripComments();
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string& s = lines[i]->text;
        for (char& c : s)
            if (c == '\t') c = ' ';
        CollapseRuns((int)i, ' ');
        if (!s.empty() && s[0] == ' ') s.erase(0, 1);
        if (!s.empty() && s.back() == ' ') s.pop_back();
    }
    EraseBlankLines();
    return 1;
}

int kcTextLines::EraseBlankLines()
{
    const size_t before = lines.size();
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const std::unique_ptr<Line>& l) { return l->text.find_first_not_of(' ') == std::string::npos; }),
                lines.end());
    return (int)(before - lines.size());
}

int kcTextLines::ConvertToUtf8()
{
    for (std::unique_ptr<Line>& l : lines) kcSjisToUtf8String(l->text);
    return 1;
}
