#include "foundation/kcXml.h"
#include "foundation/kcFormat.h"
#include "foundation/kcLog.h"
#include "foundation/kcString.h"
#include "foundation/kcXmlParser.h"
#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <set>
#include <string_view>
#include <unordered_map>

// Levels smaller than this are scanned; larger ones get a name index on first lookup.
static const size_t kIndexFrom = 32;

// Every table orders names byte by byte and searches them by halves; none hashes them. A hash
// with a fixed seed lets a file hold names crafted to collide, and lookups among those go
// quadratic; comparisons cost the same for every set of names of a size.
static int CompareNames(std::string_view a, std::string_view b, size_t* compares)
{
    ++*compares;
    return a.compare(b);
}

// A name's first sixteen bytes as two numbers that order as the names do (bytes past the end
// count as zeros): most comparisons of a search end there, without reaching the name itself.
struct NameKey {
    uint64_t high, low;
    explicit NameKey(std::string_view s)
    {
        unsigned char b[16] = {};
        if (!s.empty()) memcpy(b, s.data(), s.size() < sizeof b ? s.size() : sizeof b);
        memcpy(&high, b, 8);
        memcpy(&low, b + 8, 8);
        high = __builtin_bswap64(high); // Windows runs little-endian: the first byte becomes the highest
        low = __builtin_bswap64(low);
    }
    // The order of the keys, 0 when the names must be compared whole.
    int Compare(const NameKey& o) const
    {
        if (high != o.high) return high < o.high ? -1 : 1;
        return low == o.low ? 0 : low < o.low ? -1 : 1;
    }
};

// Names compared by their keys first; nameA() and nameB() are asked only when the keys tie.
template <class A, class B> static int CompareKeyed(const NameKey& ka, A nameA, const NameKey& kb, B nameB, size_t* compares)
{
    const int c = ka.Compare(kb);
    if (c) return ++*compares, c;
    return CompareNames(nameA(), nameB(), compares);
}

// Sorts entries by name, equal names keeping their order; nameOf(entry) is an entry's name.
template <class T, class NameOf> static void SortByName(std::vector<T>* entries, NameOf nameOf, size_t* compares)
{
    std::vector<std::pair<NameKey, T>> keyed;
    keyed.reserve(entries->size());
    for (const T& e : *entries) keyed.emplace_back(NameKey(nameOf(e)), e);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const std::pair<NameKey, T>& a, const std::pair<NameKey, T>& b) {
        return CompareKeyed(a.first, [&] { return nameOf(a.second); }, b.first, [&] { return nameOf(b.second); }, compares) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) (*entries)[i] = keyed[i].second;
}

// Entries in name order as runs, one for each distinct name: what a level's index and a filed
// group search.
struct NameRuns {
    std::vector<NameKey> keys;    // each run's
    std::vector<uint32_t> starts; // where each run starts, and where the last ends

    void Add(const NameKey& key, size_t start)
    {
        keys.push_back(key);
        starts.push_back((uint32_t)start);
    }
    // From entries already in order; nameAt(i) is the name of entry i.
    template <class NameAt> void Build(size_t entries, NameAt nameAt, size_t* compares)
    {
        for (size_t i = 0; i < entries; ++i) {
            const NameKey k(nameAt(i));
            if (i == 0 || CompareKeyed(keys.back(), [&] { return nameAt(i - 1); }, k, [&] { return nameAt(i); }, compares) != 0)
                Add(k, i);
        }
        starts.push_back((uint32_t)entries);
    }
    // The run of name (*found), or the one before which it would be.
    template <class NameAt> size_t Find(std::string_view name, NameAt nameAt, size_t* compares, bool* found) const
    {
        const NameKey k(name);
        size_t lo = 0, hi = keys.size();
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            const int c = CompareKeyed(keys[mid], [&] { return nameAt(starts[mid]); }, k, [&] { return name; }, compares);
            if (c == 0) return *found = true, mid;
            if (c < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        *found = false;
        return lo;
    }
};

// The level's positions by name, and by position among equal names: in runs those the index was
// built with, and in a tree those appended since. The tree is merged into the runs once it holds
// half as many, so that each position is copied a few times at most.
struct kcXmlLevel::Index {
    static const uint32_t kLooked = UINT32_MAX; // the position of the name looked up
    struct Added {
        NameKey key;
        uint32_t at;
    };
    // By name, then position; the name looked up comes before the elements of its name.
    struct Later {
        const std::vector<kcXmlElement>* items;
        const std::string_view* looked;
        size_t* compares;
        std::string_view Name(const Added& a) const { return a.at == kLooked ? *looked : (*items)[a.at].name; }
        bool operator()(const Added& a, const Added& b) const
        {
            const int c = CompareKeyed(a.key, [&] { return Name(a); }, b.key, [&] { return Name(b); }, compares);
            return c < 0 || (c == 0 && (uint32_t)(a.at + 1) < (uint32_t)(b.at + 1));
        }
    };

    explicit Index(const std::vector<kcXmlElement>* items) : added(Later{items, &looked, &compares}) {}
    size_t compares = 0;
    std::string_view looked;
    std::vector<uint32_t> order;
    NameRuns runs; // of order
    std::set<Added, Later> added;
};

kcXmlLevel::kcXmlLevel() : index(nullptr) {}

kcXmlLevel::~kcXmlLevel()
{
    for (kcXmlElement& e : items) {
        delete e.attributes;
        delete e.children;
    }
    delete index;
}

// The index is only a shortcut: when memory for it runs out it is dropped (and rebuilt, or the
// level scanned, on the next lookup), so it never disagrees with the items.
void kcXmlLevel::Append(kcXmlElement e)
{
    items.push_back(std::move(e));
    if (!index) return;
    try {
        Index& x = *index;
        x.added.insert(Index::Added{NameKey(items.back().name), (uint32_t)items.size() - 1});
        if (2 * x.added.size() < x.order.size()) return;
        std::vector<uint32_t> order;
        NameRuns runs;
        order.reserve(x.order.size() + x.added.size());
        auto nameAt = [&](size_t i) { return std::string_view(items[x.order[i]].name); };
        auto copy = [&](size_t run) {
            runs.Add(x.runs.keys[run], order.size());
            order.insert(order.end(), x.order.begin() + x.runs.starts[run], x.order.begin() + x.runs.starts[run + 1]);
        };
        size_t next = 0;                       // the first run not yet copied
        const std::string* previous = nullptr; // the name added last
        for (const Index::Added& added : x.added) {
            const uint32_t a = added.at;
            const std::string& name = items[a].name;
            bool found;
            const size_t r = x.runs.Find(name, nameAt, &x.compares, &found) + (found ? 1 : 0);
            for (; next < r; ++next) copy(next);
            // Behind the run of its name, which may be the one added just before.
            if (!found && !(previous && CompareNames(*previous, name, &x.compares) == 0)) runs.Add(added.key, order.size());
            order.push_back(a);
            previous = &name;
        }
        for (; next < x.runs.keys.size(); ++next) copy(next);
        runs.starts.push_back((uint32_t)order.size());
        x.order.swap(order);
        std::swap(x.runs, runs);
        x.added.clear();
    } catch (const std::bad_alloc&) {
        delete index;
        index = nullptr;
    }
}

bool kcXmlLevel::Visit(const char* name, Visitor visit, void* context, const kcXmlElement** found)
{
    if (items.size() < kIndexFrom || items.size() >= UINT32_MAX) return false;
    if (!index) {
        try {
            std::unique_ptr<Index> fresh(new Index(&items));
            std::vector<uint32_t>& order = fresh->order;
            order.resize(items.size());
            for (size_t i = 0; i < order.size(); ++i) order[i] = (uint32_t)i;
            SortByName(&order, [&](uint32_t at) { return std::string_view(items[at].name); }, &fresh->compares);
            fresh->runs.Build(order.size(), [&](size_t i) { return std::string_view(items[order[i]].name); }, &fresh->compares);
            index = fresh.release();
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    Index& x = *index;
    const std::string_view whole(name);
    bool in;
    const size_t r = x.runs.Find(whole, [&](size_t i) { return std::string_view(items[x.order[i]].name); }, &x.compares, &in);
    *found = nullptr;
    for (uint32_t i = in ? x.runs.starts[r] : 0, end = in ? x.runs.starts[r + 1] : 0; i < end; ++i)
        if ((*found = visit(context, items[x.order[i]]))) return true;
    if (x.added.empty()) return true;
    const NameKey key(whole);
    auto same = [&](const Index::Added& a) {
        return CompareKeyed(a.key, [&] { return std::string_view(items[a.at].name); }, key, [&] { return whole; }, &x.compares) == 0;
    };
    x.looked = whole;
    for (auto it = x.added.lower_bound(Index::Added{key, Index::kLooked}); it != x.added.end() && same(*it); ++it)
        if ((*found = visit(context, items[it->at]))) return true;
    return true;
}

size_t kcXmlLevel::Compares() const
{
    size_t n = index ? index->compares : 0;
    for (const kcXmlElement& e : items)
        if (e.children) n += e.children->Compares();
    return n;
}

// Calls visit(element) for each element of the name in table order until it returns non-null.
// A null name matches nothing.
template <class F> static const kcXmlElement* ForEachNamed(kcXmlLevel* level, const char* name, F visit)
{
    if (!name) return nullptr;
    const kcXmlElement* found;
    auto call = [](void* f, const kcXmlElement& e) -> const kcXmlElement* { return (*static_cast<F*>(f))(e); };
    if (level->Visit(name, call, &visit, &found)) return found;
    const std::string_view whole(name); // measured once, not at every item
    for (size_t i = 0; i < level->items.size(); ++i)
        if (level->items[i].name == whole)
            if (const kcXmlElement* r = visit(level->items[i])) return r;
    return nullptr;
}

// The elements that a path reaches, in search order: the same-named children of one level, or
// a run of a filed group (below).
struct Reached {
    kcXmlLevel* level;
    const char* name;
    const kcXmlElement* const* run; // when not null: count elements
    size_t count;
};

template <class F> static const kcXmlElement* ForEachReached(const Reached& r, F visit)
{
    if (r.run) {
        for (size_t i = 0; i < r.count; ++i)
            if (const kcXmlElement* e = visit(*r.run[i])) return e;
        return nullptr;
    }
    return r.level ? ForEachNamed(r.level, r.name, visit) : nullptr;
}

// What FindFrom gives when it ran out of visits.
static const kcXmlElement kGaveUp{};

// From the elements reached by names[0..depth], depth first: the first complete match in table
// order wins (a dead end backtracks). Each element entered takes one of *visits; when none is
// left the search gives up with kGaveUp.
static const kcXmlElement* FindFrom(const Reached& r, const char* const* names, int count, int depth, size_t* visits)
{
    return ForEachReached(r, [&](const kcXmlElement& e) -> const kcXmlElement* {
        if (*visits == 0) return &kGaveUp;
        --*visits;
        if (depth == count - 1) return &e;
        if (!e.children) return nullptr;
        return FindFrom(Reached{e.children, names[depth + 1], nullptr, 0}, names, count, depth + 1, visits);
    });
}

// The first element reached, and the next one in *second (null when it is alone).
static const kcXmlElement* FirstTwo(const Reached& r, const kcXmlElement** second)
{
    const kcXmlElement* first = nullptr;
    *second = ForEachReached(r, [&](const kcXmlElement& e) -> const kcXmlElement* {
        if (first) return &e;
        first = &e;
        return nullptr;
    });
    return first;
}

// Dead ends that searches may walk among the same-named elements of one path before the
// children of all of them are filed by name.
static const size_t kDeadEnds = 128;

// Same-named elements make a path reach many elements, and a search walks the dead ends among
// them again for every later name asked through them: a reader asking every key of every such
// element would pay the square of their number. So searches there are counted per group (the
// elements that one path reaches, known by the first), and once their dead ends run out the
// group's children are filed by name in one walk: every later step through the group is a
// lookup. Groups of different paths share no element, so all the files together hold at most
// one entry per element. Only a shortcut, dropped whenever the table changes.
class kcXmlPaths {
public:
    struct Group {
        size_t deadEnds = 0; // entered by searches so far, the answers' own paths aside
        bool filed = false;
        std::vector<const kcXmlElement*> children; // of every member, by name, each name's run in search order
        NameRuns runs;                             // of children

        // Throws std::bad_alloc, leaving the group as it was.
        void File(const Reached& members, size_t* compares);
        Reached Run(const char* name, size_t* compares) const
        {
            Reached r{nullptr, nullptr, children.data(), 0};
            bool found;
            const size_t at = runs.Find(name, [&](size_t i) { return std::string_view(children[i]->name); }, compares, &found);
            if (found) {
                r.run = &children[runs.starts[at]];
                r.count = runs.starts[at + 1] - runs.starts[at];
            }
            return r;
        }
    };

    std::unordered_map<const kcXmlElement*, Group> groups;
    size_t compares = 0;
};

void kcXmlPaths::Group::File(const Reached& members, size_t* compares)
{
    std::vector<const kcXmlElement*> placed;
    ForEachReached(members, [&](const kcXmlElement& m) -> const kcXmlElement* {
        if (m.children)
            for (const kcXmlElement& c : m.children->items) placed.push_back(&c);
        return nullptr;
    });
    if (placed.size() >= UINT32_MAX) throw std::bad_alloc();
    SortByName(&placed, [](const kcXmlElement* e) { return std::string_view(e->name); }, compares);
    NameRuns sorted;
    sorted.Build(placed.size(), [&](size_t i) { return std::string_view(placed[i]->name); }, compares);
    children.swap(placed);
    std::swap(runs, sorted);
    filed = true;
}

// The names of a variadic call, kept on the stack for ordinary path lengths.
class NameList {
public:
    NameList(int count, va_list args) : n(count > 0 ? count : 0)
    {
        if (n > kSmall) big.resize((size_t)n);
        const char** p = n > kSmall ? big.data() : small;
        for (int i = 0; i < n; ++i) p[i] = va_arg(args, const char*);
        data = p;
    }
    explicit NameList(const std::vector<std::string>& path) : n((int)path.size())
    {
        if (n > kSmall) big.resize((size_t)n);
        const char** p = n > kSmall ? big.data() : small;
        for (int i = 0; i < n; ++i) p[i] = path[(size_t)i].c_str();
        data = p;
    }
    const char* const* data;
    int n;

private:
    static const int kSmall = 16;
    const char* small[kSmall];
    std::vector<const char*> big;
};

// A level read from the parser's tree: each list copied as it runs (file order reversed). An
// element's vectors belong to the level only once it is appended, so a throw leaks nothing.
static int CopyNodes(kcXmlLevel* level, const kcXmlNode* node, int depth)
{
    if (depth > kcXmlMaxDepth) return 0;
    for (; node; node = node->next) {
        std::unique_ptr<std::vector<kcXmlAttribute>> attributes;
        std::unique_ptr<kcXmlLevel> children;
        if (node->attributes->firstChild) {
            attributes.reset(new std::vector<kcXmlAttribute>());
            for (const kcXmlAttrNode* a = node->attributes->firstChild; a; a = a->next)
                attributes->push_back(kcXmlAttribute{a->name, a->value});
        }
        if (node->firstChild) {
            children.reset(new kcXmlLevel());
            if (!CopyNodes(children.get(), node->firstChild, depth + 1)) return 0;
        }
        level->Append(kcXmlElement{node->name, node->text, attributes.get(), children.get()});
        attributes.release();
        children.release();
    }
    return 1;
}

// The tree for saving: linking at the head turns table order back into file order.
static int CopyElements(kcXmlParser* parser, kcXmlNode* parent, const kcXmlLevel* level, int depth)
{
    if (depth >= kcXmlMaxDepth) return 0;
    for (const kcXmlElement& e : level->items) {
        kcXmlNode* n = parser->AddChild(parent, e.name.c_str(), e.children ? "" : e.text.c_str());
        if (!n) return 0;
        if (e.attributes)
            for (const kcXmlAttribute& a : *e.attributes) parser->AddAttribute(n, a.name.c_str(), a.value.c_str());
        if (e.children && !CopyElements(parser, n, e.children, depth + 1)) return 0;
    }
    return 1;
}

// A name that the writer can put out and the parser read back as the same element.
static bool IsWritableName(const char* name)
{
    if (!name || !*name || name[0] == '/' || strncmp(name, "!--", 3) == 0) return false;
    return strpbrk(name, " \t\r\n<>") == nullptr;
}

// Longest prefix of at most cap - 1 bytes that ends on a UTF-8 character boundary.
static void CopyUtf8Cut(char* dst, int cap, const char* src, size_t len)
{
    size_t n = len;
    if (n > (size_t)(cap - 1)) {
        n = (size_t)(cap - 1);
        while (n > 0 && ((unsigned char)src[n] & 0xC0) == 0x80) --n;
    }
    memmove(dst, src, n);
    dst[n] = 0;
}

static void SplitPath(const std::string& text, std::vector<std::string>* out)
{
    std::string cur;
    for (char c : text) {
        if (c == '/') {
            out->push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) out->push_back(cur);
}

kcXml::kcXml() : parser(nullptr), elements(nullptr), paths(nullptr) {}

kcXml::~kcXml()
{
    Reset();
}

void kcXml::Reset()
{
    DropPaths();
    delete parser;
    parser = nullptr;
    delete elements;
    elements = nullptr;
}

int kcXml::New()
{
    Reset();
    parser = new kcXmlParser();
    elements = new kcXmlLevel();
    elements->Append(kcXmlElement{"document", "", nullptr, nullptr});
    return 1;
}

// A new parser and table from the file at path, or else from the bytes. On any failure, running
// out of memory included, the document is left empty: an empty table that setters can fill, or,
// when not even that can be had, no table at all, as a document never loaded.
int kcXml::Load(bool file, const wchar_t* path, const char* bytes, int size)
{
    Reset();
    try {
        parser = new kcXmlParser();
        elements = new kcXmlLevel();
        kcXmlStatus s = file ? parser->ParseFile(path) : parser->ParseMemory(bytes, size);
        if (s == KCXML_OK && CopyNodes(elements, parser->GetRoot(), 1)) return 1;
    } catch (const std::bad_alloc&) {
        kcLog("kcXml : no memory to load the document");
    }
    delete elements;
    elements = new (std::nothrow) kcXmlLevel();
    return 0;
}

int kcXml::Open(const wchar_t* path)
{
    kcLogW(L"xml open %s", path ? path : L"");
    if (!Load(true, path, nullptr, 0)) {
        kcLogW(L"kcXml : File open error %s", path ? path : L"");
        return 0;
    }
    kcLog("xml open exit");
    return 1;
}

int kcXml::OpenMemory(const char* bytes, int size)
{
    if (bytes && size == 0) size = (int)strlen(bytes);
    if (!Load(false, nullptr, bytes, size)) {
        kcLog("kcXml : OpenMem error.");
        return 0;
    }
    return 1;
}

// The new parser replaces the old one only once the file is written: on any failure, running out
// of memory included, the document stays as it was. Without a table nothing is written and an
// existing file stays as it was.
int kcXml::Save(const wchar_t* path)
{
    kcXmlParser* fresh = nullptr;
    int ok = 0;
    if (elements) {
        try {
            fresh = new kcXmlParser();
            ok = CopyElements(fresh, nullptr, elements, 0) && fresh->WriteFile(path) == KCXML_OK;
        } catch (const std::bad_alloc&) {
            kcLog("kcXml : no memory to save the document");
        }
    }
    if (!ok) {
        delete fresh;
        kcLogW(L"kcXml : File save error %s", path ? path : L"");
        return 0;
    }
    delete parser;
    parser = fresh;
    return 1;
}

// Files whose single root is "document" are read with paths that leave the root out.
const kcXmlElement* kcXml::Find(const char* const* names, int count)
{
    if (!elements || count <= 0 || count > kcXmlMaxDepth) return nullptr;
    return Reach(names, count, elements->items.size() == 1 && elements->items[0].name == "document");
}

// The first complete match of the names from the top level, or, with underDocument, from the
// children of the top level's single "document". A single element is stepped through; from
// same-named ones the search goes on depth first until their group is filed.
const kcXmlElement* kcXml::Reach(const char* const* names, int count, bool underDocument)
{
    for (int i = 0; i < count; ++i)
        if (!names[i]) return nullptr; // a null name finds nothing
    kcXmlLevel* start = underDocument ? elements->items[0].children : elements;
    try {
        Reached r{start, names[0], nullptr, 0};
        for (int d = 0;; ++d) {
            const kcXmlElement* second;
            const kcXmlElement* first = FirstTwo(r, &second);
            if (!first || d == count - 1) return first;
            if (!second) {
                r = Reached{first->children, names[d + 1], nullptr, 0};
                continue;
            }
            kcXmlPaths::Group* g = nullptr;
            if (paths) {
                auto it = paths->groups.find(first);
                if (it != paths->groups.end()) g = &it->second;
            }
            if (!g || !g->filed) {
                // The answer's own path is free: a first match among the first elements costs
                // the group nothing.
                const size_t path = (size_t)(count - d);
                const size_t credit = g && g->deadEnds >= kDeadEnds ? 0 : kDeadEnds - (g ? g->deadEnds : 0);
                size_t visits = credit + path;
                const kcXmlElement* e = FindFrom(r, names, count, d, &visits);
                const size_t deadEnds = credit + path - visits - (e && e != &kGaveUp ? path : 0);
                if (!g && (deadEnds || e == &kGaveUp)) {
                    if (!paths) paths = new kcXmlPaths();
                    g = &paths->groups[first];
                }
                if (e != &kGaveUp) {
                    if (g) g->deadEnds += deadEnds;
                    return e;
                }
                g->File(r, &paths->compares);
            }
            r = g->Run(names[d + 1], &paths->compares);
        }
    } catch (const std::bad_alloc&) {
        DropPaths(); // and search without it
    }
    size_t visits = (size_t)-1;
    return FindFrom(Reached{start, names[0], nullptr, 0}, names, count, 0, &visits);
}

void kcXml::DropPaths()
{
    delete paths;
    paths = nullptr;
}

size_t kcXml::NameCompares() const
{
    return (elements ? elements->Compares() : 0) + (paths ? paths->compares : 0);
}

int kcXml::GetInt(int def, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    const kcXmlElement* e = Find(names.data, names.n);
    return e ? kcParseIntA(e->text.c_str()) : def;
}

int kcXml::GetIntVec(int def, const std::vector<std::string>& path)
{
    NameList names(path);
    const kcXmlElement* e = Find(names.data, names.n);
    return e ? kcParseIntA(e->text.c_str()) : def;
}

float kcXml::GetFloat(float def, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    const kcXmlElement* e = Find(names.data, names.n);
    return e ? kcParseFloat(e->text.c_str()) : def;
}

float kcXml::GetFloatVec(float def, const std::vector<std::string>& path)
{
    NameList names(path);
    const kcXmlElement* e = Find(names.data, names.n);
    return e ? kcParseFloat(e->text.c_str()) : def;
}

int kcXml::GetStringAt(char* dst, int dstBytes, const char* def, const char* const* names, int count)
{
    bool room = dst && dstBytes > 0;
    if (room && def != dst) CopyUtf8Cut(dst, dstBytes, def ? def : "", def ? strlen(def) : 0);
    const kcXmlElement* e = Find(names, count);
    if (!e) return 0;
    if (room) CopyUtf8Cut(dst, dstBytes, e->text.data(), e->text.size());
    return 1;
}

int kcXml::GetString(char* dst, int dstBytes, const char* def, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return GetStringAt(dst, dstBytes, def, names.data, names.n);
}

int kcXml::GetStringVec(char* dst, int dstBytes, const char* def, const std::vector<std::string>& path)
{
    NameList names(path);
    return GetStringAt(dst, dstBytes, def, names.data, names.n);
}

int kcXml::GetStringWAt(wchar_t* dst, int dstUnits, const wchar_t* def, const char* const* names, int count)
{
    bool room = dst && dstUnits > 0;
    if (room && def != dst) kcCopyStringWN(dst, dstUnits, def ? def : L"");
    const kcXmlElement* e = Find(names, count);
    if (!e) return 0;
    if (room) kcUtf8ToWideN(e->text.c_str(), dst, dstUnits);
    return 1;
}

int kcXml::GetStringW(wchar_t* dst, int dstUnits, const wchar_t* def, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return GetStringWAt(dst, dstUnits, def, names.data, names.n);
}

int kcXml::GetStringWVec(wchar_t* dst, int dstUnits, const wchar_t* def, const std::vector<std::string>& path)
{
    NameList names(path);
    return GetStringWAt(dst, dstUnits, def, names.data, names.n);
}

int kcXml::GetTextVec(std::string* out, const std::vector<std::string>& path)
{
    NameList names(path);
    const kcXmlElement* e = Find(names.data, names.n);
    if (!e) return 0;
    if (out) *out = e->text;
    return 1;
}

int kcXml::GetTextWVec(std::wstring* out, const std::vector<std::string>& path)
{
    std::string text;
    if (!GetTextVec(&text, path)) return 0;
    if (out) {
        // A UTF-8 byte gives at most one UTF-16 unit.
        std::vector<wchar_t> wide(text.size() + 1);
        kcUtf8ToWideN(text.c_str(), wide.data(), (int)wide.size());
        *out = wide.data();
    }
    return 1;
}

// A path text is taken whole or not at all: a cut one names another place.
static void LogRefusedPath(const char* const* names, int count, const std::string& text, int room)
{
    std::string key;
    for (int i = 0; i < count; ++i) key.append(i ? "/" : "").append(names[i]);
    size_t stop = 0;
    if (!kcUtf8IsWhole(text.data(), text.size(), &stop))
        kcLog("kcXml : %s is not taken: byte %u of its text is not UTF-8", key.c_str(), (unsigned)stop);
    else
        kcLog("kcXml : %s is not taken: it does not fit %d units", key.c_str(), room - 1);
}

int kcXml::GetPathWAt(wchar_t* dst, int dstUnits, const char* const* names, int count)
{
    const kcXmlElement* e = Find(names, count);
    if (!e) return 0;
    if (kcUtf8ToWideWhole(e->text.data(), e->text.size(), dst, dstUnits, nullptr)) return 1;
    LogRefusedPath(names, count, e->text, dstUnits);
    return -1;
}

int kcXml::GetPathW(wchar_t* dst, int dstUnits, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return GetPathWAt(dst, dstUnits, names.data, names.n);
}

int kcXml::GetPathWVec(wchar_t* dst, int dstUnits, const std::vector<std::string>& path)
{
    NameList names(path);
    return GetPathWAt(dst, dstUnits, names.data, names.n);
}

int kcXml::GetPathTextWVec(std::wstring* out, const std::vector<std::string>& path)
{
    NameList names(path);
    const kcXmlElement* e = Find(names.data, names.n);
    if (!e) return 0;
    // A UTF-8 byte gives at most one UTF-16 unit.
    std::vector<wchar_t> wide(e->text.size() + 1);
    if (!kcUtf8ToWideWhole(e->text.data(), e->text.size(), wide.data(), (int)wide.size(), nullptr)) {
        LogRefusedPath(names.data, names.n, e->text, (int)wide.size());
        return -1;
    }
    if (out) *out = wide.data();
    return 1;
}

int kcXml::GetPathVec(char* dst, int dstBytes, const std::vector<std::string>& path)
{
    NameList names(path);
    const kcXmlElement* e = Find(names.data, names.n);
    if (!e) return 0;
    if (!dst || dstBytes <= 0 || e->text.size() >= (size_t)dstBytes || !kcUtf8IsWhole(e->text.data(), e->text.size(), nullptr)) {
        LogRefusedPath(names.data, names.n, e->text, dstBytes);
        return -1;
    }
    memcpy(dst, e->text.c_str(), e->text.size() + 1);
    return 1;
}

int kcXml::FindChildrenAt(kcXmlIterator* it, const std::vector<std::string>& parts, bool any)
{
    if (!elements || !it) return 0;
    if (!any) {
        if (elements->items.empty() || !elements->items[0].children) return 0;
        *it = kcXmlIterator{elements->items[0].children, 0};
        return 1;
    }
    std::vector<std::string> path{"document"};
    for (const std::string& p : parts) SplitPath(p, &path);
    NameList names(path);
    if (names.n > kcXmlMaxDepth + 1) return 0;
    const kcXmlElement* e = Reach(names.data, names.n, false);
    if (!e || !e->children) return 0;
    *it = kcXmlIterator{e->children, 0};
    return 1;
}

int kcXml::FindChildren(kcXmlIterator* it, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    for (int i = 0; i < names.n; ++i)
        if (!names.data[i]) return 0; // a null name finds nothing
    std::vector<std::string> parts(names.data, names.data + names.n);
    return FindChildrenAt(it, parts, names.n > 0);
}

int kcXml::FindChildrenVec(kcXmlIterator* it, const std::vector<std::string>& path)
{
    return FindChildrenAt(it, path, !path.empty());
}

int kcXml::NextChild(kcXmlIterator* it, std::string* name)
{
    if (!elements || !it || !it->children || it->current >= it->children->items.size()) return 0;
    if (name) *name = it->children->items[it->current].name;
    ++it->current;
    return 1;
}

// Creates what is missing along "document"/names; the first same-named element is always the
// one changed or extended (no backtracking).
int kcXml::SetValue(const std::string& text, const char* const* names, int count)
{
    if (!elements || count < 0) return 0;
    DropPaths();
    if (count + 1 > kcXmlMaxDepth) {
        kcLog("kcXml : 階層が深すぎるため設定できません。");
        return 0;
    }
    for (int d = 0; d < count; ++d) {
        if (!IsWritableName(names[d])) {
            kcLog("kcXml : 要素名(%s)は保存できません。", names[d] ? names[d] : "");
            return 0;
        }
    }
    // The dialect has no escapes: a '<' would start a tag when the file is read again.
    if (text.find('<') != std::string::npos) {
        kcLog("kcXml : テキストに '<' が含まれているため設定できません。");
        return 0;
    }
    kcXmlLevel* level = elements;
    for (int d = 0; d <= count; ++d) {
        const char* name = d == 0 ? "document" : names[d - 1];
        kcXmlElement* found = const_cast<kcXmlElement*>(
            ForEachNamed(level, name, [](const kcXmlElement& e) -> const kcXmlElement* { return &e; }));
        if (!found) {
            level->Append(kcXmlElement{name, "", nullptr, nullptr});
            found = &level->items.back();
        }
        if (d == count) {
            found->text = text;
            return 1;
        }
        if (!found->children) found->children = new kcXmlLevel();
        level = found->children;
    }
    return 0;
}

int kcXml::SetInt(int value, int count, ...)
{
    char text[512];
    kcFormat(text, sizeof text, "%d", value);
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return SetValue(text, names.data, names.n);
}

int kcXml::SetIntVec(int value, const std::vector<std::string>& path)
{
    char text[512];
    kcFormat(text, sizeof text, "%d", value);
    NameList names(path);
    return SetValue(text, names.data, names.n);
}

int kcXml::SetFloat(float value, int count, ...)
{
    char text[512];
    kcFormat(text, sizeof text, "%f", (double)value);
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return SetValue(text, names.data, names.n);
}

int kcXml::SetFloatVec(float value, const std::vector<std::string>& path)
{
    char text[512];
    kcFormat(text, sizeof text, "%f", (double)value);
    NameList names(path);
    return SetValue(text, names.data, names.n);
}

int kcXml::SetStringWAt(const wchar_t* text, const char* const* names, int count)
{
    // A UTF-16 unit takes at most 3 bytes, a surrogate pair 4 for its two units.
    size_t units = text ? wcslen(text) : 0;
    std::string utf8(units * 3 + 1, '\0');
    if (units) kcWideToUtf8N(text, &utf8[0], (int)utf8.size());
    utf8.resize(strlen(utf8.c_str()));
    return SetValue(utf8, names, count);
}

int kcXml::SetStringW(const wchar_t* text, int count, ...)
{
    va_list a;
    va_start(a, count);
    NameList names(count, a);
    va_end(a);
    return SetStringWAt(text, names.data, names.n);
}

int kcXml::SetStringWVec(const wchar_t* text, const std::vector<std::string>& path)
{
    NameList names(path);
    return SetStringWAt(text, names.data, names.n);
}
