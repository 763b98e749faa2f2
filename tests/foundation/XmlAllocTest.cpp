// Loading and saving with memory running out at each allocation in turn.
#include "foundation/kcLog.h"
#include "foundation/kcXml.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// This test binary's allocator: it counts live blocks, and once armed it fails the n-th
// allocation after arming (only that one).
static std::atomic<long> g_live{0}, g_calls{0}, g_failAt{0};

void* operator new(size_t n)
{
    if (g_failAt > 0 && ++g_calls == g_failAt) throw std::bad_alloc();
    void* p = std::malloc(n ? n : 1);
    if (!p) throw std::bad_alloc();
    ++g_live;
    return p;
}
void operator delete(void* p) noexcept
{
    if (!p) return;
    --g_live;
    std::free(p);
}
void operator delete(void* p, size_t) noexcept { operator delete(p); }

namespace {
// Whether the call's own failure was logged, noted without allocating: allocations fail meanwhile.
const char* g_failure;
bool g_logged;
void Note(const char* text, bool) { g_logged = g_logged || strstr(text, g_failure); }

const std::string DL = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
const std::string kFile = DL + "<document>\r\n  <A k=\"1\" z=\"2\">\r\n    <b>7</b>\r\n    <c>text</c>\r\n  </A>\r\n"
                               "  <B>\r\n    <d></d>\r\n  </B>\r\n</document>\r\n";
} // namespace

// Open and OpenMemory leave an empty document that setters fill; Save leaves the document and
// the file as they were. Nothing leaks.
TEST(XmlAllocation, EachFailedAllocationFailsTheCallAndLeavesTheDocumentUsable)
{
    TempDir dir;
    const std::wstring in = dir.File(L"in.xml"), out = dir.File(L"out.xml");
    ASSERT_TRUE(WriteBytes(in, kFile));
    const char* const failures[] = {"kcXml : File open error ", "kcXml : OpenMem error.", "kcXml : File save error "};
    for (int op = 0; op < 3; ++op) { // Open, OpenMemory, Save
        long n = 0;
        for (bool failed = true; failed;) {
            SCOPED_TRACE(std::to_string(op) + ", allocation " + std::to_string(++n));
            ASSERT_TRUE(WriteBytes(out, "old"));
            const long live = g_live;
            {
                kcXml x;
                ASSERT_EQ(1, x.OpenMemory(kFile.data(), (int)kFile.size()));
                g_failure = failures[op], g_logged = false;
                kcLogSetCapture(Note);
                g_calls = 0, g_failAt = n;
                int r = op == 0 ? x.Open(in.c_str()) : op == 1 ? x.OpenMemory(kFile.data(), 0) : x.Save(out.c_str());
                failed = g_calls >= n; // the armed allocation was reached
                g_failAt = 0;
                kcLogSetCapture(nullptr);
                const bool emptied = failed && op != 2;
                EXPECT_EQ(failed ? 0 : 1, r);
                EXPECT_EQ(failed, g_logged);
                EXPECT_EQ(emptied ? -1 : 7, x.GetInt(-1, 2, "A", "b"));
                std::string bytes;
                EXPECT_TRUE(ReadBytes(out, &bytes) && bytes == (op == 2 && !failed ? kFile : "old"));
                EXPECT_TRUE(!emptied || x.SetInt(7, 2, "A", "b"));
                EXPECT_EQ(1, x.Save(out.c_str()));
                EXPECT_TRUE(ReadBytes(out, &bytes) &&
                            bytes == (emptied ? DL + "<document>\r\n  <A>\r\n    <b>7</b>\r\n  </A>\r\n</document>\r\n" : kFile));
            }
            EXPECT_EQ(live, (long)g_live) << "leaked";
        }
        EXPECT_GT(n, 10); // every step of the call was reached
    }
}

// Lookups through 201 same-named elements, the first of which files them, answer alike when memory
// runs out at any allocation on the way, and leak nothing.
TEST(XmlAllocation, LookupsThatFileSameNamedElementsAnswerAlike)
{
    std::string body = "<A><B>7</B></A>"; // first in the file: the last the search reaches
    for (int i = 0; i < 200; ++i) {
        const std::string c = "c" + std::to_string(i % 50);
        body += "<A><" + c + ">" + std::to_string(i) + "</" + c + "></A>";
    }
    const std::string file = DL + "<document>" + body + "</document>";
    long n = 0;
    for (bool failed = true; failed;) {
        SCOPED_TRACE(++n);
        const long live = g_live;
        {
            kcXml x;
            ASSERT_EQ(1, x.OpenMemory(file.data(), (int)file.size()));
            g_calls = 0, g_failAt = n;
            const int b = x.GetInt(-1, 2, "A", "B"), c = x.GetInt(-1, 2, "A", "c7"), none = x.GetInt(-1, 2, "A", "d");
            failed = g_calls >= n;
            g_failAt = 0;
            EXPECT_TRUE(b == 7 && c == 157 && none == -1) << b << " " << c << " " << none;
        }
        EXPECT_EQ(live, (long)g_live) << "leaked";
    }
    EXPECT_GT(n, 5);
}
