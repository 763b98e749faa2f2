// Lookups against a plain first-match search over the same table, on random trees whose runs of
// same-named elements go past what a search walks before it files them, with changes between.
#include "foundation/kcXml.h"
#include <gtest/gtest.h>
#include <random>
#include <string>

namespace {
typedef std::vector<std::string> Names;
const char* const kNames[] = {"a", "b", "c", "document", "x/y"};

// Depth first over the table, the first complete match in table order.
const kcXmlElement* Plain(const kcXmlLevel* level, const Names& names, size_t d)
{
    if (!level) return nullptr;
    for (const kcXmlElement& e : level->items)
        if (e.name == names[d]) {
            if (d + 1 == names.size()) return &e;
            if (const kcXmlElement* r = Plain(e.children, names, d + 1)) return r;
        }
    return nullptr;
}

struct Tree {
    std::mt19937 rng;
    int id = 0;
    std::string xml;
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }

    // Elements with texts of their own; now and then a run of 100 to 300 same-named ones, most
    // of them empty dead ends.
    void Level(int depth)
    {
        size_t children = depth >= 4 ? 0 : Pick(depth == 0 ? 8 : 5);
        for (size_t i = 0; i < children; ++i) {
            std::string name = kNames[Pick(5)];
            size_t run = Pick(6) == 0 ? 100 + Pick(200) : 1;
            size_t full = Pick(run);
            for (size_t k = 0; k < run; ++k) {
                xml += "<" + name + ">t" + std::to_string(++id);
                if (k == full || Pick(30) == 0) Level(depth + 1);
                xml += "</" + name + ">";
            }
        }
    }
    Names Path(size_t most)
    {
        Names p(1 + Pick(most));
        for (std::string& n : p) n = kNames[Pick(5)];
        return p;
    }
};

// Children paths split at '/' as the document does; an empty part stays, a trailing one does not.
Names Split(const Names& path)
{
    Names out;
    for (const std::string& p : path) {
        std::string cur;
        for (char c : p)
            if (c == '/') {
                out.push_back(cur);
                cur.clear();
            } else {
                cur += c;
            }
        if (!cur.empty()) out.push_back(cur);
    }
    return out;
}

// Getters and children lookups agree with the plain search on the table as it now is.
void Check(kcXml& x, const Names& path)
{
    kcXmlIterator top{nullptr, 0}, it;
    x.FindChildren(&top, 0); // none while the document is empty
    const kcXmlElement* want = Plain(top.children, path, 0);
    std::string text = "untouched";
    ASSERT_EQ(want ? 1 : 0, x.GetTextVec(&text, path));
    EXPECT_EQ(want ? want->text : "untouched", text);
    Names split = Split(path);
    want = split.empty() ? nullptr : Plain(top.children, split, 0);
    it.children = nullptr;
    ASSERT_EQ(want && want->children ? 1 : 0, x.FindChildrenVec(&it, path));
    if (want && want->children) {
        EXPECT_EQ(want->children, it.children);
    }
}
} // namespace

TEST(XmlSearch, SameAnswersAsAPlainFirstMatchSearch)
{
    for (unsigned seed = 1; seed <= 40; ++seed) {
        SCOPED_TRACE(seed);
        Tree t{std::mt19937(seed)};
        t.xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>";
        t.Level(0);
        t.xml += "</document>";
        kcXml x;
        ASSERT_EQ(1, x.OpenMemory(t.xml.data(), (int)t.xml.size()));
        for (int call = 0; call < 1500; ++call) {
            Names path = t.Path(4);
            if (t.Pick(40) == 0) { // a change, then what it made asked at once
                ASSERT_EQ(1, x.SetIntVec(call, path));
                ASSERT_NO_FATAL_FAILURE(Check(x, path));
                continue;
            }
            ASSERT_NO_FATAL_FAILURE(Check(x, path));
            if (::testing::Test::HasFailure()) return;
        }
    }
}
