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
void Arm(long n)
{
    g_calls = 0;
    g_failAt = n;
}
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
        SCOPED_TRACE(c.op);
        long failures = 0;
        for (long n = 1; n < 100000; ++n) {
            ASSERT_TRUE(WriteBytes(out, "old"));
            const long live = g_live;
            bool done = false;
            {
                kcXml x;
                ASSERT_EQ(1, x.OpenMemory(kFile.data(), (int)kFile.size()));
                g_lineCount = 0;
                kcLogSetCapture(Keep);
                Arm(n);
                int r = c.op == OPEN ? x.Open(in.c_str()) : c.op == OPEN_MEMORY ? x.OpenMemory(kFile.data(), 0) : x.Save(out.c_str());
                bool failed = Disarm();
                kcLogSetCapture(nullptr);
                std::string bytes;
                if (!failed) { // past the last allocation: the call succeeds
                    done = true;
                    EXPECT_EQ(1, r);
                    EXPECT_EQ(7, x.GetInt(0, 2, "A", "b"));
                    EXPECT_TRUE(c.op != SAVE || (ReadBytes(out, &bytes) && bytes == kFile));
                } else {
                    ++failures;
                    EXPECT_EQ(0, r) << "allocation " << n;
                    EXPECT_TRUE(Logged(c.failure)) << "allocation " << n;
                    if (c.op == SAVE) { // the document as it was, the file untouched
                        EXPECT_TRUE(ReadBytes(out, &bytes) && bytes == "old") << "allocation " << n;
                        EXPECT_EQ(7, x.GetInt(0, 2, "A", "b"));
                        EXPECT_EQ(1, x.Save(after.c_str()));
                        EXPECT_TRUE(ReadBytes(after, &bytes) && bytes == kFile) << "allocation " << n;
                    } else { // empty, and setters fill it
                        EXPECT_EQ(-1, x.GetInt(-1, 2, "A", "b"));
                        EXPECT_EQ(1, x.SetInt(3, 1, "z"));
                        EXPECT_EQ(1, x.Save(after.c_str()));
                        EXPECT_TRUE(ReadBytes(after, &bytes) && bytes == DL + "<document>\r\n  <z>3</z>\r\n</document>\r\n")
                            << "allocation " << n;
                    }
                }
            }
            EXPECT_EQ(live, (long)g_live) << "allocation " << n << " leaked";
            if (done) break;
        }
        EXPECT_GT(failures, 10); // every step of the call was reached
    }
}
