// Test controls of the host stand-in: reset, observation and fault injection.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace StandIn
{
// Empties the registry to its two roots and forgets faults, counts, logs
// and queued messages. Handles still open are dropped.
void Reset();

int OpenHandleCount();

// Opening `path` under `root` with more than read access fails with
// ERROR_ACCESS_DENIED, and so does deleting it, as a restrictive ACL would.
void DenyWriteAccess(HKEY root, const char* path);

// The `nth` call (1 = the next one) of `function` returns `code` and does
// nothing else.
void FailCall(const char* function, int nth, LONG code);

int CallCount(const char* function);
long long RegistryCallCount();

// Full paths ("HKCR\\a\\b") of the keys RegDeleteKeyA removed, in order.
const std::vector<std::string>& DeletedKeys();

// Called each time PeekMessageA finds the queue empty, that is at the end of
// every drain of the queue.
void OnQueueEmpty(std::function<void()> callback);
int EmptyQueueCount();
const std::vector<MSG>& DispatchedMessages();
}
