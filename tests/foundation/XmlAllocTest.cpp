// Loading and saving with memory running out at each allocation in turn.
#include "foundation/kcLog.h"
#include "foundation/kcXml.h"
#include "support/TestSupport.h"
#include <gtest/gtest.h>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

// This test binary's allocator: it counts live blocks, and once armed it fails the n-th
// allocation after arming (only that one).
static std::atomic<long> g_live{0};
static std::atomic<long> g_calls{0};
static std::atomic<long> g_failAt{0};

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
// True when the armed allocation was reached (and failed).
bool Disarm()
{
    bool reached = g_calls >= g_failAt;
    g_failAt = 0;
    return reached;
}

// Log lines kept without allocating: the capture runs while allocations fail.
char g_lines[8][512];
int g_lineCount;
void Keep(const char* text, bool)
{
    if (g_lineCount < 8) snprintf(g_lines[g_lineCount++], sizeof g_lines[0], "%s", text);
}
bool Logged(const char* part)
{
    for (int i = 0; i < g_lineCount; ++i)
        if (strstr(g_lines[i], part)) return true;
    return false;
}

const std::string DL = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n";
const std::string kFile = DL + "<document>\r\n  <A k=\"1\" z=\"2\">\r\n    <b>7</b>\r\n    <c>text</c>\r\n  </A>\r\n"
                               "  <B>\r\n    <d></d>\r\n  </B>\r\n</document>\r\n";
} // namespace

// Open and OpenMemory leave an empty document that setters fill; Save leaves the document and
// the file as they were. Nothing leaks.
TEST(XmlAllocation, EachFailedAllocationFailsTheCallAndLeavesTheDocumentUsable)
{
    TempDir dir;
    const std::wstring in = dir.File(L"in.xml"), out = dir.File(L"out.xml"), after = dir.File(L"after.xml");
    ASSERT_TRUE(WriteBytes(in, kFile));
    enum Op { OPEN, OPEN_MEMORY, SAVE };
    const struct {
        Op op;
        const char* failure; // the call's own log line
    } ops[] = {{OPEN, "kcXml : File open error "}, {OPEN_MEMORY, "kcXml : OpenMem error."}, {SAVE, "kcXml : File save error "}};
    for (const auto& c : ops) {
        long n = 0;
        for (bool failed = true; failed;) {
            SCOPED_TRACE(std::to_string(c.op) + ", allocation " + std::to_string(++n));
            ASSERT_TRUE(WriteBytes(out, "old"));
            const long live = g_live;
            {
                kcXml x;
                ASSERT_EQ(1, x.OpenMemory(kFile.data(), (int)kFile.size()));
                g_lineCount = 0;
                kcLogSetCapture(Keep);
                g_calls = 0;
                g_failAt = n;
                int r = c.op == OPEN ? x.Open(in.c_str()) : c.op == OPEN_MEMORY ? x.OpenMemory(kFile.data(), 0) : x.Save(out.c_str());
                failed = Disarm();
                kcLogSetCapture(nullptr);
                const bool emptied = failed && c.op != SAVE;
                EXPECT_EQ(failed ? 0 : 1, r);
                EXPECT_TRUE(!failed || Logged(c.failure));
                EXPECT_EQ(emptied ? -1 : 7, x.GetInt(-1, 2, "A", "b"));
                std::string bytes;
                EXPECT_TRUE(ReadBytes(out, &bytes) && bytes == (c.op == SAVE && !failed ? kFile : "old"));
                EXPECT_TRUE(!emptied || x.SetInt(7, 2, "A", "b"));
                EXPECT_EQ(1, x.Save(after.c_str()));
                EXPECT_TRUE(ReadBytes(after, &bytes) &&
                            bytes == (emptied ? DL + "<document>\r\n  <A>\r\n    <b>7</b>\r\n  </A>\r\n</document>\r\n" : kFile));
            }
            EXPECT_EQ(live, (long)g_live) << "leaked";
        }
        EXPECT_GT(n, 10); // every step of the call was reached
    }
}
