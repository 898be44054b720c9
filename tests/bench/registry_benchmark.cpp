// The cleanup's cost on a real registry (Wine's, under scripts/benchmark),
// measured against the platform's own RegDeleteTreeA and against one scrub
// walk (one walk of each class store), each comparison interleaved within
// this one process. Prints one
// line per measurement:
//
//   SECTION SIZE CONTENDER REPETITION SECONDS
//
// and lines starting with "#" for what the report needs besides.
//
//   registry_benchmark [REPETITIONS] [quick]   (quick: small sizes only)
#include <windows.h>

#include "../../cleanup/cleanup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace
{
const char* const Base = "Software\\ZZBench";

double Seconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(const char* section, long size, const char* contender, int repetition, double seconds)
{
    std::printf("%s %ld %s %d %.6f\n", section, size, contender, repetition, seconds);
    std::fflush(stdout);
}

HKEY Create(HKEY parent, const char* name)
{
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
    {
        std::fprintf(stderr, "cannot create %s\n", name);
        std::exit(1);
    }
    return key;
}

void SetString(HKEY key, const char* name, const char* data)
{
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                   static_cast<DWORD>(std::strlen(data) + 1));
}

// The key-tree deletion as it was before links were opened as themselves:
// opened with no options, closed, then deleted by name. Kept to show what
// that change costs.
Status DeleteKeyTreeByName(HKEY parent, const char* name)
{
    HKEY key;
    Status status = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    DWORD count = 0;
    do
    {
        DWORD queried;
        if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &queried, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr) == ERROR_SUCCESS)
            count = queried;
        if (count != 0)
        {
            char subkey[260];
            DWORD length = sizeof subkey;
            FILETIME written;
            status = RegEnumKeyExA(key, 0, subkey, &length, nullptr, nullptr, nullptr, &written);
            if (status == ERROR_SUCCESS)
                status = DeleteKeyTreeByName(key, subkey);
        }
    } while (status == ERROR_SUCCESS && count > 1);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? RegDeleteKeyA(parent, name) : status;
}

// HKCU\Software\ZZBench\<name>: `branches` subkeys of `leaves` subkeys
// each, every key with one or two values.
void SeedTree(const char* name, int branches, int leaves)
{
    HKEY base = Create(HKEY_CURRENT_USER, Base);
    HKEY root = Create(base, name);
    SetString(root, "", "root");
    char text[32];
    for (int b = 0; b < branches; ++b)
    {
        std::snprintf(text, sizeof text, "b%05d", b);
        HKEY branch = Create(root, text);
        SetString(branch, "", text);
        for (int l = 0; l < leaves; ++l)
        {
            std::snprintf(text, sizeof text, "l%05d", l);
            HKEY leaf = Create(branch, text);
            SetString(leaf, "", text);
            if (l % 2 == 0)
                SetString(leaf, "Second", "value");
            RegCloseKey(leaf);
        }
        RegCloseKey(branch);
    }
    RegCloseKey(root);
    RegCloseKey(base);
}

bool Gone(const char* name)
{
    HKEY key;
    std::string path = std::string(Base) + "\\" + name;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return true;
    RegCloseKey(key);
    return false;
}

// One tree deleted by each contender in turn, every repetition.
void CompareTreeDeletion(const char* section, int branches, int leaves, int repetitions, bool withByName)
{
    const long size = 1L + branches + static_cast<long>(branches) * leaves;
    struct Contender
    {
        const char* name;
        std::function<void(HKEY, const char*)> remove;
    };
    std::vector<Contender> contenders = {
        { "DeleteKeyTree", [](HKEY base, const char* name) { DeleteKeyTree(base, name); } },
        { "RegDeleteTreeA", [](HKEY base, const char* name) { RegDeleteTreeA(base, name); } },
    };
    if (withByName)
        contenders.push_back(
            { "DeleteKeyTree-by-name", [](HKEY base, const char* name) { DeleteKeyTreeByName(base, name); } });
    for (int repetition = 1; repetition <= repetitions; ++repetition)
    {
        for (const Contender& contender : contenders)
        {
            SeedTree("Tree", branches, leaves);
            HKEY base = Create(HKEY_CURRENT_USER, Base);
            double seconds = Seconds([&] { contender.remove(base, "Tree"); });
            RegCloseKey(base);
            if (!Gone("Tree"))
            {
                std::fprintf(stderr, "%s left the tree\n", contender.name);
                std::exit(1);
            }
            Report(section, size, contender.name, repetition, seconds);
        }
    }
}

// Calls `work` with each class store, as the cleanup walks them; a new Wine
// prefix has no per-user one yet.
void InEachStore(const std::function<void(HKEY store)>& work)
{
    for (int s = 0; s < ClassStoreCount; ++s)
    {
        HKEY store = Create(ClassStores[s].root, ClassStores[s].path);
        work(store);
        RegCloseKey(store);
    }
}

const char* BenchKeyName(long i, char* name, size_t size)
{
    std::snprintf(name, size, i % 10 == 0 ? ".zzb%06ld" : "ZZBench.Class%06ld", i);
    return name;
}

// N direct subkeys in each store: one in ten an extension key with one to
// three REG_SZ values, one extension in fifty naming a planned class.
void SeedClassStores(long count)
{
    InEachStore([count](HKEY store) {
        char name[32];
        for (long i = 0; i < count; ++i)
        {
            const bool extension = i % 10 == 0;
            HKEY key = Create(store, BenchKeyName(i, name, sizeof name));
            SetString(key, "", extension ? "ZZBench.Document" : "ZZBench class");
            if (extension && i % 20 == 0)
                SetString(key, "Content Type", "image/x-zzbench");
            if (extension && i % 30 == 0)
                SetString(key, "PerceivedType", "image");
            RegCloseKey(key);
        }
    });
}

// What a run removes and the next one needs again: the matching values.
void SeedMatches(long count)
{
    InEachStore([count](HKEY store) {
        char name[32];
        for (long i = 0; i < count; i += 500)
        {
            HKEY key = Create(store, BenchKeyName(i, name, sizeof name));
            SetString(key, "Tessaro", "TSO5.Image");
            RegCloseKey(key);
        }
    });
}

void RemoveClassStoreKeys(long count)
{
    InEachStore([count](HKEY store) {
        char name[32];
        for (long i = 0; i < count; ++i)
            RegDeleteKeyA(store, BenchKeyName(i, name, sizeof name));
    });
}

void PrintDirectSubkeys()
{
    const char* const notes[] = { "user-store-subkeys-before", "machine-store-subkeys-before" };
    int s = 0;
    InEachStore([&](HKEY store) {
        DWORD count = 0;
        RegQueryInfoKeyA(store, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr);
        std::printf("# %s %lu\n", notes[s++], static_cast<unsigned long>(count));
    });
}

void CompareCleanupWithScrubWalk(const std::vector<long>& sizes, int repetitions)
{
    PrintDirectSubkeys();
    for (long count : sizes)
    {
        SeedClassStores(count);
        for (int repetition = 1; repetition <= repetitions; ++repetition)
        {
            SeedMatches(count);
            Report("cleanup", count, "RunCleanup", repetition, Seconds([] { RunCleanup(); }));
            // Both stores, once each.
            Report("cleanup", count, "scrub-walk", repetition,
                   Seconds([] { ScrubExtensionAssociations("ZZBench.NoSuchClass"); }));
        }
        RemoveClassStoreKeys(count);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    const int repetitions = argc > 1 ? std::atoi(argv[1]) : 5;
    const bool quick = argc > 2 && std::strcmp(argv[2], "quick") == 0;
    RegDeleteTreeA(HKEY_CURRENT_USER, Base);

    CompareTreeDeletion("tree", 100, 99, repetitions, true);
    CompareCleanupWithScrubWalk(quick ? std::vector<long>{ 0, 1000 } : std::vector<long>{ 0, 1000, 5000, 20000 },
                                repetitions);
    for (long width : quick ? std::vector<long>{ 5000 } : std::vector<long>{ 25000, 50000, 100000 })
        CompareTreeDeletion("wide", static_cast<int>(width), 0, repetitions, false);

    RegDeleteTreeA(HKEY_CURRENT_USER, Base);
    return 0;
}
