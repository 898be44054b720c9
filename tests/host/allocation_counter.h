// Counts heap allocations made by the program's own code on the host; the
// stand-in's allocations are not counted.
#pragma once

namespace AllocationCounter
{
void Start();
long Stop();  // allocations since Start()

// While one exists, allocations belong to the stand-in and are not counted.
// Part of the stand-in library, so programs without the counter link too.
struct StandInScope
{
    StandInScope();
    ~StandInScope();
};
bool InsideStandIn();
}
