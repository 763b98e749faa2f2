#include <windows.h>
#include "foundation/kcString.h"
#include "foundation/kcXmlParser.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {

const std::string D = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";

// The tree as its lists run: name[attr=value,...]'text'(children...), siblings joined by ','.
std::string Dump(const kcXmlNode* n)
{
    std::string s;
    for (; n; n = n->next) {
        if (!s.empty()) s += ",";
        s += n->name;
        if (n->attributes->firstChild) {
            s += "[";
            for (const kcXmlAttrNode* a = n->attributes->firstChild; a; a = a->next)
                s += a->name + "=" + a->value + (a->next ? "," : "");
            s += "]";
        }
        if (!n->text.empty()) s += "'" + n->text + "'";
        if (n->firstChild) s += "(" + Dump(n->firstChild) + ")";
    }
    return s;
}

std::string Write(kcXmlParser& p)
{
    int size = 0;
    EXPECT_EQ(KCXML_OK, p.WriteToBuffer(nullptr, &size));
    std::string out((size_t)size, '\0');
    EXPECT_EQ(KCXML_OK, p.WriteToBuffer(&out[0], &size));
    EXPECT_EQ(out.size(), (size_t)size);
    return out;
}

struct GrammarCase {
    const char* what;
    std::string input;
    int status;
    std::string tree;
    std::string message; // Shift_JIS, as the parser formats it; empty: not checked
};

} // namespace

TEST(XmlParser, GrammarAndStatusTable)
{
    const GrammarCase cases[] = {
        {"empty input", "", 4, "", "読み込みできない形式のファイルです。"},
        {"byte-order mark first", "\xEF\xBB\xBF" + D + "<a>1</a>", 4, "", ""},
        {"empty line first", "\r\n" + D + "<a>1</a>", 4, "", ""},
        {"NUL first", std::string("\0", 1) + D, 4, "", ""},
        {"no encoding", "<?xml version=\"1.0\"?><a></a>", 4, "", ""},
        {"Shift_JIS refused", "<?xml version=\"1.0\" encoding=\"Shift_JIS\"?><a></a>", 4, "", ""},
        {"name is case-sensitive", "<?XML version=\"1.0\" encoding=\"UTF-8\"?><a></a>", 4, "", ""},
        {"single quotes, lower case", "<?xml version='1.0' encoding='utf-8'?><a>x</a>", 0, "a'x'", ""},
        {"extra declaration attributes", "<?xml standalone=\"yes\" version=\"1.0\" encoding=\"UTF-8\"?><a/b></a/b>", 0,
         "a/b", ""},
        {"last duplicate wins", "<?xml version=\"1.0\" encoding=\"SJIS\" encoding=\"UTF-8\"?><a></a>", 0, "a", ""},
        {"declaration only", D + "\r\n", 0, "", ""},
        {"comments only", D + "\r\n<!-- c -->\r\n  <!--d-->", 0, "", ""},
        {"only first top-level element", D + "<a>1</a><b>2</b>", 0, "a'1'", ""},
        {"missing final end tag", D + "<document><a>1</a>", 0, "document(a'1')", ""},
        {"every element ends at the end", D + "<document><a><b>1", 0, "document(a(b))", ""},
        {"no empty-element tag", D + "<document><a/></document>", 6, "document(a/)", "タグ終端</document>が不正です。"},
        {"end tags are case-sensitive", D + "<a></A>", 6, "a", "タグ終端</A>が不正です。"},
        {"empty tag", D + "<r><></r>", 5, "r", "不正なタグです。"},
        {"blanks around the name", D + "< a ></a>", 0, "a", ""},
        {"value glued to next attribute", D + "<a x=\"1\"y=\"2\"></a>", 0, "a", "属性(x)の値が不正です。"},
        {"unquoted value", D + "<a x=1></a>", 0, "a", "属性(x)の値が不正です。"},
        {"bare word ends the list", D + "<a x=\"1\" y z=\"3\"></a>", 0, "a[x=1]", ""},
        {"blank inside a value", D + "<a x=\"p q\"></a>", 0, "a[x=p]", ""},
        {"other quote is a byte", D + "<a x=\"it's\" y='say\"'></a>", 0, "a[y=say\",x=it's]", ""},
        {"duplicates kept, last first", D + "<a x=\"1\" X=\"2\"></a>", 0, "a[X=2,x=1]", ""},
        {"CR LF becomes a blank", D + "<a>a\r\nb\tc</a>", 0, "a'a b c'", ""},
        {"lone CR stays", D + "<a>a\rb</a>", 0, "a'a\rb'", ""},
        {"'>' in text", D + "<a>a > b</a>", 0, "a'a > b'", ""},
        {"no entities", D + "<a>&lt;&amp;</a>", 0, "a'&lt;&amp;'", ""},
        {"children run backwards", D + "<r><a>1</a><b>2</b></r>", 0, "r(b'2',a'1')", ""},
        {"blanks between children join the text", D + "<r>\n <a>1</a>\n</r>", 0, "r'   '(a'1')", ""},
        {"comments removed, texts join", D + "<r><!-- 1 > 2 --><a>1</a>x<!--c-->y</r>", 0, "r'xy'(a'1')", ""},
        {"unclosed comment is a bad tag", D + "<r><!-- x<a>1</a></r>", 5, "r", "タグ定義に誤りがあります。"},
        {"doctype becomes an element", D + "<!DOCTYPE x><a>1</a>", 0, "!DOCTYPE(a'1')", ""},
        {"tag cut by '<'", D + "<r><a <b></r>", 5, "r", "タグ定義に誤りがあります。"},
        {"Japanese UTF-8 kept as bytes", D + u8"<名前 属性=\"値\">日本語</名前>", 0, u8"名前[属性=値]'日本語'", ""},
        {"invalid UTF-8 in a tag", D + "<a\xFF\xC3 x=\"\xFE\">t</a\xFF\xC3>", 0, "a\xFF\xC3[x=\xFE]'t'", ""},
        {"text after the last '>' dropped", D + "<a>1</a>tail", 0, "a'1'", ""},
    };
    for (const GrammarCase& c : cases) {
        SCOPED_TRACE(c.what);
        kcXmlParser p;
        EXPECT_EQ(c.status, p.ParseMemory(c.input.data(), (int)c.input.size()));
        EXPECT_EQ(c.status, p.GetStatus());
        EXPECT_EQ(c.tree, Dump(p.GetRoot()));
        if (!c.message.empty()) {
            EXPECT_EQ(c.message, p.GetMessage());
        }
    }
}

TEST(XmlParser, NullBufferAndAttributeLookup)
{
    kcXmlParser p;
    EXPECT_EQ(KCXML_ERR_BUFFER, p.ParseMemory(nullptr, 10));
    EXPECT_STREQ("読み込みバッファが無効です。", p.GetMessage());

    std::string in = D + "<a Key=\"1\" key=\"2\"></a>";
    ASSERT_EQ(KCXML_OK, p.ParseMemory(in.data(), (int)in.size()));
    std::string v;
    EXPECT_EQ(1, p.GetAttribute(p.GetRoot(), "KEY", &v));
    EXPECT_EQ("2", v); // the one written last in the file
    EXPECT_EQ(0, p.GetAttribute(p.GetRoot(), "other", &v));
    // Adding replaces a name that matches ignoring case, name and value.
    EXPECT_EQ(1, p.AddAttribute(p.GetRoot(), "KEY", "3"));
    EXPECT_EQ("a[KEY=3,Key=1]", Dump(p.GetRoot()));
    EXPECT_EQ(0, p.AddAttribute(nullptr, "x", "y"));
}

TEST(XmlParser, WriterBytes)
{
    kcXmlParser empty;
    EXPECT_EQ(D + "\r\n", Write(empty));

    // Lists are written from their head; nothing is escaped; an empty leaf stays on one line;
    // a parent's own text is not written.
    kcXmlParser p;
    kcXmlNode* doc = p.AddChild(nullptr, "document", nullptr);
    kcXmlNode* screen = p.AddChild(doc, "SCREEN", "ignored: has children");
    p.AddChild(screen, "width", "800");
    kcXmlNode* second = p.AddChild(doc, "second", nullptr);
    p.AddAttribute(second, "x", "1");
    p.AddAttribute(second, "y", "2");
    p.AddChild(doc, "last", "a<b&c");
    const std::string written = D + "\r\n<document>\r\n  <last>a<b&c</last>\r\n  <second y=\"2\" x=\"1\"></second>\r\n"
                                    "  <SCREEN>\r\n    <width>800</width>\r\n  </SCREEN>\r\n</document>\r\n";
    EXPECT_EQ(written, Write(p));

    // The measured size counts everything; a short buffer is filled and never overrun.
    char buf[32];
    memset(buf, '#', sizeof buf);
    int size = 10;
    EXPECT_EQ(KCXML_OK, p.WriteToBuffer(buf, &size));
    EXPECT_EQ((int)written.size(), size);
    EXPECT_EQ(written.substr(0, 10), std::string(buf, 10));
    EXPECT_EQ('#', buf[10]);

    // A parsed tree lies reversed: written back, children and attributes come out reversed.
    std::string in = D + "\r\n<r a=\"1\" b=\"2\">\r\n  <x>1</x>\r\n  <y>2</y>\r\n</r>\r\n";
    kcXmlParser q;
    ASSERT_EQ(KCXML_OK, q.ParseMemory(in.data(), (int)in.size()));
    EXPECT_EQ(D + "\r\n<r b=\"2\" a=\"1\">\r\n  <y>2</y>\r\n  <x>1</x>\r\n</r>\r\n", Write(q));
}

TEST(XmlParser, FilesReadAndWritten)
{
    TempDir dir;
    kcXmlParser p;
    p.AddChild(p.AddChild(nullptr, "document", nullptr), "name", u8"日本語");
    std::wstring path = dir.File(L"out.xml");
    ASSERT_EQ(KCXML_OK, p.WriteFile(path.c_str()));
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(Write(p), bytes); // file size = measured size, no BOM, no NUL
    kcXmlParser q;
    ASSERT_EQ(KCXML_OK, q.ParseFile(path.c_str()));
    EXPECT_EQ(u8"document'    '(name'日本語')", Dump(q.GetRoot())); // CR LF and indent as blanks

    EXPECT_EQ(KCXML_ERR_OPEN, q.ParseFile(dir.File(L"none.xml").c_str()));
    EXPECT_EQ(0, strncmp(q.GetMessage(), "ファイル ", 9));
    EXPECT_NE(nullptr, strstr(q.GetMessage(), "none.xml"));
    // A path longer than the narrow name buffer still shows, cut, in the 511-byte message.
    std::wstring longPath = dir.Path() + L"\\" + std::wstring(600, L'表') + L".xml";
    EXPECT_EQ(KCXML_ERR_OPEN, q.ParseFile(longPath.c_str()));
    char narrowDir[1024];
    ASSERT_GT(kcWideToSjisN(narrowDir, sizeof narrowDir, dir.Path().c_str()), 0);
    // Cut to 511 bytes on a character boundary: the folder's length decides where the last 表 ends.
    const size_t head = 9 + strlen(narrowDir) + 1;
    EXPECT_EQ(head + (511 - head) / 2 * 2, strlen(q.GetMessage()));
    EXPECT_EQ(0u, std::string(q.GetMessage()).find(std::string("ファイル ") + narrowDir + "\\表表"));

    EXPECT_EQ(KCXML_ERR_CREATE, p.WriteFile(dir.File(L"no\\such\\x.xml").c_str()));
    EXPECT_NE(nullptr, strstr(p.GetMessage(), "のオープンに失敗しました。"));
}

TEST(XmlParser, NestingCap)
{
    auto nested = [](int depth, bool closed) {
        std::string s = D;
        for (int i = 0; i < depth; ++i) s += "<e>";
        if (closed)
            for (int i = 0; i < depth; ++i) s += "</e>";
        return s;
    };
    std::string ok = nested(kcXmlMaxDepth, true);
    kcXmlParser p;
    ASSERT_EQ(KCXML_OK, p.ParseMemory(ok.data(), (int)ok.size()));
    int size = 0;
    EXPECT_EQ(KCXML_OK, p.WriteToBuffer(nullptr, &size));

    for (int depth : {kcXmlMaxDepth + 1, 100000}) {
        std::string deep = nested(depth, false);
        kcXmlParser q;
        EXPECT_EQ(KCXML_ERR_TAG, q.ParseMemory(deep.data(), (int)deep.size()));
    }

    // A tree built by hand deeper than the cap is refused by the writer, not overflowed.
    kcXmlParser w;
    kcXmlNode* n = nullptr;
    for (int i = 0; i < kcXmlMaxDepth + 5; ++i) n = w.AddChild(n, "e", nullptr);
    EXPECT_EQ(KCXML_ERR_BROKEN, w.WriteToBuffer(nullptr, &size));
    EXPECT_STREQ("情報が破損している可能性があります。", w.GetMessage());
}

TEST(XmlParser, HostileInputsEndCleanly)
{
    // Truncations of a valid document end with a status, never a crash.
    std::string doc = D + "\r\n<document>\r\n  <!-- c -->\r\n  <A x=\"1\" y='2'>\r\n    <b>" + u8"日本" +
                      "</b>\r\n  </A>\r\n</document>\r\n";
    for (size_t n = 0; n <= doc.size(); ++n) {
        kcXmlParser p;
        int s = p.ParseMemory(doc.data(), (int)n);
        EXPECT_TRUE(s == 0 || s == 4 || s == 5) << n;
    }
    // Random soup of the dialect's special bytes.
    const char alphabet[] = "<>/=\"' ax?!-\r\n\t\xFF\xE3\x81\x80";
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        std::string s = D;
        int len = (int)(rng() % 200);
        for (int k = 0; k < len; ++k) s += alphabet[rng() % (sizeof alphabet - 1)];
        kcXmlParser p;
        int st = p.ParseMemory(s.data(), (int)s.size());
        EXPECT_TRUE(st == 0 || st == 5 || st == 6);
        int size = 0;
        if (st == 0) {
            EXPECT_EQ(KCXML_OK, p.WriteToBuffer(nullptr, &size));
        }
    }
    // A text of several megabytes.
    std::string huge = D + "<a>" + std::string(6 << 20, 'x') + "</a>";
    kcXmlParser h;
    ASSERT_EQ(KCXML_OK, h.ParseMemory(huge.data(), (int)huge.size()));
    EXPECT_EQ((size_t)(6 << 20), h.GetRoot()->text.size());
}

TEST(XmlParser, FailedWriteKeepsTheOldFile)
{
    TempDir dir;
    std::wstring path = dir.File(L"setup.xml");
    ASSERT_TRUE(WriteBytes(path, "old contents"));
    kcXmlParser p;
    p.AddChild(p.AddChild(nullptr, "document", nullptr), "a", "1");
    auto onlyFile = [&]() { // nothing but setup.xml in the folder
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW((dir.Path() + L"\\*").c_str(), &fd);
        int files = 0;
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++files;
        } while (FindNextFileW(h, &fd));
        FindClose(h);
        return files == 1;
    };
    // A destination that cannot be replaced: held open without delete sharing.
    HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    EXPECT_EQ(KCXML_ERR_CREATE, p.WriteFile(path.c_str()));
    CloseHandle(held);
    std::string bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ("old contents", bytes);
    EXPECT_TRUE(onlyFile());
    // Replaced whole once it can be.
    EXPECT_EQ(KCXML_OK, p.WriteFile(path.c_str()));
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(D + "\r\n<document>\r\n  <a>1</a>\r\n</document>\r\n", bytes);
    EXPECT_TRUE(onlyFile());
}
