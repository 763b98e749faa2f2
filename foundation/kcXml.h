#pragma once
// XML documents addressed by paths of element names. The element table keeps every level in
// reverse file order (the parser's lists run backwards); setters append at the end of a level;
// saving writes each level from its last entry to its first, which restores file order.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class kcXmlParser;
class kcXmlLevel;
class kcXmlPaths;

struct kcXmlAttribute {
    std::string name;
    std::string value;
};

// Plain record: the owning pointers are freed by the document, never by the record itself.
struct kcXmlElement {
    std::string name; // UTF-8 as in the file
    std::string text; // every text token inside the element, untrimmed
    std::vector<kcXmlAttribute>* attributes; // null when none
    kcXmlLevel* children; // null when none; never empty
};

// One level of the table. Lookups by name go through an index once a level is large, so that
// reading every key of a big section costs n log n comparisons, whatever its names.
class kcXmlLevel {
public:
    kcXmlLevel();
    ~kcXmlLevel();
    kcXmlLevel(const kcXmlLevel&) = delete;
    kcXmlLevel& operator=(const kcXmlLevel&) = delete;

    typedef const kcXmlElement* (*Visitor)(void* context, const kcXmlElement& e);

    std::vector<kcXmlElement> items;
    void Append(kcXmlElement e);
    // Calls visit for each element of the name in table order until it returns non-null, and
    // gives that in *found (else null); false, having visited nothing, means "scan the items".
    bool Visit(const char* name, Visitor visit, void* context, const kcXmlElement** found);
    // Name comparisons that the indexes of this level and of those below have made (a test seam).
    size_t Compares() const;

private:
    struct Index;
    Index* index;
};

// Walks one children level by position, so that setters appending to it keep it valid.
struct kcXmlIterator {
    kcXmlLevel* children;
    size_t current;
};

class kcXml {
public:
    kcXml();
    ~kcXml();
    kcXml(const kcXml&) = delete;
    kcXml& operator=(const kcXml&) = delete;

    int New();
    int Open(const wchar_t* path);
    // Open and OpenMemory: 0 on any failure, running out of memory included, with the document
    // left empty. size 0: the bytes are a NUL-terminated text.
    int OpenMemory(const char* bytes, int size);
    // 1 only when the whole file was written; on any failure the document stays as it was.
    int Save(const wchar_t* path);

    // Getters: count narrow element names follow. The root "document" is left out of paths.
    int GetInt(int def, int count, ...);
    float GetFloat(float def, int count, ...);
    // Destination sizes count the terminator; a longer text is cut on a character boundary.
    int GetString(char* dst, int dstBytes, const char* def, int count, ...);
    int GetStringW(wchar_t* dst, int dstUnits, const wchar_t* def, int count, ...);
    int GetIntVec(int def, const std::vector<std::string>& path);
    float GetFloatVec(float def, const std::vector<std::string>& path);
    int GetStringVec(char* dst, int dstBytes, const char* def, const std::vector<std::string>& path);
    int GetStringWVec(wchar_t* dst, int dstUnits, const wchar_t* def, const std::vector<std::string>& path);
    // The whole text, however long: UTF-8 bytes, or UTF-16. 0 (out untouched) when absent.
    int GetTextVec(std::string* out, const std::vector<std::string>& path);
    int GetTextWVec(std::wstring* out, const std::vector<std::string>& path);
    // Texts that are, or go into, paths: taken whole or not at all. 1 when the text converted
    // whole and fits dst (terminator included); 0 when absent; -1 with a log line when it holds
    // a byte that is not UTF-8 or does not fit. dst or out is written only on 1.
    int GetPathW(wchar_t* dst, int dstUnits, int count, ...);
    int GetPathWVec(wchar_t* dst, int dstUnits, const std::vector<std::string>& path);
    int GetPathTextWVec(std::wstring* out, const std::vector<std::string>& path);
    // Narrow fields that keep the UTF-8 bytes.
    int GetPathVec(char* dst, int dstBytes, const std::vector<std::string>& path);

    // Children of document/<names split at '/'>; the last child of the file comes first.
    int FindChildren(kcXmlIterator* it, int count, ...);
    int FindChildrenVec(kcXmlIterator* it, const std::vector<std::string>& path);
    int NextChild(kcXmlIterator* it, std::string* name);

    // Name comparisons that the level indexes and the filed groups have made so far (a test seam).
    size_t NameCompares() const;

    // Setters: 0 without a table, for a path deeper than the nesting limit, for a name the
    // dialect cannot write back, or for a text holding '<' (which would not load again).
    int SetInt(int value, int count, ...);
    int SetFloat(float value, int count, ...);
    int SetStringW(const wchar_t* text, int count, ...);
    int SetIntVec(int value, const std::vector<std::string>& path);
    int SetFloatVec(float value, const std::vector<std::string>& path);
    int SetStringWVec(const wchar_t* text, const std::vector<std::string>& path);

private:
    const kcXmlElement* Find(const char* const* names, int count);
    int GetStringAt(char* dst, int dstBytes, const char* def, const char* const* names, int count);
    int GetStringWAt(wchar_t* dst, int dstUnits, const wchar_t* def, const char* const* names, int count);
    int GetPathWAt(wchar_t* dst, int dstUnits, const char* const* names, int count);
    int SetStringWAt(const wchar_t* text, const char* const* names, int count);
    int FindChildrenAt(kcXmlIterator* it, const std::vector<std::string>& parts, bool any);
    int SetValue(const std::string& text, const char* const* names, int count);
    const kcXmlElement* Reach(const char* const* names, int count, bool underDocument);
    void DropPaths();
    int Load(bool file, const wchar_t* path, const char* bytes, int size);
    void Reset();

    kcXmlParser* parser;
    kcXmlLevel* elements;
    // What searches learnt about groups of same-named elements; null again after any change.
    kcXmlPaths* paths;
};
