#include "foundation/kcXml.h"
#include "foundation/kcXmlParser.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>

namespace {
const std::string D = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
const std::string DL = D + "\r\n";
typedef std::vector<std::string> Names;

void Load(kcXml& x, const std::string& body)
{
    std::string all = D + body;
    ASSERT_EQ(1, x.OpenMemory(all.data(), (int)all.size()));
}

std::string Saved(kcXml& x, const TempDir& dir)
{
    std::wstring path = dir.File(L"saved.xml");
    EXPECT_EQ(1, x.Save(path.c_str()));
    std::string bytes;
    ReadBytes(path, &bytes);
    return bytes;
}

Names Children(kcXml& x, kcXmlIterator it)
{
    Names names;
    std::string n;
    while (x.NextChild(&it, &n)) names.push_back(n);
    return names;
}
} // namespace

TEST(XmlDocument, GettersAndTheDocumentRoot)
{
    kcXml x;
    Load(x, "<document><SCREEN><width>800</width><height></height><f>1.25</f><h>0x1F</h></SCREEN></document>");
    EXPECT_EQ(800, x.GetInt(5, 2, "SCREEN", "width"));
    EXPECT_EQ(0, x.GetInt(5, 2, "SCREEN", "height")); // exists, empty: 0, not the default
    EXPECT_EQ(5, x.GetInt(5, 3, "document", "SCREEN", "width")); // the root is left out
    EXPECT_EQ(5, x.GetInt(5, 1, "SCREEN/width"));                // getter names are taken whole
    EXPECT_EQ(31, x.GetIntVec(5, {"SCREEN", "h"}));
    EXPECT_FLOAT_EQ(1.25f, x.GetFloat(9.0f, 2, "SCREEN", "f"));
    EXPECT_FLOAT_EQ(9.0f, x.GetFloat(9.0f, 2, "SCREEN", "g"));

    kcXml part; // another root is named in paths; child paths still start at "document"
    Load(part, "<PART><a>7</a></PART>");
    EXPECT_EQ(7, part.GetInt(0, 2, "PART", "a"));
    kcXmlIterator it;
    EXPECT_EQ(0, part.FindChildren(&it, 1, "PART"));
    ASSERT_EQ(1, part.FindChildren(&it, 0));
    EXPECT_EQ(Names{"a"}, Children(part, it));

    // Nothing loaded: defaults, refused setters, and a save that writes nothing reports it.
    kcXml empty;
    char buf[8] = "keep";
    EXPECT_EQ(0, empty.GetString(buf, sizeof buf, buf, 1, "a"));
    EXPECT_STREQ("keep", buf);
    EXPECT_EQ(0, empty.SetInt(1, 1, "a"));
    TempDir dir;
    LogCapture log;
    EXPECT_EQ(0, empty.Save(dir.File(L"x.xml").c_str()));
    EXPECT_TRUE(log.Contains("kcXml : File save error "));
    std::string none;
    EXPECT_FALSE(ReadBytes(dir.File(L"x.xml"), &none));
}

TEST(XmlDocument, SameNamedSiblingsFindChildrenAndLargeLevels)
{
    // Getters reach the last in the file and backtrack; setters take the first in the table
    // (the last in the file) and never backtrack. The large level takes any indexed road; the
    // many empty A take the road for many same-named elements (a lookup that misses enters all).
    std::string many, empty;
    for (int i = 0; i < 100; ++i) many += "<k" + std::to_string(i) + ">" + std::to_string(i) + "</k" + std::to_string(i) + ">";
    for (int i = 0; i < 200; ++i) empty += "<A></A>";
    for (const std::string& extra : {std::string(), many, empty}) {
        SCOPED_TRACE(extra.size());
        kcXml x;
        Load(x, "<document><S>" + extra + "<item>1</item><item>2</item><A><B>9</B></A><A><C>0</C></A></S></document>");
        EXPECT_EQ(-1, x.GetInt(-1, 3, "S", "A", "missing"));
        EXPECT_EQ(2, x.GetInt(0, 2, "S", "item"));
        EXPECT_EQ(9, x.GetInt(0, 3, "S", "A", "B")); // the later A has no B: the search goes on
        EXPECT_EQ(1, x.SetInt(5, 3, "S", "A", "B"));  // made under the later A
        EXPECT_EQ(5, x.GetInt(0, 3, "S", "A", "B"));
        EXPECT_EQ(1, x.SetInt(3, 2, "S", "item"));
        EXPECT_EQ(3, x.GetInt(0, 2, "S", "item"));
        if (extra == many) EXPECT_EQ(42, x.GetInt(-1, 2, "S", "k42"));
        EXPECT_EQ(-1, x.GetInt(-1, 3, "S", "A", "missing"));
        EXPECT_EQ(0, x.GetInt(-1, 3, "S", "A", "C"));
        kcXmlIterator none; // a null name finds nothing, in a small level and in an indexed one
        EXPECT_TRUE(x.GetInt(-1, 1, nullptr) == -1 && x.GetInt(-1, 3, "S", nullptr, "B") == -1 && !x.FindChildren(&none, 2, "S", nullptr));
    }

    kcXml x;
    Load(x, "<document><SOUNDGROUP><group00><a>1</a><b>2</b></group00></SOUNDGROUP></document>");
    kcXmlIterator it;
    ASSERT_EQ(1, x.FindChildren(&it, 1, "SOUNDGROUP/group00"));
    EXPECT_EQ((Names{"b", "a"}), Children(x, it));
    ASSERT_EQ(1, x.FindChildrenVec(&it, {"SOUNDGROUP", "group00"}));
    EXPECT_EQ(2u, Children(x, it).size());
    EXPECT_EQ(0, x.FindChildren(&it, 1, "SOUNDGROUP//group00"));
    EXPECT_EQ(1, x.FindChildren(&it, 1, "SOUNDGROUP/"));                 // a trailing '/' adds nothing
    EXPECT_EQ(0, x.FindChildren(&it, 2, "SOUNDGROUP", "group00/a"));   // a leaf has no children

    // An iterator stays valid while setters append to the level it walks.
    ASSERT_EQ(1, x.FindChildren(&it, 2, "SOUNDGROUP", "group00"));
    std::string n;
    ASSERT_EQ(1, x.NextChild(&it, &n));
    for (int i = 0; i < 200; ++i) x.SetInt(i, 3, "SOUNDGROUP", "group00", ("k" + std::to_string(i)).c_str());
    Names rest = Children(x, it);
    ASSERT_EQ(201u, rest.size());
    EXPECT_EQ("a", rest[0]);
    EXPECT_EQ("k199", rest[200]);
}

TEST(XmlDocument, SettersOrderAndWriteBack)
{
    TempDir dir;
    kcXml x;
    x.New();
    EXPECT_EQ(1, x.SetInt(800, 2, "WINDOW", "width"));
    EXPECT_EQ(1, x.SetInt(600, 2, "WINDOW", "height"));
    EXPECT_EQ(1, x.SetFloat(1.5f, 2, "SOUND", "tts"));
    EXPECT_EQ(1, x.SetIntVec(-7, {"SOUND", "vol"}));
    EXPECT_EQ(DL + "<document>\r\n  <SOUND>\r\n    <vol>-7</vol>\r\n    <tts>1.500000</tts>\r\n  </SOUND>\r\n"
                   "  <WINDOW>\r\n    <height>600</height>\r\n    <width>800</width>\r\n  </WINDOW>\r\n</document>\r\n",
              Saved(x, dir));

    // In a loaded document, elements that setters add come before those from the file; an
    // existing element keeps its place and attributes; a parent's own text is not written.
    kcXml y;
    Load(y, "\r\n<document>\r\n  <A k=\"1\" K=\"2\" z=\"3\">old</A>\r\n  <B>b<c>1</c></B>\r\n</document>\r\n");
    EXPECT_EQ(1, y.SetInt(9, 1, "A"));
    EXPECT_EQ(1, y.SetInt(2, 1, "B"));
    EXPECT_EQ(1, y.SetInt(4, 1, "N"));
    EXPECT_EQ(DL + "<document>\r\n  <N>4</N>\r\n  <A k=\"1\" z=\"3\">9</A>\r\n  <B>\r\n    <c>1</c>\r\n  </B>\r\n"
                   "</document>\r\n",
              Saved(y, dir));

    // A file with another root gets a second top-level "document" on the first setter.
    kcXml p;
    Load(p, "<PART><a>7</a></PART>");
    EXPECT_EQ(1, p.SetInt(3, 1, "b"));
    EXPECT_EQ(3, p.GetInt(0, 2, "document", "b"));
    EXPECT_EQ(DL + "<document>\r\n  <b>3</b>\r\n</document>\r\n<PART>\r\n  <a>7</a>\r\n</PART>\r\n", Saved(p, dir));
}

TEST(XmlDocument, LoadSaveRoundTripWithJapanese)
{
    TempDir dir;
    std::string file = DL + u8"<document>\r\n  <GAME title=\"ゲーム\" id=\"7\">\r\n    <name>日本語の名前</name>\r\n"
                            u8"    <path>C:\\ゲーム\\save</path>\r\n  </GAME>\r\n  <empty></empty>\r\n</document>\r\n";
    std::wstring in = dir.File(L"in.xml");
    ASSERT_TRUE(WriteBytes(in, file));
    kcXml x;
    {
        LogCapture log;
        ASSERT_EQ(1, x.Open(in.c_str()));
        EXPECT_EQ(0u, log.Lines()[0].find("xml open "));
        EXPECT_TRUE(log.Contains("xml open exit"));
    }
    EXPECT_EQ(file, Saved(x, dir)); // order of elements and attributes kept, bytes equal

    wchar_t w[64];
    EXPECT_EQ(1, x.GetStringW(w, 64, L"", 2, "GAME", "name"));
    EXPECT_STREQ(L"日本語の名前", w);
    EXPECT_EQ(1, x.SetStringW(L"新しい名前 \u00e9\u20ac", 2, "GAME", "name"));
    std::string again = Saved(x, dir);
    kcXml y;
    ASSERT_EQ(1, y.OpenMemory(again.c_str(), 0));
    EXPECT_EQ(1, y.GetStringW(w, 64, L"", 2, "GAME", "name"));
    EXPECT_STREQ(L"新しい名前 \u00e9\u20ac", w);
    char n[64];
    EXPECT_EQ(1, y.GetString(n, sizeof n, "", 2, "GAME", "path"));
    EXPECT_STREQ(u8"C:\\ゲーム\\save", n);
}

TEST(XmlDocument, StringGettersRespectTheDestinationSize)
{
    kcXml x;
    Load(x, u8"<document><t>ab日本</t></document>");
    char n[6];
    memset(n, '#', sizeof n);
    EXPECT_EQ(1, x.GetString(n, 5, "", 1, "t")); // "ab" + 3 bytes would need 6 with the NUL
    EXPECT_STREQ("ab", n);
    EXPECT_EQ('#', n[5]);
    wchar_t w[4];
    w[3] = L'#';
    EXPECT_EQ(1, x.GetStringW(w, 3, L"", 1, "t"));
    EXPECT_STREQ(L"ab", w);
    EXPECT_EQ(L'#', w[3]);
    EXPECT_EQ(0, x.GetStringW(w, 3, L"xyz", 1, "missing")); // the default is cut as well
    EXPECT_STREQ(L"xy", w);

    // Texts far beyond any fixed working buffer pass whole.
    std::wstring big(20000, L'語');
    ASSERT_EQ(1, x.SetStringW(big.c_str(), 1, "big"));
    std::vector<wchar_t> out(big.size() + 1);
    EXPECT_EQ(1, x.GetStringW(out.data(), (int)out.size(), L"", 1, "big"));
    EXPECT_EQ(big, out.data());
}

TEST(XmlDocument, PathGettersTakeTextsWholeOrNotAtAll)
{
    kcXml x;
    Load(x, "<document><ok>C:\\" + std::string(u8"日本") + "</ok><bad>C:\\Games\\\x83\x65x</bad><long>abcd</long></document>");
    LogCapture log;
    const struct { const char* name; int units; int result; const wchar_t* expected; } cases[] = {
        {"ok", 6, 1, L"C:\\日本"}, {"ok", 5, -1, L"old"}, {"bad", 64, -1, L"old"},
        {"long", 5, 1, L"abcd"}, {"long", 4, -1, L"old"}, {"missing", 64, 0, L"old"},
    };
    for (const auto& c : cases) {
        wchar_t w[64] = L"old";
        EXPECT_EQ(c.result, x.GetPathW(w, c.units, 1, c.name)) << c.name;
        EXPECT_STREQ(c.expected, w) << c.name;
        std::wstring text = L"old";
        EXPECT_EQ(c.units == 64 || c.result == 1 ? c.result : 1, x.GetPathTextWVec(&text, {c.name})) << c.name;
    }
    char n[8] = "old";
    EXPECT_EQ(-1, x.GetPathVec(n, 4, {"long"}));
    EXPECT_EQ(-1, x.GetPathVec(n, 8, {"bad"}));
    EXPECT_EQ(0, x.GetPathVec(n, 8, {"missing"}));
    EXPECT_STREQ("old", n);
    EXPECT_EQ(1, x.GetPathVec(n, 5, {"long"}));
    EXPECT_STREQ("abcd", n);
    EXPECT_TRUE(log.Contains("kcXml : bad is not taken: byte 9 of its text is not UTF-8"));
    EXPECT_TRUE(log.Contains("kcXml : long is not taken: it does not fit 3 units"));
    // The display getter still cuts there.
    wchar_t w[64];
    x.GetStringW(w, 64, L"", 1, "bad");
    EXPECT_STREQ(L"C:\\Games\\", w);
}

TEST(XmlDocument, SettersRefuseWhatCouldNotLoadAgain)
{
    TempDir dir;
    kcXml x;
    x.New();
    ASSERT_EQ(1, x.SetStringW(L"ok > fine", 2, "APP", "text"));
    {
        LogCapture log;
        EXPECT_EQ(0, x.SetStringW(L"a<b", 2, "APP", "bad"));
        EXPECT_FALSE(log.Lines().empty());
    }
    for (const char* name : {"", "two words", "/end", "!--c", "a<b"}) EXPECT_EQ(0, x.SetInt(1, 2, "APP", name)) << name;
    Names deep(kcXmlMaxDepth, "d");
    EXPECT_EQ(0, x.SetIntVec(1, deep));
    deep.pop_back();
    EXPECT_EQ(1, x.SetIntVec(1, deep)); // "document" and 255 names: the deepest allowed
    std::wstring path = dir.File(L"setup.xml");
    ASSERT_EQ(1, x.Save(path.c_str()));
    kcXml y;
    ASSERT_EQ(1, y.Open(path.c_str())); // always loads again
    EXPECT_EQ(-1, y.GetInt(-1, 2, "APP", "bad"));
    char t[16];
    EXPECT_EQ(1, y.GetString(t, sizeof t, "", 2, "APP", "text"));
    EXPECT_STREQ("ok > fine", t);
    EXPECT_EQ(1, y.GetIntVec(0, deep));
}

TEST(XmlDocument, FailuresAreReported)
{
    TempDir dir;
    kcXml x;
    LogCapture log;
    EXPECT_EQ(0, x.Open(dir.File(L"none.xml").c_str()));
    EXPECT_TRUE(log.Contains("kcXml : File open error "));
    EXPECT_EQ(0, x.OpenMemory(nullptr, 0));
    EXPECT_EQ(0, x.OpenMemory("<document></document>", 0)); // no declaration
    EXPECT_EQ(2, std::count(log.Lines().begin(), log.Lines().end(), "kcXml : OpenMem error."));
    // A failed load leaves an empty table that setters can fill.
    EXPECT_EQ(4, x.GetInt(4, 1, "a"));
    EXPECT_EQ(1, x.SetInt(1, 1, "a"));
    EXPECT_EQ(DL + "<document>\r\n  <a>1</a>\r\n</document>\r\n", Saved(x, dir));
    // A save that cannot create its file says so, and leaves the table.
    EXPECT_EQ(0, x.Save(dir.File(L"missing\\folder\\setup.xml").c_str()));
    EXPECT_TRUE(log.Contains("kcXml : File save error "));
    EXPECT_EQ(1, x.GetInt(0, 1, "a"));
}
