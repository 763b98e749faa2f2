#include "foundation/kcRandom.h"
#include <windows.h>
#include <cmath>

namespace {
const int N = 624;
const int M = 397;
const uint32_t kMatrixA = 0x9908b0dfu;
const uint32_t kUpper = 0x80000000u;
const uint32_t kLower = 0x7fffffffu;

uint32_t g_state[N];
int g_index = N + 1; // never seeded
kcRandom* g_instance = nullptr;

// The 1998 reference seeding: two steps of x <- 69069 x + 1 per word.
void seedState(uint32_t seed)
{
    for (int i = 0; i < N; i++) {
        g_state[i] = seed & 0xffff0000u;
        seed = 69069 * seed + 1;
        g_state[i] |= (seed & 0xffff0000u) >> 16;
        seed = 69069 * seed + 1;
    }
    g_index = N;
}

uint32_t draw()
{
    static const uint32_t mag01[2] = {0, kMatrixA};
    if (g_index >= N) {
        if (g_index == N + 1) seedState(4357);
        int k;
        for (k = 0; k < N - M; k++) {
            uint32_t y = (g_state[k] & kUpper) | (g_state[k + 1] & kLower);
            g_state[k] = g_state[k + M] ^ (y >> 1) ^ mag01[y & 1];
        }
        for (; k < N - 1; k++) {
            uint32_t y = (g_state[k] & kUpper) | (g_state[k + 1] & kLower);
            g_state[k] = g_state[k + (M - N)] ^ (y >> 1) ^ mag01[y & 1];
        }
        uint32_t y = (g_state[N - 1] & kUpper) | (g_state[0] & kLower);
        g_state[N - 1] = g_state[M - 1] ^ (y >> 1) ^ mag01[y & 1];
        g_index = 0;
    }
    uint32_t y = g_state[g_index++];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9d2c5680u;
    y ^= (y << 15) & 0xefc60000u;
    y ^= y >> 18;
    return y;
}
} // namespace

int32_t kcSineTable[32769];

kcRandom::kcRandom()
{
    g_instance = this;
    SeedFromTime();
}

kcRandom::~kcRandom()
{
    if (g_instance == this) g_instance = nullptr;
}

kcRandom* kcRandom::Instance() { return g_instance; }

uint32_t kcRandom::Next() { return draw(); }

void kcRandom::Seed(uint32_t value) { seedState(value); }

void kcRandom::SeedFromTime()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    seedState((uint32_t)t.wYear + t.wMonth + t.wDay + t.wHour + t.wMinute + t.wSecond + t.wMilliseconds);
}

void kcBuildSineTable()
{
    const double pi = 3.14159265358979323846;
    for (int i = 0; i <= 32768; i++) kcSineTable[i] = (int32_t)(std::sin(i * pi / 16384.0) * 32768.0);
}
