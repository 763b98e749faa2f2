// Lookups against a plain first-match search over the same table, on random trees whose runs of
// same-named elements go past what a search walks before it files them, with changes between;
// and what names crafted to share one std::hash value cost the tables.
#include "foundation/kcXml.h"
#include "bench/CollidingNames.h"
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

// Names that share one std::hash value: where a table hashed them, they would all meet.
const Names& Colliding()
{
    static const Names names = kcCollide::Colliding(300);
    return names;
}

struct Tree {
    std::mt19937 rng;
    int id = 0;
    std::string xml;
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(rng); }
    std::string Name() { return Pick(4) == 0 ? Colliding()[Pick(Colliding().size())] : kNames[Pick(5)]; }

    // Elements with texts of their own; now and then a run of 100 to 300 same-named ones, most
    // of them empty dead ends, or a wide level of colliding names.
    void Level(int depth)
    {
        if (depth < 4 && Pick(8) == 0) {
            for (size_t i = 0, n = 40 + Pick(60); i < n; ++i) {
                const std::string& name = Colliding()[Pick(Colliding().size())];
                xml += "<" + name + ">t" + std::to_string(++id);
                if (Pick(10) == 0) Level(depth + 1);
                xml += "</" + name + ">";
            }
            return;
        }
        size_t children = depth >= 4 ? 0 : Pick(depth == 0 ? 8 : 5);
        for (size_t i = 0; i < children; ++i) {
            std::string name = Name();
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
        for (std::string& n : p) n = Name();
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
    ASSERT_TRUE(kcCollide::ShareOneHash(Colliding()));
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

// Thousands of names sharing one std::hash value cost the tables no more comparisons than random
// names of the same length: in one large level (its index), in one built by setters (appends
// between lookups), and as the children of same-named elements (their group, filed once its dead
// ends run out). Every name is also found.
TEST(XmlSearch, CollidingNamesCostNoMoreComparisonsThanRandomOnes)
{
    const size_t kCount = 3000;
    const Names colliding = kcCollide::Colliding(kCount), random = kcCollide::Twins(kCount);
    ASSERT_TRUE(kcCollide::ShareOneHash(colliding));
    struct Row {
        const char* what;
        size_t perGroup; // children of each <g>; 0: all in one level
        bool set;        // the level made by setters rather than loaded
    } const rows[] = {{"loaded level", 0, false}, {"level of setters", 0, true}, {"group file", 30, false}};
    for (const Row& row : rows) {
        size_t cost[2];
        for (int set = 0; set < 2; ++set) {
            SCOPED_TRACE(std::string(row.what) + (set ? ", random names" : ", colliding names"));
            const Names& names = set ? random : colliding;
            kcXml x;
            auto get = [&](size_t i) {
                return row.perGroup ? x.GetInt(-1, 2, "g", names[i].c_str()) : x.GetInt(-1, 1, names[i].c_str());
            };
            if (row.set) {
                x.New();
                for (size_t i = 0; i < kCount; ++i) {
                    ASSERT_EQ(1, x.SetInt((int)i, 1, names[i].c_str()));
                    ASSERT_EQ((int)(i / 2), get(i / 2)) << i;
                }
            } else {
                std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><document>";
                for (size_t i = 0; i < kCount; ++i) {
                    if (row.perGroup && i % row.perGroup == 0) xml += i ? "</g><g>" : "<g>";
                    xml += "<" + names[i] + ">" + std::to_string(i) + "</" + names[i] + ">";
                }
                xml += row.perGroup ? "</g></document>" : "</document>";
                ASSERT_EQ(1, x.OpenMemory(xml.data(), (int)xml.size()));
            }
            for (size_t i = 0; i < kCount; ++i) ASSERT_EQ((int)i, get(i)) << names[i];
            EXPECT_EQ(-1, x.GetInt(-1, row.perGroup ? 2 : 1, row.perGroup ? "g" : "missing", "missing"));
            cost[set] = x.NameCompares();
        }
        SCOPED_TRACE(row.what);
        EXPECT_GE(cost[1], kCount); // each name was compared where it was found
        EXPECT_LE(cost[0], cost[1] + cost[1] / 2) << cost[0] << " against " << cost[1];
    }
}

// A level's index gives every name's elements in table order, as a scan would, while elements
// are appended after it was built: names it holds, new ones, and new ones appended again.
TEST(XmlSearch, LevelIndexAgreesWithAScanThroughAppends)
{
    std::mt19937 rng(7);
    const Names pool = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m", "n", "o", "p"};
    kcXmlLevel level;
    auto positions = [&](const std::string& name, bool scan) {
        std::vector<size_t> at;
        if (scan) {
            for (const kcXmlElement& e : level.items)
                if (e.name == name) at.push_back((size_t)(&e - level.items.data()));
            return at;
        }
        const kcXmlElement* found = nullptr;
        auto visit = [](void* context, const kcXmlElement& e) -> const kcXmlElement* {
            static_cast<std::vector<const kcXmlElement*>*>(context)->push_back(&e);
            return nullptr;
        };
        std::vector<const kcXmlElement*> seen;
        EXPECT_TRUE(level.Visit(name.c_str(), visit, &seen, &found));
        EXPECT_EQ(nullptr, found);
        for (const kcXmlElement* e : seen) at.push_back((size_t)(e - level.items.data()));
        return at;
    };
    for (int i = 0; i < 400; ++i) {
        // The first 40 from the first half of the pool; later ones from all of it.
        const std::string& name = pool[std::uniform_int_distribution<size_t>(0, i < 40 ? 7 : 15)(rng)];
        level.Append(kcXmlElement{name, "", nullptr, nullptr});
        if (i < 40) continue;
        for (const std::string& n : pool) ASSERT_EQ(positions(n, true), positions(n, false)) << n << " after " << i;
    }
}
