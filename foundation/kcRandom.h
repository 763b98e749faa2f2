#pragma once
#include <cstdint>

// Handle on the process-wide MT19937 state; one exists while the library runs.
class kcRandom {
public:
    kcRandom();
    ~kcRandom();
    uint32_t Next();
    void Seed(uint32_t value);
    void SeedFromTime();

    static kcRandom* Instance();

private:
    kcRandom(const kcRandom&) = delete;
    kcRandom& operator=(const kcRandom&) = delete;
};

// One full turn of the sine, scaled by 32768.
extern int32_t kcSineTable[32769];
void kcBuildSineTable();
