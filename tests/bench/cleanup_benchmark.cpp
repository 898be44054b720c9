// Cost of a whole cleanup on the host stand-in as the machine's class store
// grows:
// time and registry calls per direct subkey should stay flat.
#include <windows.h>

#include "../../cleanup/cleanup.h"
#include "stand_in.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace
{
void SetString(HKEY root, const char* path, const char* name, const char* data)
{
    HKEY key;
    RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (data != nullptr)
    {
        DWORD size = 0;
        while (data[size] != '\0')
            ++size;
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data), size + 1);
    }
    RegCloseKey(key);
}

// `subkeys` direct subkeys of HKLM\Software\Classes, one in ten an
// extension key and one extension in a hundred naming a planned class; a
// planned tree of 100 keys of 100 keys each under the first class.
void SeedRegistry(long subkeys)
{
    StandIn::Reset();
    char name[64];
    for (long i = 0; i < subkeys; ++i)
    {
        bool extension = i % 10 == 0;
        std::snprintf(name, sizeof name, extension ? ".e%07ld" : "Class%07ld", i);
        const char* data = !extension ? "Some.Class" : (i % 1000 == 0 ? "TSO5.Bild" : "Other.Class");
        SetString(HKEY_LOCAL_MACHINE, (std::string("Software\\Classes\\") + name).c_str(), "", data);
    }
    for (int branch = 0; branch < 100; ++branch)
    {
        for (int leaf = 0; leaf < 99; ++leaf)
        {
            std::snprintf(name, sizeof name, "Software\\Classes\\TSO5.Image\\b%03d\\l%03d", branch, leaf);
            SetString(HKEY_LOCAL_MACHINE, name, "", nullptr);
        }
    }
}

void BM_RunCleanup(benchmark::State& state)
{
    const long subkeys = state.range(0);
    long long calls = 0;
    for (auto _ : state)
    {
        state.PauseTiming();
        SeedRegistry(subkeys);
        long long before = StandIn::RegistryCallCount();
        state.ResumeTiming();

        RunCleanup();

        state.PauseTiming();
        calls += StandIn::RegistryCallCount() - before;
        state.ResumeTiming();
    }
    // With 0 subkeys the run is the planned tree alone: the baseline that
    // the per-subkey cost is read against.
    const double runs = static_cast<double>(state.iterations());
    state.counters["registry_calls"] = calls / runs;
    if (subkeys > 0)
        state.counters["registry_calls_per_subkey"] = calls / runs / subkeys;
}
}  // namespace

BENCHMARK(BM_RunCleanup)->Arg(0)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
