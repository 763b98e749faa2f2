#pragma once
// A text as an ordered list of narrow (byte) lines, each with an optional data block of a
// fixed size, with the editing steps of a line-oriented reader. Knows no encoding except in
// ConvertToUtf8 (code page 932 to UTF-8).
// A pointer from GetLine or GetLineData stays valid until that line is changed or erased:
// each line lives in its own allocation, which other lines' inserts and erases never move.
#include <memory>
#include <string>
#include <vector>

class kcTextLines {
public:
    explicit kcTextLines(int dataSize);
    ~kcTextLines();
    kcTextLines(const kcTextLines&) = delete;
    kcTextLines& operator=(const kcTextLines&) = delete;

    int GetCount() const { return (int)lines.size(); }
    const char* GetLine(int index) const;
    void* GetLineData(int index) const;
    int SetLineData(int index, const void* source, int bytes);
    int EraseLine(int index);
    void Clear();

    // Splits at CR, LF or CR LF (the text ends at its NUL) and inserts before index.
    int InsertText(const char* text, int index);
    int InsertString(int index, int position, const char* string);
    int InsertChar(int index, int position, int character);
    // Each line of other becomes one line here, in order, with a copy of its data block.
    int InsertLines(int index, const kcTextLines* other);
    // Position just after the inserted replacement, or -1.
    int Replace(int index, int position, const char* search, const char* replacement);
    int EraseChars(int index, int position, int count);
    int CollapseRuns(int index, int character);
    int StripComments();
    int Normalize();
    // Erases, in one pass, every line that is empty or holds only blanks (0x20); the count erased.
    int EraseBlankLines();
    int ConvertToUtf8();

private:
    // Owns its text and its data block (released with the line).
    struct Line {
        explicit Line(const std::string& t) : text(t), data(nullptr) {}
        ~Line();
        Line(const Line&) = delete;
        Line& operator=(const Line&) = delete;
        std::string text;
        void* data;
    };
    std::unique_ptr<Line> NewLine(const std::string& text) const;
    std::string* At(int index);
    void InsertAt(int index, std::vector<std::unique_ptr<Line>>& added);
    std::vector<std::unique_ptr<Line>> lines;
    int dataSize;
};
