// In-memory registry behaving as Windows does on the points the program
// relies on: case-insensitive names stored with their case, of at most 255
// characters, subkeys listed in case-insensitive order (folded to upper
// case, as Windows folds), values listed in creation order, the A calls'
// buffer-length rules, the access a handle was opened with, and symbolic
// links. The two class stores are there as Windows has them since Vista:
// HKLM\SOFTWARE\Classes, and HKCU\Software\Classes as a link into the
// user's own classes hive. HKEY_CLASSES_ROOT, Windows' merged view of the
// two, is not modelled: a call naming it is refused and counted.
#include <windows.h>

#include "../../common/ntdll.h"
#include "allocation_counter.h"
#include "stand_in.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

namespace
{
const LONG STATUS_SUCCESS = 0;
const LONG STATUS_BUFFER_OVERFLOW = static_cast<LONG>(0x80000005);
const LONG STATUS_INVALID_HANDLE = static_cast<LONG>(0xC0000008);
const LONG STATUS_INVALID_PARAMETER = static_cast<LONG>(0xC000000D);
const LONG STATUS_ACCESS_DENIED = static_cast<LONG>(0xC0000022);
const LONG STATUS_CANNOT_DELETE = static_cast<LONG>(0xC0000121);
const LONG STATUS_KEY_DELETED = static_cast<LONG>(0xC000017C);
const int KeyNameInformation = 3;
const size_t MaxKeyNameLength = 255;
// Windows gives up on a chain or loop of links after a bounded number of
// hops; the exact number does not matter here.
const int MaxLinkHops = 16;

struct Value
{
    std::string name;
    DWORD type;
    std::vector<BYTE> data;
};

struct Key : std::enable_shared_from_this<Key>
{
    std::string name;
    Key* parent = nullptr;
    bool deleted = false;
    bool link = false;                          // made with REG_OPTION_CREATE_LINK
    std::vector<std::shared_ptr<Key>> subkeys;  // sorted by CompareNames
    std::vector<Value> values;                  // in creation order
};

struct Fault
{
    int remaining;
    LONG code;
};

}  // namespace

struct HKEY__
{
    std::shared_ptr<Key> key;
    REGSAM access;
};

namespace
{
std::shared_ptr<Key> localMachine;
std::shared_ptr<Key> currentUser;
std::shared_ptr<Key> userClasses;  // reached only through HKCU\Software\Classes
int classesRootCalls = 0;
std::unordered_set<HKEY> openHandles;
std::set<std::string> writeDenied;  // upper-cased full paths
std::map<std::string, Fault> faults;
std::map<std::string, int> callCounts;
long long registryCalls = 0;
std::vector<std::string> deletedKeys;

// The roots' names in the kernel's namespace, which link targets use.
const char* const LocalMachineKernelName = "\\REGISTRY\\MACHINE";
const char* const CurrentUserKernelName = "\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000";
const char* const UserClassesKernelName = "\\REGISTRY\\USER\\S-1-5-21-0-0-0-1000_Classes";

unsigned char Upper(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    return byte >= 'a' && byte <= 'z' ? static_cast<unsigned char>(byte - 'a' + 'A') : byte;
}

int CompareNames(const char* left, size_t leftLength, const char* right, size_t rightLength)
{
    for (size_t i = 0; i < leftLength && i < rightLength; ++i)
    {
        if (Upper(left[i]) != Upper(right[i]))
            return Upper(left[i]) < Upper(right[i]) ? -1 : 1;
    }
    return leftLength == rightLength ? 0 : (leftLength < rightLength ? -1 : 1);
}

bool SameName(const std::string& left, const char* right)
{
    return CompareNames(left.data(), left.size(), right, std::strlen(right)) == 0;
}

std::string FullPath(const Key* key)
{
    if (key->parent == nullptr)
        return key->name;
    return FullPath(key->parent) + "\\" + key->name;
}

std::string UpperCased(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(Upper(c));
    return text;
}

std::string Narrow(LPCWSTR text)
{
    std::string narrow;
    for (; text != nullptr && *text != 0; ++text)
        narrow += *text < 0x80 ? static_cast<char>(*text) : '?';
    return narrow;
}

// Counts the call and reports an injected failure for it, if one is due.
bool InjectedFailure(const char* function, LONG* code)
{
    ++registryCalls;
    ++callCounts[function];
    auto fault = faults.find(function);
    if (fault == faults.end() || --fault->second.remaining != 0)
        return false;
    *code = fault->second.code;
    faults.erase(fault);
    return true;
}

bool IsRoot(HKEY handle)
{
    return handle == HKEY_LOCAL_MACHINE || handle == HKEY_CURRENT_USER;
}

Key* Resolve(HKEY handle)
{
    if (handle == HKEY_CLASSES_ROOT)
    {
        ++classesRootCalls;
        return nullptr;
    }
    if (handle == HKEY_LOCAL_MACHINE)
        return localMachine.get();
    if (handle == HKEY_CURRENT_USER)
        return currentUser.get();
    if (openHandles.count(handle) == 0)
        return nullptr;
    return handle->key.get();
}

// The key behind a handle, if the handle was opened with `needed` access.
LONG Use(HKEY handle, REGSAM needed, Key** key)
{
    *key = Resolve(handle);
    if (*key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (!IsRoot(handle) && (handle->access & needed) != needed)
        return ERROR_ACCESS_DENIED;
    if ((*key)->deleted)
        return ERROR_KEY_DELETED;
    return ERROR_SUCCESS;
}

std::vector<std::shared_ptr<Key>>::iterator LowerBound(Key* parent, const char* name, size_t length)
{
    return std::lower_bound(parent->subkeys.begin(), parent->subkeys.end(), name,
                            [length](const std::shared_ptr<Key>& key, const char* wanted) {
                                return CompareNames(key->name.data(), key->name.size(), wanted, length) < 0;
                            });
}

Key* FindSubkey(Key* parent, const char* name, size_t length)
{
    auto it = LowerBound(parent, name, length);
    if (it == parent->subkeys.end() || CompareNames((*it)->name.data(), (*it)->name.size(), name, length) != 0)
        return nullptr;
    return it->get();
}

Key* AddSubkey(Key* parent, const char* name, size_t length, bool link)
{
    auto child = std::make_shared<Key>();
    child->name.assign(name, length);
    child->parent = parent;
    child->link = link;
    parent->subkeys.insert(LowerBound(parent, name, length), child);
    return child.get();
}

Value* FindValue(Key* key, const char* name)
{
    const char* wanted = name == nullptr ? "" : name;
    for (Value& value : key->values)
    {
        if (SameName(value.name, wanted))
            return &value;
    }
    return nullptr;
}

LONG Walk(Key* start, const char* path, bool create, bool linkItself, int hops, Key** found,
          bool* created = nullptr);

// The key a link points at: its SymbolicLinkValue is a kernel path, UTF-16
// without a terminating NUL. Null for a target that does not exist, and for
// a chain of links too long to follow (a loop among them).
Key* LinkTarget(Key* link, int hops)
{
    const Value* value = FindValue(link, "SymbolicLinkValue");
    if (value == nullptr || value->type != REG_LINK || hops >= MaxLinkHops)
        return nullptr;
    std::string target;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2)
        target += static_cast<char>(value->data[i + 1] == 0 && value->data[i] < 0x80 ? value->data[i] : '?');
    const struct
    {
        const char* kernelName;
        Key* root;
    } roots[] = { { LocalMachineKernelName, localMachine.get() },
                  { CurrentUserKernelName, currentUser.get() },
                  { UserClassesKernelName, userClasses.get() } };
    for (const auto& root : roots)
    {
        size_t length = std::strlen(root.kernelName);
        if (CompareNames(target.data(), std::min(length, target.size()), root.kernelName, length) != 0)
            continue;
        if (target.size() == length)
            return root.root;
        if (target[length] != '\\')
            continue;
        Key* key;
        return Walk(root.root, target.c_str() + length + 1, false, false, hops + 1, &key) == ERROR_SUCCESS ? key
                                                                                                   : nullptr;
    }
    return nullptr;
}

// Walks `path` below `start`, creating missing levels when `create` is set.
// Links on the way are followed; the last level's own link too, unless
// `linkItself` asks for the link.
LONG Walk(Key* start, const char* path, bool create, bool linkItself, int hops, Key** found, bool* created)
{
    const char* cursor = path == nullptr ? "" : path;
    Key* key = start;
    if (*cursor != '\0' && key->link && (key = LinkTarget(key, hops)) == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (*cursor == '\\')
        return ERROR_BAD_PATHNAME;
    while (*cursor != '\0')
    {
        const char* end = std::strchr(cursor, '\\');
        size_t length = end == nullptr ? std::strlen(cursor) : static_cast<size_t>(end - cursor);
        if (length == 0)
            return ERROR_BAD_PATHNAME;
        if (length > MaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        Key* next = FindSubkey(key, cursor, length);
        if (next == nullptr)
        {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            next = AddSubkey(key, cursor, length, false);
            if (created != nullptr)
                *created = true;
        }
        const bool last = end == nullptr;
        cursor = last ? cursor + length : end + 1;
        if (next->link && !(last && linkItself) && (next = LinkTarget(next, hops)) == nullptr)
            return ERROR_FILE_NOT_FOUND;
        key = next;
    }
    *found = key;
    return ERROR_SUCCESS;
}

// A denial holds for the key and everything below it, as an inherited ACL.
bool WriteDenied(const Key* key)
{
    for (const Key* level = key; !writeDenied.empty() && level != nullptr; level = level->parent)
    {
        if (writeDenied.count(UpperCased(FullPath(level))) != 0)
            return true;
    }
    return false;
}

HKEY NewHandle(Key* key, REGSAM access)
{
    HKEY handle = new HKEY__{ key->shared_from_this(), access };
    openHandles.insert(handle);
    return handle;
}

void Unlink(Key* key)
{
    key->deleted = true;
    key->parent->subkeys.erase(LowerBound(key->parent, key->name.data(), key->name.size()));
}

// The key's name in the kernel's namespace, as NtQueryKey reports it.
std::string KernelName(const Key* key)
{
    if (key == localMachine.get())
        return LocalMachineKernelName;
    if (key == currentUser.get())
        return CurrentUserKernelName;
    if (key == userClasses.get())
        return UserClassesKernelName;
    return KernelName(key->parent) + "\\" + key->name;
}

// Copies `text` into an A-call name buffer of `*capacity` bytes: it fits when
// the text and its NUL do; the length out-parameter then excludes the NUL.
LONG CopyName(const std::string& text, LPSTR buffer, LPDWORD capacity)
{
    if (capacity == nullptr || buffer == nullptr)
        return ERROR_INVALID_PARAMETER;
    if (text.size() + 1 > *capacity)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    *capacity = static_cast<DWORD>(text.size());
    return ERROR_SUCCESS;
}

// Data out-parameters: with no buffer only the size is reported; a buffer
// too small gets nothing but the size it needs, with ERROR_MORE_DATA.
LONG CopyData(const Value& value, LPDWORD type, LPBYTE data, LPDWORD size)
{
    if (type != nullptr)
        *type = value.type;
    if (size == nullptr)
        return data == nullptr ? ERROR_SUCCESS : ERROR_INVALID_PARAMETER;
    DWORD needed = static_cast<DWORD>(value.data.size());
    LONG result = ERROR_SUCCESS;
    if (data != nullptr)
    {
        if (needed > *size)
            result = ERROR_MORE_DATA;
        else if (needed != 0)
            std::memcpy(data, value.data.data(), needed);
    }
    *size = needed;
    return result;
}

LONG CreateKey(HKEY hKey, const std::string& subKey, DWORD options, REGSAM access, PHKEY phkResult,
               LPDWORD disposition)
{
    Key* parent;
    LONG status = Use(hKey, KEY_CREATE_SUB_KEY, &parent);
    if (status != ERROR_SUCCESS)
        return status;
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    Key* key;
    bool created = false;
    if (options & REG_OPTION_CREATE_LINK)
    {
        // The levels above are made as ordinary keys; the last one must be new.
        size_t split = subKey.rfind('\\');
        std::string above = split == std::string::npos ? "" : subKey.substr(0, split);
        std::string name = split == std::string::npos ? subKey : subKey.substr(split + 1);
        status = Walk(parent, above.c_str(), true, false, 0, &parent);
        if (status != ERROR_SUCCESS)
            return status;
        if (name.empty() || name.size() > MaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        if (FindSubkey(parent, name.data(), name.size()) != nullptr)
            return ERROR_ALREADY_EXISTS;
        key = AddSubkey(parent, name.data(), name.size(), true);
        created = true;
    }
    else
    {
        status = Walk(parent, subKey.c_str(), true, (options & REG_OPTION_OPEN_LINK) != 0, 0, &key, &created);
        if (status != ERROR_SUCCESS)
            return status;
    }
    *phkResult = NewHandle(key, access);
    if (disposition != nullptr)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG SetValue(HKEY hKey, const std::string& name, DWORD type, const BYTE* data, DWORD size)
{
    Key* key;
    LONG status = Use(hKey, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    // A link holds its target and nothing else.
    if (key->link && (name != "SymbolicLinkValue" || type != REG_LINK))
        return ERROR_ACCESS_DENIED;
    std::vector<BYTE> bytes(data, data + (data == nullptr ? 0 : size));
    // A new value goes last; an existing one keeps its place.
    if (Value* value = FindValue(key, name.c_str()))
    {
        value->type = type;
        value->data = std::move(bytes);
    }
    else
    {
        key->values.push_back(Value{ name, type, std::move(bytes) });
    }
    return ERROR_SUCCESS;
}

#define STAND_IN_ENTRY()                         \
    AllocationCounter::StandInScope standInScope; \
    LONG injected;                               \
    if (InjectedFailure(__func__, &injected))    \
    return injected

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult)
{
    STAND_IN_ENTRY();
    Key* parent;
    LONG status = Use(hKey, 0, &parent);
    if (status != ERROR_SUCCESS)
        return status;
    if (phkResult == nullptr)
        return ERROR_INVALID_PARAMETER;
    Key* key;
    status = Walk(parent, lpSubKey, false, (ulOptions & REG_OPTION_OPEN_LINK) != 0, 0, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if ((samDesired & ~static_cast<REGSAM>(KEY_READ)) != 0 && WriteDenied(key))
        return ERROR_ACCESS_DENIED;
    *phkResult = NewHandle(key, samDesired);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    STAND_IN_ENTRY();
    return CreateKey(hKey, lpSubKey == nullptr ? "" : lpSubKey, dwOptions, samDesired, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    STAND_IN_ENTRY();
    return CreateKey(hKey, Narrow(lpSubKey), dwOptions, samDesired, phkResult, lpdwDisposition);
}

LONG WINAPI RegCloseKey(HKEY hKey)
{
    STAND_IN_ENTRY();
    if (IsRoot(hKey))
        return ERROR_SUCCESS;
    if (openHandles.erase(hKey) == 0)
        return ERROR_INVALID_HANDLE;
    delete hKey;
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime)
{
    STAND_IN_ENTRY();
    Key* key;
    LONG status = Use(hKey, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (lpClass != nullptr && lpcchClass != nullptr && *lpcchClass != 0)
        lpClass[0] = '\0';
    if (lpcchClass != nullptr)
        *lpcchClass = 0;
    DWORD maxSubkey = 0, maxValueName = 0, maxValue = 0;
    for (auto& subkey : key->subkeys)
        maxSubkey = std::max(maxSubkey, static_cast<DWORD>(subkey->name.size()));
    for (auto& value : key->values)
    {
        maxValueName = std::max(maxValueName, static_cast<DWORD>(value.name.size()));
        maxValue = std::max(maxValue, static_cast<DWORD>(value.data.size()));
    }
    if (lpcSubKeys != nullptr)
        *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
    if (lpcbMaxSubKeyLen != nullptr)
        *lpcbMaxSubKeyLen = maxSubkey;
    if (lpcbMaxClassLen != nullptr)
        *lpcbMaxClassLen = 0;
    if (lpcValues != nullptr)
        *lpcValues = static_cast<DWORD>(key->values.size());
    if (lpcbMaxValueNameLen != nullptr)
        *lpcbMaxValueNameLen = maxValueName;
    if (lpcbMaxValueLen != nullptr)
        *lpcbMaxValueLen = maxValue;
    if (lpcbSecurityDescriptor != nullptr)
        *lpcbSecurityDescriptor = 0;
    if (lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{ 0, 0 };
    return ERROR_SUCCESS;
}

namespace
{
LONG EnumKey(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, PFILETIME lpftLastWriteTime)
{
    Key* key;
    LONG status = Use(hKey, KEY_ENUMERATE_SUB_KEYS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (dwIndex >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    status = CopyName(key->subkeys[dwIndex]->name, lpName, lpcchName);
    if (status == ERROR_SUCCESS && lpftLastWriteTime != nullptr)
        *lpftLastWriteTime = FILETIME{ 0, 0 };
    return status;
}
}  // namespace

LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                          LPDWORD lpcchClass, PFILETIME lpftLastWriteTime)
{
    STAND_IN_ENTRY();
    LONG status = EnumKey(hKey, dwIndex, lpName, lpcchName, lpftLastWriteTime);
    if (status == ERROR_SUCCESS && lpClass != nullptr && lpcchClass != nullptr && *lpcchClass != 0)
    {
        lpClass[0] = '\0';
        *lpcchClass = 0;
    }
    return status;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName)
{
    STAND_IN_ENTRY();
    return EnumKey(hKey, dwIndex, lpName, &cchName, nullptr);
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    STAND_IN_ENTRY();
    Key* key;
    LONG status = Use(hKey, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (dwIndex >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& value = key->values[dwIndex];
    LONG nameStatus = CopyName(value.name, lpValueName, lpcchValueName);
    if (nameStatus != ERROR_SUCCESS)
        return nameStatus;
    return CopyData(value, lpType, lpData, lpcbData);
}

// The handle's own access does not matter: the key is opened anew, and a
// link on the way, the last level's included, is followed.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    STAND_IN_ENTRY();
    Key* parent;
    LONG status = Use(hKey, 0, &parent);
    if (status != ERROR_SUCCESS)
        return status;
    if (lpSubKey == nullptr)
        return ERROR_INVALID_PARAMETER;
    Key* key;
    status = Walk(parent, lpSubKey, false, false, 0, &key);
    if (status != ERROR_SUCCESS)
        return status;
    // Roots cannot go, nor can a key that still has subkeys.
    if (key->parent == nullptr || !key->subkeys.empty() || WriteDenied(key))
        return ERROR_ACCESS_DENIED;
    deletedKeys.push_back(FullPath(key));
    Unlink(key);
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    STAND_IN_ENTRY();
    Key* key;
    LONG status = Use(hKey, KEY_SET_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    Value* value = FindValue(key, lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    STAND_IN_ENTRY();
    return SetValue(hKey, lpValueName == nullptr ? "" : lpValueName, dwType, lpData, cbData);
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    STAND_IN_ENTRY();
    return SetValue(hKey, Narrow(lpValueName), dwType, lpData, cbData);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    STAND_IN_ENTRY();
    Key* key;
    LONG status = Use(hKey, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    const Value* value = FindValue(key, lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return CopyData(*value, lpType, lpData, lpcbData);
}

// The key behind the handle goes, a link as itself.
extern "C" LONG WINAPI NtDeleteKey(HANDLE KeyHandle)
{
    STAND_IN_ENTRY();
    HKEY handle = static_cast<HKEY>(KeyHandle);
    Key* key;
    switch (Use(handle, DELETE, &key))
    {
    case ERROR_SUCCESS:
        break;
    case ERROR_ACCESS_DENIED:
        return STATUS_ACCESS_DENIED;
    case ERROR_KEY_DELETED:
        return STATUS_KEY_DELETED;
    default:
        return STATUS_INVALID_HANDLE;
    }
    if (key->parent == nullptr || WriteDenied(key))
        return STATUS_ACCESS_DENIED;
    if (!key->subkeys.empty())
        return STATUS_CANNOT_DELETE;
    deletedKeys.push_back(FullPath(key));
    Unlink(key);
    return STATUS_SUCCESS;
}

// Only KeyNameInformation: the length in bytes, then the UTF-16 name.
extern "C" LONG WINAPI NtQueryKey(HANDLE KeyHandle, int KeyInformationClass, PVOID KeyInformation, ULONG Length,
                                  PULONG ResultLength)
{
    STAND_IN_ENTRY();
    Key* key;
    if (Use(static_cast<HKEY>(KeyHandle), 0, &key) != ERROR_SUCCESS)
        return STATUS_INVALID_HANDLE;
    if (KeyInformationClass != KeyNameInformation || ResultLength == nullptr)
        return STATUS_INVALID_PARAMETER;
    const std::string name = KernelName(key);
    const ULONG nameBytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
    *ResultLength = sizeof(ULONG) + nameBytes;
    if (Length < *ResultLength)
        return STATUS_BUFFER_OVERFLOW;
    BYTE* out = static_cast<BYTE*>(KeyInformation);
    std::memcpy(out, &nameBytes, sizeof nameBytes);
    for (size_t i = 0; i < name.size(); ++i)
    {
        WCHAR c = static_cast<unsigned char>(name[i]);
        std::memcpy(out + sizeof(ULONG) + i * sizeof c, &c, sizeof c);
    }
    return STATUS_SUCCESS;
}

extern "C" ULONG WINAPI RtlNtStatusToDosError(LONG status)
{
    switch (status)
    {
    case STATUS_SUCCESS:
        return ERROR_SUCCESS;
    case STATUS_ACCESS_DENIED:
    case STATUS_CANNOT_DELETE:
        return ERROR_ACCESS_DENIED;
    case STATUS_KEY_DELETED:
        return ERROR_KEY_DELETED;
    case STATUS_INVALID_HANDLE:
        return ERROR_INVALID_HANDLE;
    case STATUS_INVALID_PARAMETER:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_MR_MID_NOT_FOUND;  // what Windows answers for a status it has no code for
    }
}

namespace StandIn
{
void ResetRegistry()
{
    AllocationCounter::StandInScope scope;
    for (HKEY handle : openHandles)
        delete handle;
    openHandles.clear();
    localMachine = std::make_shared<Key>();
    localMachine->name = "HKLM";
    AddSubkey(AddSubkey(localMachine.get(), "SOFTWARE", 8, false), "Classes", 7, false);
    currentUser = std::make_shared<Key>();
    currentUser->name = "HKCU";
    // Named as it is reached, so that its keys' full paths read naturally.
    userClasses = std::make_shared<Key>();
    userClasses->name = "HKCU\\Software\\Classes";
    Key* link = AddSubkey(AddSubkey(currentUser.get(), "Software", 8, false), "Classes", 7, true);
    std::vector<BYTE> target;
    for (const char* c = UserClassesKernelName; *c != '\0'; ++c)
        target.insert(target.end(), { static_cast<BYTE>(*c), 0 });
    link->values.push_back(Value{ "SymbolicLinkValue", REG_LINK, target });
    classesRootCalls = 0;
    writeDenied.clear();
    faults.clear();
    callCounts.clear();
    registryCalls = 0;
    deletedKeys.clear();
}

int OpenHandleCount()
{
    return static_cast<int>(openHandles.size());
}

void DenyWriteAccess(HKEY root, const char* path)
{
    writeDenied.insert(UpperCased(std::string(root == HKEY_LOCAL_MACHINE ? "HKLM\\" : "HKCU\\") + path));
}

int ClassesRootCallCount()
{
    return classesRootCalls;
}

void FailCall(const char* function, int nth, LONG code)
{
    faults[function] = Fault{ nth, code };
}

int CallCount(const char* function)
{
    auto it = callCounts.find(function);
    return it == callCounts.end() ? 0 : it->second;
}

long long RegistryCallCount()
{
    return registryCalls;
}

const std::vector<std::string>& DeletedKeys()
{
    return deletedKeys;
}
}  // namespace StandIn
