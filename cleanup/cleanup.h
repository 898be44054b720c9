// Removal of both programs' document classes, extension associations and
// per-user settings from the registry.
#pragma once

#include "../common/types.h"

struct CleanupTarget
{
    RegistryRoot root;
    const char* path;  // relative to root; levels separated by one backslash
};

const int CleanupTargetCount = 11;

// In order of deletion and of scrubbing; the class-root rows are also the
// class identifiers whose extension references are scrubbed.
extern const CleanupTarget CleanupPlan[CleanupTargetCount];

// Deletes every planned key tree, then scrubs extension keys of references
// to each planned class, draining the message queue after every target.
void RunCleanup();

// Dispatches everything queued for the calling thread, so windows repaint
// while the cleanup runs inside a dialog's command handler.
void PumpMessages();

// Deletes `name` under `parent` with all its subkeys, deepest first.
// Returns ERROR_SUCCESS, or the code of the first call that failed.
Status DeleteKeyTree(HKEY parent, const char* name);

// Removes, from every HKEY_CLASSES_ROOT\.ext key reached, the first REG_SZ
// value naming `classId`.
void ScrubExtensionAssociations(const char* classId);

// Removes from HKEY_CLASSES_ROOT\`extensionKeyName` the first REG_SZ value
// naming `classId`.
void RemoveMatchingValue(const char* extensionKeyName, const char* classId);
