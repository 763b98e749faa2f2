#include "foundation/kcThread.h"
#include "foundation/kcWindowClass.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

namespace {

enum { kGo = 1, kDone = 2, kLock = 7 };

struct Shared {
    kcThread* seenThread = nullptr;
    void* seenData = nullptr;
    int counter = 0;
};

void CountUnderLock(kcThread* t, void* data)
{
    Shared* s = (Shared*)data;
    s->seenThread = t;
    s->seenData = data;
    t->WaitEvent(kGo, INFINITE);
    for (int i = 0; i < 100000; i++) {
        t->Lock(kLock);
        s->counter++;
        t->Unlock(kLock);
    }
    t->SignalEvent(kDone);
}

std::wstring UniqueName(const wchar_t* stem)
{
    return std::wstring(stem) + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount());
}

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

} // namespace

TEST(Thread, EventsByIdAndDuplicates)
{
    kcThread t;
    EXPECT_FALSE(t.WaitEvent(5, 0)); // no event map at all
    EXPECT_EQ(1, t.AddEvent(0, 0, 0));
    EXPECT_EQ(0, t.AddEvent(0, 1, 1)); // the first stays: auto-reset, clear
    EXPECT_FALSE(t.WaitEvent(0, 0));
    EXPECT_FALSE(t.WaitEvent(5, 0)); // an id never added
    t.SignalEvent(5);
    t.ClearEvent(5);

    t.SignalEvent(0);
    EXPECT_TRUE(t.WaitEvent(0, INFINITE));
    EXPECT_FALSE(t.WaitEvent(0, 0)); // auto-reset cleared itself

    EXPECT_EQ(1, t.AddEvent(1, 1, 1)); // manual reset, set from the start
    EXPECT_TRUE(t.WaitEvent(1, 0));
    EXPECT_TRUE(t.WaitEvent(1, 0));
    t.ClearEvent(1);
    EXPECT_FALSE(t.WaitEvent(1, 0));
    EXPECT_NE(nullptr, t.GetEventHandle(1));
    EXPECT_EQ(nullptr, t.GetEventHandle(9));
}

TEST(Thread, LocksByIdAreRecursiveAndToleratesMissingIds)
{
    kcThread t;
    t.Lock(3); // no lock map
    t.Unlock(3);
    EXPECT_EQ(1, t.AddLock(3));
    EXPECT_EQ(0, t.AddLock(3));
    t.Lock(4); // an id never added
    t.Unlock(4);
    t.Lock(3);
    t.Lock(3);
    t.Unlock(3);
    t.Unlock(3);
}

TEST(Thread, NeverStartedThreadAnswersAtOnce)
{
    kcThread t;
    EXPECT_EQ(nullptr, t.GetHandle());
    EXPECT_EQ(0, t.WaitForExit());
    t.SetPriority(THREAD_PRIORITY_LOWEST);
}

TEST(Thread, StartRunsEntryOnceAndSharesLocks)
{
    Shared s;
    kcThread t;
    ASSERT_EQ(1, t.AddLock(kLock));
    ASSERT_EQ(1, t.AddEvent(kGo, 1, 0));
    ASSERT_EQ(1, t.AddEvent(kDone, 1, 0));
    ASSERT_TRUE(t.Start(&s, CountUnderLock));
    EXPECT_NE(nullptr, t.GetHandle());
    EXPECT_FALSE(t.Start(&s, CountUnderLock)); // a thread object runs once
    t.SetPriority(THREAD_PRIORITY_NORMAL);
    t.SignalEvent(kGo);
    for (int i = 0; i < 100000; i++) {
        t.Lock(kLock);
        s.counter++;
        t.Unlock(kLock);
    }
    EXPECT_TRUE(t.WaitEvent(kDone, INFINITE));
    EXPECT_NE(0, t.WaitForExit());
    DWORD code = 1;
    GetExitCodeThread(t.GetHandle(), &code);
    EXPECT_EQ(0u, code);
    EXPECT_EQ(200000, s.counter);
    EXPECT_EQ(&t, s.seenThread);
    EXPECT_EQ(&s, s.seenData);
    EXPECT_FALSE(t.Start(&s, CountUnderLock)); // not after it ended either
}

TEST(Thread, StartWithoutEntryJustEnds)
{
    kcThread t;
    ASSERT_TRUE(t.Start(nullptr, nullptr));
    EXPECT_NE(0, t.WaitForExit());
}

TEST(NamedMutex, ReportsAnExistingOne)
{
    std::wstring name = UniqueName(L"kcTestMutex");
    int exists = -1;
    kcNamedMutex first(name.c_str(), &exists);
    EXPECT_EQ(0, exists);
    EXPECT_NE(nullptr, first.GetHandle());
    int again = -1;
    kcNamedMutex second(name.c_str(), &again);
    EXPECT_EQ(1, again);
    EXPECT_NE(nullptr, second.GetHandle()); // the handle stays
}

TEST(NamedMutex, NameOfAnotherKindOfObjectKeepsTheFlag)
{
    std::wstring name = UniqueName(L"kcTestEvent");
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, name.c_str());
    ASSERT_NE(nullptr, ev);
    int exists = -1;
    kcNamedMutex m(name.c_str(), &exists);
    EXPECT_EQ(1, exists);
    CloseHandle(ev);
}

TEST(NamedMutex, NarrowNameIsShiftJis)
{
    std::wstring wide = UniqueName(L"kc日本語");
    char narrow[256];
    ASSERT_GT(WideCharToMultiByte(932, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr), 0);
    int a = -1, b = -1;
    kcNamedMutex first(narrow, &a);
    EXPECT_EQ(0, a);
    kcNamedMutex second(wide.c_str(), &b);
    EXPECT_EQ(1, b);
}

TEST(WindowClass, DefaultsForWhatIsLeftOut)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    HICON large = LoadIconW(nullptr, IDI_WARNING);
    std::wstring name = UniqueName(L"kcTestClass");
    {
        kcWindowClass wc(name.c_str(), Proc, inst, large);
        ASSERT_NE(0, wc.GetAtom());
        const WNDCLASSEXW& c = wc.GetClass();
        EXPECT_EQ(48u, c.cbSize);
        EXPECT_EQ(large, c.hIcon);
        EXPECT_EQ(LoadIconW(nullptr, IDI_APPLICATION), c.hIconSm);
        EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), c.hCursor);
        EXPECT_EQ(GetStockObject(BLACK_BRUSH), (HGDIOBJ)c.hbrBackground);
        WNDCLASSEXW found = {sizeof found};
        EXPECT_TRUE(GetClassInfoExW(inst, name.c_str(), &found));

        kcWindowClass twice(name.c_str(), Proc, inst);
        EXPECT_EQ(0, twice.GetAtom()); // its destructor leaves the first registration alone
    }
    WNDCLASSEXW gone = {sizeof gone};
    EXPECT_FALSE(GetClassInfoExW(inst, name.c_str(), &gone));
}

TEST(WindowClass, LongNameIsNeverRegisteredCut)
{
    HINSTANCE inst = GetModuleHandleW(nullptr);
    // Longer than any class name the system accepts: the registration fails as a whole
    // instead of registering a shorter name that nobody asked for.
    std::wstring stem = UniqueName(L"kcLong");
    std::wstring name = stem + std::wstring(300, L'x');
    kcWindowClass wc(name.c_str(), Proc, inst);
    EXPECT_EQ(0, wc.GetAtom());
    WNDCLASSEXW found = {sizeof found};
    EXPECT_FALSE(GetClassInfoExW(inst, name.substr(0, 255).c_str(), &found));
    // The longest name the system holds registers as given.
    std::wstring longest = stem + std::wstring(255 - stem.size(), L'y');
    kcWindowClass fits(longest.c_str(), Proc, inst);
    EXPECT_NE(0, fits.GetAtom());
    EXPECT_TRUE(GetClassInfoExW(inst, longest.c_str(), &found));
}
