#pragma once
// The XML dialect's reader and writer: one "1.0"/"UTF-8" declaration, comments, elements with
// text and quoted attributes. No entities, no CDATA, no empty-element tags, nothing escaped.
// Names, texts and values are the file's bytes, unchanged.
#include <string>
#include <vector>

enum kcXmlStatus {
    KCXML_OK = 0,
    KCXML_ERR_OPEN = 1,      // input file failed to open
    KCXML_ERR_READ = 2,      // input file not read whole
    KCXML_ERR_BUFFER = 3,    // no input buffer
    KCXML_ERR_FORMAT = 4,    // no valid declaration
    KCXML_ERR_TAG = 5,       // a tag failed to parse (also: nesting too deep)
    KCXML_ERR_END_TAG = 6,   // end tag does not match the open element
    KCXML_ERR_NO_TREE = 7,   // nothing to save
    KCXML_ERR_BROKEN = 8,    // tree failed to serialise
    KCXML_ERR_CREATE = 9,    // output file failed to open
    KCXML_ERR_WRITE = 10,    // output file not written whole
};

// Deepest element nesting that is read or written; deeper input is refused so that no
// recursive walk over a tree can exhaust the stack.
const int kcXmlMaxDepth = 256;

// Largest file that ParseFile reads (8 MiB): a hundred times any of the system's XML files, and
// small enough that the worst text of that size (empty elements only) is parsed and tabled in
// about 400 MB, within a 32-bit process. A larger file is refused with a log line, as a file
// that cannot be read.
const int kcXmlMaxFileBytes = 8 << 20;

struct kcXmlAttrNode {
    kcXmlAttrNode* parent; // the holder
    kcXmlAttrNode* firstChild; // the holder's list head; null in an attribute
    kcXmlAttrNode* prev;
    kcXmlAttrNode* next;
    std::string name;
    std::string value;
};

struct kcXmlNode {
    kcXmlNode* parent;
    kcXmlNode* firstChild;
    kcXmlNode* prev;
    kcXmlNode* next;
    std::string name;
    std::string text;
    kcXmlAttrNode* attributes; // holder, never null
};

struct kcXmlOut;

struct kcXmlTree {
    kcXmlNode* root; // nameless; its children are the top-level elements
};

// Every list (children, attributes) runs from the most recently linked entry: the parser links
// in file order, so a parsed list runs backwards; the writer writes from the head.
class kcXmlParser {
public:
    kcXmlParser();
    ~kcXmlParser();
    kcXmlParser(const kcXmlParser&) = delete;
    kcXmlParser& operator=(const kcXmlParser&) = delete;

    kcXmlStatus ParseMemory(const char* bytes, int size);
    // Refuses (status 2) a file larger than kcXmlMaxFileBytes; a text too large for the memory
    // left gives status 3.
    kcXmlStatus ParseFile(const wchar_t* path);
    // Null buffer: measures only. On success *size becomes the length of the whole text.
    kcXmlStatus WriteToBuffer(char* buffer, int* size);
    // Through a temporary file beside path that replaces it only once written, flushed and
    // closed (kcSaveWholeFile): on any failure the old file stays whole and no temporary is left.
    // Status 9 when no temporary can be made or it cannot replace path, 10 when it was not
    // written whole.
    kcXmlStatus WriteFile(const wchar_t* path);

    kcXmlNode* GetRoot() const;
    kcXmlNode* AddChild(kcXmlNode* parent, const char* name, const char* text);
    int AddAttribute(kcXmlNode* node, const char* name, const char* value);
    int GetAttribute(kcXmlNode* node, const char* name, std::string* value) const;
    void SetError(const char* format, ...);

    int GetStatus() const { return status; }
    const char* GetMessage() const { return message; }

private:
    kcXmlStatus ParseOwned(char* data, int size);
    void Tokenize(const char* text, int length);
    bool CheckDeclaration();
    void RemoveComments();
    kcXmlStatus BuildTree(kcXmlNode* parent, size_t* pos, int depth);
    int ParseTag(const std::string& token, kcXmlNode* node, const char* opening, const char* closing);
    int ParseAttribute(kcXmlNode* node, int length, int position);
    int WriteNode(int depth, kcXmlNode* parent, kcXmlOut* out);
    kcXmlStatus Finish(kcXmlStatus result);

    kcXmlTree* tree;
    std::vector<std::string>* tokens; // in input order
    int status;
    char message[512];
    char* scratch; // inner text of the tag being parsed
    int scratchSize;
};

// Frees a node with its whole subtree, without recursion, after unlinking it.
void kcXmlFreeNode(kcXmlNode* node);
