// Time of the capability probes under the flags both deliverables pass (0x7f), and per probe.
#include "foundation/kcCaps.h"
#include "foundation/kcFormat.h"
#include <windows.h>
#include <cstdio>

namespace {

double Seconds(unsigned flags, int rounds)
{
    LARGE_INTEGER f, a, b;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&a);
    for (int i = 0; i < rounds; ++i)
        delete new kcCaps(flags, 0);
    QueryPerformanceCounter(&b);
    return double(b.QuadPart - a.QuadPart) / f.QuadPart / rounds;
}

} // namespace

int wmain()
{
    const struct {
        unsigned flags;
        const char* what;
    } kRuns[] = {
        {0x7f, "all (0x7f)"}, {0x01, "OS version"}, {0x02, "DirectX version"},
        {0x04, "memory"},     {0x08, "processor"},  {0x18, "processor and clock"},
        {0x20, "OEM strings"},
    };
    printf("%-22s %8.1f ms\n", "all (0x7f), first", Seconds(0x7f, 1) * 1000.0);
    for (const auto& r : kRuns) {
        int rounds = (r.flags & 0x12) ? 3 : 20;
        printf("%-22s %8.1f ms\n", r.what, Seconds(r.flags, rounds) * 1000.0);
    }
    kcCaps caps(0x7f, 0);
    OsInfo os;
    caps.GetOsInfo(&os);
    const CpuInfo* cpu = caps.GetCpuInfo();
    wchar_t dx[128];
    unsigned v = caps.GetDirectXInfo(dx);
    char line[1024];
    kcFormat(line, sizeof(line), "OS %u %u.%u.%u bits %u [%S] [%S] [%S]\nDX 0x%x [%S]\n", os.code,
             os.major, os.minor, os.build, os.bits, os.name, os.servicePack, os.edition, v, dx);
    fputs(line, stdout);
    kcFormat(line, sizeof(line),
             "CPU type %u fam %u model %u step %u [%s] meas %u reg %u cpuid %u mmx %u cmov %u "
             "sse %u 3dnow %u n %u [%S]\nmem %u/%u MiB page %u/%u MiB\n",
             cpu->type, cpu->family, cpu->model, cpu->stepping, cpu->vendor, cpu->measuredMhz,
             cpu->registryMhz, cpu->hasCpuid, cpu->mmx, cpu->cmov, cpu->sse, cpu->amd3dNow,
             cpu->processorCount, cpu->name, caps.availPhysMb, caps.totalPhysMb,
             caps.availPageFileMb, caps.totalPageFileMb);
    fputs(line, stdout);
    return 0;
}
