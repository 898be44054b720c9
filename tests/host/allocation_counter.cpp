#include "allocation_counter.h"

#include <cstddef>

// glibc's own allocator, under the names it exports for interposers.
extern "C" void* __libc_malloc(size_t size);
extern "C" void* __libc_calloc(size_t count, size_t size);
extern "C" void* __libc_realloc(void* block, size_t size);

namespace
{
bool counting = false;
long allocations = 0;

void Note()
{
    if (counting && !AllocationCounter::InsideStandIn())
        ++allocations;
}
}

// Every allocation of the process, operator new included, comes through here.
extern "C" void* malloc(size_t size)
{
    Note();
    return __libc_malloc(size);
}

extern "C" void* calloc(size_t count, size_t size)
{
    Note();
    return __libc_calloc(count, size);
}

extern "C" void* realloc(void* block, size_t size)
{
    Note();
    return __libc_realloc(block, size);
}

namespace AllocationCounter
{
void Start()
{
    allocations = 0;
    counting = true;
}

long Stop()
{
    counting = false;
    return allocations;
}
}
