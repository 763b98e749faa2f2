#include "foundation/kcXmlParser.h"
#include "foundation/kcFile.h"
#include "foundation/kcFormat.h"
#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include "foundation/kcWholeFile.h"
#include "foundation/kcString.h"
#include <windows.h>
#include <climits>
#include <cstdarg>
#include <cstring>
#include <memory>

// The declaration line that the writer puts first, CR LF included (40 bytes).
static const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
static_assert(sizeof kDeclaration - 1 == 40, "declaration line is 40 bytes");

static kcXmlNode* NewNode(kcXmlNode* parent)
{
    std::unique_ptr<kcXmlNode> n(new kcXmlNode());
    n->parent = parent;
    n->attributes = new kcXmlAttrNode();
    return n.release();
}

// Links at the head of the list, as every list of the tree is built.
static void LinkHead(kcXmlNode* parent, kcXmlNode* n)
{
    n->parent = parent;
    n->next = parent->firstChild;
    if (n->next) n->next->prev = n;
    parent->firstChild = n;
}

static void FreeAttributes(kcXmlAttrNode* holder)
{
    kcXmlAttrNode* a = holder->firstChild;
    while (a) {
        kcXmlAttrNode* next = a->next;
        delete a;
        a = next;
    }
    delete holder;
}

void kcXmlFreeNode(kcXmlNode* node)
{
    if (!node) return;
    if (node->parent) {
        if (node->parent->firstChild == node) node->parent->firstChild = node->next;
        if (node->prev) node->prev->next = node->next;
        if (node->next) node->next->prev = node->prev;
    }
    // Descend to a leaf, free it (it is always its parent's head), climb back.
    kcXmlNode* cur = node;
    for (;;) {
        if (cur->firstChild) {
            cur = cur->firstChild;
            continue;
        }
        kcXmlNode* up = cur->parent;
        bool last = cur == node;
        if (!last) {
            up->firstChild = cur->next;
            if (cur->next) cur->next->prev = nullptr;
        }
        FreeAttributes(cur->attributes);
        delete cur;
        if (last) break;
        cur = up;
    }
}

// Links a new attribute at the head of the node's list. The texts are made before the attribute,
// so running out of memory leaves nothing behind.
static void LinkAttribute(kcXmlNode* node, std::string name, std::string value)
{
    kcXmlAttrNode* a = new kcXmlAttrNode();
    a->name = std::move(name);
    a->value = std::move(value);
    a->parent = node->attributes;
    a->next = node->attributes->firstChild;
    if (a->next) a->next->prev = a;
    node->attributes->firstChild = a;
}

// A node outside the tree for reading one tag, freed however the reading ends.
struct ScratchNode {
    kcXmlNode* node;
    ScratchNode() : node(NewNode(nullptr)) {}
    ~ScratchNode() { kcXmlFreeNode(node); }
    ScratchNode(const ScratchNode&) = delete;
    ScratchNode& operator=(const ScratchNode&) = delete;
};

static bool EqualNoCase(const char* a, const char* b, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)a[i], y = (unsigned char)b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

static bool EqualNoCase(const std::string& a, const char* b)
{
    size_t n = strlen(b);
    return a.size() == n && EqualNoCase(a.data(), b, n);
}

kcXmlParser::kcXmlParser() : tree(nullptr), tokens(nullptr), status(KCXML_OK), scratch(nullptr), scratchSize(0)
{
    message[0] = 0;
    // Nothing is kept when memory runs out halfway.
    std::unique_ptr<kcXmlTree> t(new kcXmlTree());
    std::unique_ptr<std::vector<std::string>> v(new std::vector<std::string>());
    t->root = NewNode(nullptr);
    tree = t.release();
    tokens = v.release();
}

kcXmlParser::~kcXmlParser()
{
    kcXmlFreeNode(tree->root);
    delete tree;
    delete tokens;
    delete[] scratch;
}

void kcXmlParser::SetError(const char* format, ...)
{
    va_list a;
    va_start(a, format);
    kcFormatV(message, sizeof message, format, a);
    va_end(a);
}

kcXmlStatus kcXmlParser::Finish(kcXmlStatus result)
{
    status = result;
    return result;
}

kcXmlNode* kcXmlParser::GetRoot() const
{
    return tree ? tree->root->firstChild : nullptr;
}

kcXmlNode* kcXmlParser::AddChild(kcXmlNode* parent, const char* name, const char* text)
{
    if (!tree) return nullptr;
    kcXmlNode* n = NewNode(nullptr);
    LinkHead(parent ? parent : tree->root, n); // owned by the tree before anything else can throw
    if (name) n->name = name;
    if (text) n->text = text;
    return n;
}

int kcXmlParser::AddAttribute(kcXmlNode* node, const char* name, const char* value)
{
    if (!node || !tree) return 0;
    for (kcXmlAttrNode* a = node->attributes->firstChild; a; a = a->next) {
        if (EqualNoCase(a->name, name)) {
            a->name = name;
            a->value = value;
            return 1;
        }
    }
    LinkAttribute(node, name, value);
    return 1;
}

int kcXmlParser::GetAttribute(kcXmlNode* node, const char* name, std::string* value) const
{
    if (!node) return 0;
    for (kcXmlAttrNode* a = node->attributes->firstChild; a; a = a->next) {
        if (EqualNoCase(a->name, name)) {
            if (value) *value = a->value;
            return 1;
        }
    }
    return 0;
}

// One pass over the text. Shift_JIS pairing is not needed here: no trail byte can be '<', '>',
// TAB or LF, so taking bytes one by one gives the same tokens.
void kcXmlParser::Tokenize(const char* text, int length)
{
    std::string cur;
    for (int i = 0; i < length; ++i) {
        char c = text[i];
        if (c == '\t' || c == '\n') {
            cur += ' ';
        } else if (c == '<') {
            if (i != 0) {
                tokens->push_back(std::move(cur));
                cur.clear();
            }
            cur += '<';
        } else if (c == '>') {
            if (i != 0) {
                cur += '>';
                tokens->push_back(std::move(cur));
                cur.clear();
            }
        } else {
            cur += c;
        }
    }
    // Text after the last '>' (or an unterminated tag) never becomes a token.
}

bool kcXmlParser::CheckDeclaration()
{
    if (tokens->empty()) return false;
    ScratchNode n;
    std::string v, e;
    return ParseTag(tokens->front(), n.node, "<?", "?>") && n.node->name == "xml" &&
           GetAttribute(n.node, "version", &v) && EqualNoCase(v, "1.0") && GetAttribute(n.node, "encoding", &e) &&
           EqualNoCase(e, "UTF-8");
}

static bool IsCommentOpener(const std::string& t)
{
    return t.size() >= 4 && EqualNoCase(t.data(), "<!--", 4);
}

static bool IsCommentCloser(const std::string& t)
{
    return t.size() >= 3 && t.compare(t.size() - 3, 3, "-->") == 0;
}

// Removes every closed comment in one pass; an unclosed one stays as ordinary tokens.
void kcXmlParser::RemoveComments()
{
    std::vector<std::string>& t = *tokens;
    size_t out = 0;
    size_t opened = 0;
    bool open = false;
    for (size_t i = 0; i < t.size(); ++i) {
        if (!open && IsCommentOpener(t[i])) {
            open = true;
            opened = out;
        }
        if (out != i) t[out] = std::move(t[i]);
        ++out;
        if (open && IsCommentCloser(t[out - 1])) {
            open = false;
            out = opened;
        }
    }
    t.resize(out);
}

kcXmlStatus kcXmlParser::ParseMemory(const char* bytes, int size)
{
    tokens->clear();
    if (!bytes || size < 0) {
        SetError("読み込みバッファが無効です。");
        return Finish(KCXML_ERR_BUFFER);
    }
    // The reader's own zero-padded copy.
    char* data = size <= INT_MAX - 8 ? (char*)kcHeapAlloc(0, size + 8) : nullptr;
    if (!data) {
        SetError("読み込みバッファが無効です。");
        return Finish(KCXML_ERR_BUFFER);
    }
    memcpy(data, bytes, (size_t)size);
    return ParseOwned(data, size);
}

// data: size bytes and 8 more from the private heap, released here. CR LF pairs become LF in
// place and the text ends at its first NUL.
kcXmlStatus kcXmlParser::ParseOwned(char* data, int size)
{
    delete[] scratch;
    scratch = nullptr;
    scratchSize = 0;
    tokens->clear();
    int length = 0;
    for (int i = 0; i < size && data[i]; ++i) {
        if (data[i] == '\r' && i + 1 < size && data[i + 1] == '\n') continue;
        data[length++] = data[i];
    }
    memset(data + length, 0, (size_t)(size + 8 - length));

    kcXmlStatus result = KCXML_OK;
    try {
        Tokenize(data, length);
        kcHeapRelease(data);
        data = nullptr;
        if (!CheckDeclaration()) {
            SetError("読み込みできない形式のファイルです。");
            result = KCXML_ERR_FORMAT;
        } else {
            RemoveComments();
            size_t pos = 1;
            while (pos < tokens->size() && ((*tokens)[pos].empty() || (*tokens)[pos][0] != '<')) ++pos;
            // Only the first top-level element is read; whatever follows its end tag is ignored.
            if (pos < tokens->size()) result = BuildTree(tree->root, &pos, 1);
        }
    } catch (...) {
        // Only the standard library's allocation and length errors arise: a text too large to
        // hold fails like a missing buffer, and gives back what it took.
        std::vector<std::string>().swap(*tokens);
        kcLog("kcXmlParser : no memory to parse %d bytes", size);
        SetError("読み込みバッファが無効です。");
        result = KCXML_ERR_BUFFER;
    }
    kcHeapRelease(data);
    delete[] scratch;
    scratch = nullptr;
    scratchSize = 0;
    return Finish(result);
}

// *pos is the element's start tag on entry and the token after its end tag on return.
kcXmlStatus kcXmlParser::BuildTree(kcXmlNode* parent, size_t* pos, int depth)
{
    kcXmlNode* node = NewNode(nullptr);
    LinkHead(parent, node);
    if (depth > kcXmlMaxDepth) {
        SetError("タグの階層が深すぎます。");
        return KCXML_ERR_TAG;
    }
    if (!ParseTag((*tokens)[*pos], node, "<", ">")) return KCXML_ERR_TAG;
    ++*pos;
    while (*pos < tokens->size()) {
        const std::string& t = (*tokens)[*pos];
        if (t.empty() || t[0] != '<') {
            node->text += t;
            ++*pos;
            continue;
        }
        bool end;
        {
            ScratchNode tag;
            if (!ParseTag(t, tag.node, "<", ">")) return KCXML_ERR_TAG;
            const std::string& name = tag.node->name;
            end = name[0] == '/';
            if (end && name.compare(1, std::string::npos, node->name) != 0) {
                SetError("タグ終端<%s>が不正です。", name.c_str());
                return KCXML_ERR_END_TAG;
            }
        }
        if (end) {
            ++*pos;
            return KCXML_OK;
        }
        kcXmlStatus s = BuildTree(node, pos, depth + 1);
        if (s != KCXML_OK) return s;
    }
    // Out of tokens: this element and all that enclose it end here.
    return KCXML_OK;
}

// Skips blanks, then takes a word up to the next blank. Going byte by byte equals going by
// UTF-8 character: continuation bytes are never blanks, and a byte that starts no valid
// character is simply taken as one byte, so the scan always moves on.
static int ParseName(const char* text, int length, int position, int* wordStart, int* wordLength)
{
    int i = position;
    while (i < length && text[i] == ' ') ++i;
    *wordStart = i;
    if (i >= length) {
        *wordLength = 0;
        return position;
    }
    while (i < length && text[i] != ' ') ++i;
    *wordLength = i - *wordStart;
    return i;
}

int kcXmlParser::ParseTag(const std::string& token, kcXmlNode* node, const char* opening, const char* closing)
{
    size_t ol = strlen(opening), cl = strlen(closing);
    if (token.size() < ol || !EqualNoCase(token.data(), opening, ol)) {
        SetError("タグではありません。");
        return 0;
    }
    if (token.size() < ol + cl || token.compare(token.size() - cl, cl, closing) != 0) {
        SetError("タグ定義に誤りがあります。");
        return 0;
    }
    if (token.size() - ol - cl > (size_t)(INT_MAX - 1024)) {
        SetError("タグ定義に誤りがあります。");
        return 0;
    }
    int inner = (int)(token.size() - ol - cl);
    if (inner + 8 >= scratchSize) {
        int grown = scratchSize + 512 + inner;
        char* s = new char[grown]();
        delete[] scratch;
        scratch = s;
        scratchSize = grown;
    }
    memcpy(scratch, token.data() + ol, (size_t)inner);
    scratch[inner] = 0;

    int ws, wl;
    int pos = ParseName(scratch, inner, 0, &ws, &wl);
    if (wl == 0) {
        SetError("不正なタグです。");
        return 0;
    }
    node->name.assign(scratch + ws, (size_t)wl);
    while (pos >= 0) pos = ParseAttribute(node, inner, pos);
    return 1;
}

// Reads one name="value" word from scratch; -1 ends the attribute list (silently for a word
// without '=', with a message for a bad value). Every accepted attribute is linked at the head.
int kcXmlParser::ParseAttribute(kcXmlNode* node, int length, int position)
{
    int ws, wl;
    int end = ParseName(scratch, length, position, &ws, &wl);
    if (wl == 0) return -1;
    const char* w = scratch + ws;
    const char* eq = (const char*)memchr(w, '=', (size_t)wl);
    if (!eq) return -1;
    std::string name(w, eq);
    int vi = (int)(eq - w) + 1;
    if (vi >= wl || (w[vi] != '"' && w[vi] != '\'')) {
        SetError("属性(%s)の値が不正です。", name.c_str());
        return -1;
    }
    // No trail byte of a double-byte character can be a quote, so bytes serve as characters.
    char quote = w[vi];
    int j = vi + 1;
    while (j < wl && w[j] != quote) ++j;
    if (j < wl && j != wl - 1) {
        SetError("属性(%s)の値が不正です。", name.c_str());
        return -1;
    }
    LinkAttribute(node, std::move(name), std::string(w + vi + 1, (size_t)(j - vi - 1)));
    return end;
}

// The path as the messages show it: Shift_JIS, cut on a character boundary when it is long
// (a message holds 511 bytes anyway).
static void NarrowPath(const wchar_t* path, char* out, int cap)
{
    out[0] = 0;
    if (path) kcWideToSjisN(out, cap, path);
}

kcXmlStatus kcXmlParser::ParseFile(const wchar_t* path)
{
    tokens->clear();
    char name[1024];
    NarrowPath(path, name, sizeof name);
    kcFile file;
    if (!path || !file.Open(path, KCFILE_READ | KCFILE_OPEN_EXISTING)) {
        SetError("ファイル %s のオープンに失敗しました。", name);
        return Finish(KCXML_ERR_OPEN);
    }
    // Read straight into the reader's own buffer: the file's bytes are held once.
    int size = 0;
    char* data = kcReadWholeFile(&file, kcXmlMaxFileBytes, &size);
    file.Close();
    if (!data) {
        SetError("ファイル %s の読み込みに失敗しました。", name);
        return Finish(KCXML_ERR_READ);
    }
    return ParseOwned(data, size);
}

// Output that copies only as far as the room allows but counts every byte.
struct kcXmlOut {
    char* buffer;
    size_t room;
    size_t count;

    void Put(const char* s, size_t n)
    {
        if (buffer && count < room) memcpy(buffer + count, s, n < room - count ? n : room - count);
        count += n;
    }
    void Put(const std::string& s) { Put(s.data(), s.size()); }
    void Blanks(int n)
    {
        static const char blanks[] = "                                ";
        while (n > 0) {
            int k = n < 32 ? n : 32;
            Put(blanks, (size_t)k);
            n -= k;
        }
    }
};

int kcXmlParser::WriteNode(int depth, kcXmlNode* parent, kcXmlOut* out)
{
    if (!parent || depth >= kcXmlMaxDepth) return 0;
    for (kcXmlNode* c = parent->firstChild; c; c = c->next) {
        out->Blanks(2 * depth);
        out->Put("<", 1);
        out->Put(c->name);
        for (kcXmlAttrNode* a = c->attributes->firstChild; a; a = a->next) {
            out->Put(" ", 1);
            out->Put(a->name);
            out->Put("=\"", 2);
            out->Put(a->value);
            out->Put("\"", 1);
        }
        out->Put(">", 1);
        if (c->firstChild) {
            out->Put("\r\n", 2);
            if (!WriteNode(depth + 1, c, out)) return 0;
            out->Blanks(2 * depth);
        } else {
            out->Put(c->text);
        }
        out->Put("</", 2);
        out->Put(c->name);
        out->Put(">\r\n", 3);
    }
    return 1;
}

kcXmlStatus kcXmlParser::WriteToBuffer(char* buffer, int* size)
{
    if (!tree || !tree->root) {
        SetError("保存情報がありません。");
        return Finish(KCXML_ERR_NO_TREE);
    }
    kcXmlOut out = {buffer, buffer && size && *size > 0 ? (size_t)*size : 0, 0};
    out.Put(kDeclaration, sizeof kDeclaration - 1);
    if (!WriteNode(0, tree->root, &out) || out.count > (size_t)INT_MAX) {
        SetError("情報が破損している可能性があります。");
        return Finish(KCXML_ERR_BROKEN);
    }
    if (size) *size = (int)out.count;
    return Finish(KCXML_OK);
}

kcXmlStatus kcXmlParser::WriteFile(const wchar_t* path)
{
    int size = 0;
    kcXmlStatus s = WriteToBuffer(nullptr, &size);
    if (s != KCXML_OK) return s;
    char name[1024];
    NarrowPath(path, name, sizeof name);
    char* buffer = (char*)kcHeapAlloc(0, size); // logs when it cannot be had
    if (!buffer) {
        SetError("ファイル書き込み[%s]に失敗しました。", name);
        return Finish(KCXML_ERR_WRITE);
    }
    WriteToBuffer(buffer, &size);
    // Through a temporary beside the destination: a failed write leaves the old file whole.
    kcSaveResult saved = path ? kcSaveWholeFile(path, buffer, size) : KCSAVE_CREATE_FAILED;
    kcHeapRelease(buffer);
    if (saved == KCSAVE_WRITE_FAILED) {
        SetError("ファイル書き込み[%s]に失敗しました。", name);
        return Finish(KCXML_ERR_WRITE);
    }
    if (saved != KCSAVE_OK) {
        SetError("書き込み先ファイル[%s]のオープンに失敗しました。", name);
        return Finish(KCXML_ERR_CREATE);
    }
    return Finish(KCXML_OK);
}
