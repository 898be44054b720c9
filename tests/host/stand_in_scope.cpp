#include "allocation_counter.h"

namespace
{
int standInDepth = 0;
}

namespace AllocationCounter
{
StandInScope::StandInScope() { ++standInDepth; }
StandInScope::~StandInScope() { --standInDepth; }

bool InsideStandIn()
{
    return standInDepth != 0;
}
}
