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

// In order of deletion and of scrubbing. A row under HKEY_CLASSES_ROOT is a
// document class: it is removed from each of the ClassStores, and its name
// is also what the scrub looks for in extension keys.
extern const CleanupTarget CleanupPlan[CleanupTargetCount];

// The per-user and the per-machine class store, in that order: Windows
// merges them into HKEY_CLASSES_ROOT, through which only the per-user copy
// of a class in both is seen, and a walk strays from one store into the
// other. The program never goes through that view.
const int ClassStoreCount = 2;
extern const CleanupTarget ClassStores[ClassStoreCount];

// Deletes every planned key tree, then scrubs extension keys of references
// to each planned class, draining the message queue after every target.
void RunCleanup();

// Dispatches everything queued for the calling thread, so windows repaint
// while the cleanup runs inside a dialog's command handler.
void PumpMessages();

// Calls `work` with each class store that can be opened for all access,
// per-user first, and closes it again. A store that is absent, or refuses
// (the per-machine one, without administrator rights), is passed over.
void ForEachClassStore(void (*work)(HKEY store, const char* classId), const char* classId);

// Deletes `name` under `parent` with all its subkeys, deepest first.
// Returns ERROR_SUCCESS, or the code of the first call that failed.
Status DeleteKeyTree(HKEY parent, const char* name);

// Removes, from every .ext key directly below each class store, the first
// REG_SZ value naming `classId`.
void ScrubExtensionAssociations(const char* classId);

// Removes from `store`\`extensionKeyName` the first REG_SZ value naming
// `classId`.
void RemoveMatchingValue(HKEY store, const char* extensionKeyName, const char* classId);
