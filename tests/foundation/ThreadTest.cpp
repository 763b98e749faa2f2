#include "foundation/kcThread.h"
#include "foundation/kcWindowClass.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace {
enum { kGo = 1, kDone = 2, kLock = 7 };

struct Shared {
    kcThread* seenThread = nullptr;
    int counter = 0;
};

void CountUnderLock(kcThread* t, void* data)
{
    Shared* s = (Shared*)data;
    s->seenThread = t;
    t->WaitEvent(kGo, INFINITE);
    for (int i = 0; i < 20000; i++) {
        t->Lock(kLock);
        s->counter++;
        t->Unlock(kLock);
    }
    t->SignalEvent(kDone);
}

std::wstring UniqueName(const wchar_t* stem) { return stem + std::to_wstring(GetCurrentProcessId()); }

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }
} // namespace

TEST(Thread, EventsAndLocksByIdAnswerAtOnceForMissingIds)
{
    kcThread t;
    EXPECT_FALSE(t.WaitEvent(5, 0)); // no event map at all
    t.Lock(3);                       // no lock map
    t.Unlock(3);
    EXPECT_EQ(nullptr, t.GetHandle()); // never started: no handle, no wait
    EXPECT_EQ(0, t.WaitForExit());

    EXPECT_EQ(1, t.AddEvent(0, 0, 0));
    EXPECT_EQ(0, t.AddEvent(0, 1, 1)); // the first stays: auto-reset, clear
    EXPECT_FALSE(t.WaitEvent(0, 0));
    EXPECT_FALSE(t.WaitEvent(5, 0)); // an id never added
    t.SignalEvent(5);
    t.SignalEvent(0);
    EXPECT_TRUE(t.WaitEvent(0, INFINITE));
    EXPECT_FALSE(t.WaitEvent(0, 0)); // auto-reset cleared itself
    EXPECT_EQ(1, t.AddEvent(1, 1, 1)); // manual reset, set from the start
    EXPECT_TRUE(t.WaitEvent(1, 0));
    t.ClearEvent(1);
    EXPECT_FALSE(t.WaitEvent(1, 0));

    EXPECT_EQ(1, t.AddLock(3));
    EXPECT_EQ(0, t.AddLock(3));
    t.Lock(4); // an id never added
    t.Lock(3); // recursive
    t.Lock(3);
    t.Unlock(3);
    t.Unlock(3);
}

TEST(Thread, StartRunsTheEntryOnceAndSharesLocks)
{
    Shared s;
    kcThread t;
    ASSERT_EQ(1, t.AddLock(kLock));
    ASSERT_EQ(1, t.AddEvent(kGo, 1, 0));
    ASSERT_EQ(1, t.AddEvent(kDone, 1, 0));
    ASSERT_TRUE(t.Start(&s, CountUnderLock));
    EXPECT_FALSE(t.Start(&s, CountUnderLock)); // a thread object runs once
    t.SignalEvent(kGo);
    for (int i = 0; i < 20000; i++) {
        t.Lock(kLock);
        s.counter++;
        t.Unlock(kLock);
    }
    EXPECT_TRUE(t.WaitEvent(kDone, INFINITE));
    EXPECT_NE(0, t.WaitForExit());
    EXPECT_EQ(40000, s.counter);
    EXPECT_EQ(&t, s.seenThread);
    EXPECT_FALSE(t.Start(&s, CountUnderLock)); // not after it ended either

    kcThread empty;
    ASSERT_TRUE(empty.Start(nullptr, nullptr)); // no entry: the thread just ends
    EXPECT_NE(0, empty.WaitForExit());
}

TEST(NamedMutex, ReportsAnExistingObjectOfTheName)
{
    std::wstring wide = UniqueName(L"kc日本語");
    char narrow[256]; // a narrow name is Shift_JIS
    ASSERT_GT(WideCharToMultiByte(932, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);
    int first = -1, second = -1;
    kcNamedMutex a(narrow, &first);
    kcNamedMutex b(wide.c_str(), &second);
    EXPECT_EQ(0, first);
    EXPECT_EQ(1, second);
    EXPECT_NE(nullptr, b.GetHandle()); // the handle stays

    std::wstring name = UniqueName(L"kcTestEvent");
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    int exists = -1;
    kcNamedMutex other(name.c_str(), &exists); // another kind of object holds the name
    EXPECT_EQ(1, exists);
    CloseHandle(ev);
}

TEST(WindowClass, DefaultsAndWholeNames)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    std::wstring name = UniqueName(L"kcTestClass");
    WNDCLASSEXW found = {sizeof found};
    {
        kcWindowClass wc(name.c_str(), Proc, inst);
        ASSERT_NE(0, wc.GetAtom());
        EXPECT_EQ(LoadIconW(nullptr, IDI_APPLICATION), wc.GetClass().hIconSm); // defaults for what is left out
        EXPECT_EQ(GetStockObject(BLACK_BRUSH), (HGDIOBJ)wc.GetClass().hbrBackground);
        kcWindowClass twice(name.c_str(), Proc, inst);
        EXPECT_EQ(0, twice.GetAtom()); // its destructor leaves the first registration alone
        EXPECT_TRUE(GetClassInfoExW(inst, name.c_str(), &found));
    }
    EXPECT_FALSE(GetClassInfoExW(inst, name.c_str(), &found));

    // Longer than the system holds: refused whole, never registered cut; the longest fits.
    std::wstring tooLong = name + std::wstring(300, L'x'), longest = name + std::wstring(255 - name.size(), L'y');
    kcWindowClass cut(tooLong.c_str(), Proc, inst), fits(longest.c_str(), Proc, inst);
    EXPECT_EQ(0, cut.GetAtom());
    EXPECT_FALSE(GetClassInfoExW(inst, tooLong.substr(0, 255).c_str(), &found));
    EXPECT_NE(0, fits.GetAtom());
    EXPECT_TRUE(GetClassInfoExW(inst, longest.c_str(), &found));
}
