#pragma once
// The library's private heap: reference-counted blocks with a 32-bit count ahead of each.

int kcHeapCreate(int bytes);
void* kcHeapAlloc(int id, int bytes);
int kcHeapRelease(void* block);
int kcHeapDestroy();

// Number of blocks allocated and not yet freed (for leak checks in tests).
int kcHeapLiveBlocks();
