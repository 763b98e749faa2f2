#include "foundation/kcHeap.h"
#include "foundation/kcLog.h"
#include <windows.h>
#include <climits>

static HANDLE g_heap = nullptr;
static volatile LONG g_live = 0;

int kcHeapCreate(int bytes)
{
    if (g_heap) return 0;
    g_heap = HeapCreate(0, bytes > 0 ? (SIZE_T)bytes : 0, 0);
    if (!g_heap) {
        kcLog("ヒープ領域の作成に失敗しました");
        return 0;
    }
    float mb = (float)bytes / 1024.0f / 1024.0f;
    kcLog("ヒープを作成しました。 size = %d (0x%x) byte (%fMB)", bytes, bytes, (double)mb);
    return 1;
}

void* kcHeapAlloc(int id, int bytes)
{
    // A negative size, or one whose count word would overflow, is refused rather than wrapped.
    if (bytes < 0 || bytes > INT_MAX - 4) {
        kcLog("メモリが確保出来ませんでした  id = %d  size = %d(0x%x)", id, bytes, bytes);
        return nullptr;
    }
    void* p = g_heap ? HeapAlloc(g_heap, 0, (SIZE_T)bytes + 4) : nullptr;
    if (!p) {
        kcLog("メモリが確保出来ませんでした  id = %d  size = %d(0x%x)", id, bytes + 4, bytes + 4);
        return nullptr;
    }
    *(LONG*)p = 1;
    InterlockedIncrement(&g_live);
    return (char*)p + 4;
}

int kcHeapRelease(void* block)
{
    if (!block || !g_heap) return 0;
    LONG* count = (LONG*)((char*)block - 4);
    if (*count > 1) {
        *count -= 1;
        return *count;
    }
    BOOL ok = HeapFree(g_heap, 0, count);
    if (ok) InterlockedDecrement(&g_live);
    return ok ? 1 : 0;
}

int kcHeapDestroy()
{
    if (g_heap) {
        HeapDestroy(g_heap);
        g_heap = nullptr;
        g_live = 0;
    }
    kcLog("ヒープを破棄しました。");
    return 1;
}

int kcHeapLiveBlocks()
{
    return (int)g_live;
}
