// In-memory registry behaving as Windows does on the points the program
// relies on: case-insensitive names stored with their case, subkeys listed
// in case-insensitive order (folded to upper case, as Windows folds),
// values listed in creation order, and the A calls' buffer-length rules.
#include <windows.h>

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
};

namespace
{
std::shared_ptr<Key> classesRoot;
std::shared_ptr<Key> currentUser;
std::unordered_set<HKEY> openHandles;
std::set<std::string> writeDenied;  // upper-cased full paths
std::map<std::string, Fault> faults;
std::map<std::string, int> callCounts;
long long registryCalls = 0;
std::vector<std::string> deletedKeys;

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

Key* Resolve(HKEY handle)
{
    if (handle == HKEY_CLASSES_ROOT)
        return classesRoot.get();
    if (handle == HKEY_CURRENT_USER)
        return currentUser.get();
    if (openHandles.count(handle) == 0)
        return nullptr;
    return handle->key.get();
}

bool IsRoot(HKEY handle)
{
    return handle == HKEY_CLASSES_ROOT || handle == HKEY_CURRENT_USER;
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

// Walks `path` below `start`; creates missing levels when `create` is set.
LONG Walk(Key* start, const char* path, bool create, Key** found, bool* created)
{
    Key* key = start;
    const char* cursor = path == nullptr ? "" : path;
    if (*cursor == '\\')
        return ERROR_BAD_PATHNAME;
    while (*cursor != '\0')
    {
        const char* end = std::strchr(cursor, '\\');
        size_t length = end == nullptr ? std::strlen(cursor) : static_cast<size_t>(end - cursor);
        if (length == 0)
            return ERROR_BAD_PATHNAME;
        Key* next = FindSubkey(key, cursor, length);
        if (next == nullptr)
        {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            auto child = std::make_shared<Key>();
            child->name.assign(cursor, length);
            child->parent = key;
            next = child.get();
            key->subkeys.insert(LowerBound(key, cursor, length), child);
            if (created != nullptr)
                *created = true;
        }
        key = next;
        cursor = end == nullptr ? cursor + length : end + 1;
    }
    *found = key;
    return ERROR_SUCCESS;
}

bool WriteDenied(const Key* key)
{
    return !writeDenied.empty() && writeDenied.count(UpperCased(FullPath(key))) != 0;
}

HKEY NewHandle(Key* key)
{
    HKEY handle = new HKEY__{ key->shared_from_this() };
    openHandles.insert(handle);
    return handle;
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

void MarkDeleted(Key* key)
{
    key->deleted = true;
    for (auto& subkey : key->subkeys)
        MarkDeleted(subkey.get());
}

void Unlink(Key* key)
{
    key->parent->subkeys.erase(LowerBound(key->parent, key->name.data(), key->name.size()));
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

#define STAND_IN_ENTRY()                         \
    AllocationCounter::StandInScope standInScope; \
    LONG injected;                               \
    if (InjectedFailure(__func__, &injected))    \
    return injected

}  // namespace

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    STAND_IN_ENTRY();
    Key* parent = Resolve(hKey);
    if (parent == nullptr || phkResult == nullptr)
        return ERROR_INVALID_HANDLE;
    if (parent->deleted)
        return ERROR_KEY_DELETED;
    Key* key;
    LONG status = Walk(parent, lpSubKey, false, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if ((samDesired & ~static_cast<REGSAM>(KEY_READ)) != 0 && WriteDenied(key))
        return ERROR_ACCESS_DENIED;
    *phkResult = NewHandle(key);
    return ERROR_SUCCESS;
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                            PHKEY phkResult, LPDWORD lpdwDisposition)
{
    STAND_IN_ENTRY();
    Key* parent = Resolve(hKey);
    if (parent == nullptr || phkResult == nullptr)
        return ERROR_INVALID_HANDLE;
    if (parent->deleted)
        return ERROR_KEY_DELETED;
    Key* key;
    bool created = false;
    LONG status = Walk(parent, lpSubKey, true, &key, &created);
    if (status != ERROR_SUCCESS)
        return status;
    *phkResult = NewHandle(key);
    if (lpdwDisposition != nullptr)
        *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
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
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
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
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    if (dwIndex >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    LONG status = CopyName(key->subkeys[dwIndex]->name, lpName, lpcchName);
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
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    if (dwIndex >= key->values.size())
        return ERROR_NO_MORE_ITEMS;
    const Value& value = key->values[dwIndex];
    LONG nameStatus = CopyName(value.name, lpValueName, lpcchValueName);
    if (nameStatus != ERROR_SUCCESS)
        return nameStatus;
    return CopyData(value, lpType, lpData, lpcbData);
}

LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    STAND_IN_ENTRY();
    Key* parent = Resolve(hKey);
    if (parent == nullptr || lpSubKey == nullptr)
        return ERROR_INVALID_HANDLE;
    if (parent->deleted)
        return ERROR_KEY_DELETED;
    Key* key;
    LONG status = Walk(parent, lpSubKey, false, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    // Roots cannot go, nor can a key that still has subkeys.
    if (key->parent == nullptr || !key->subkeys.empty() || WriteDenied(key))
        return ERROR_ACCESS_DENIED;
    deletedKeys.push_back(FullPath(key));
    key->deleted = true;
    Unlink(key);
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    STAND_IN_ENTRY();
    Key* parent = Resolve(hKey);
    if (parent == nullptr)
        return ERROR_INVALID_HANDLE;
    Key* key;
    LONG status = Walk(parent, lpSubKey, false, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    // With no subkey named, the key stays and loses its contents.
    for (auto& subkey : key->subkeys)
        MarkDeleted(subkey.get());
    key->subkeys.clear();
    key->values.clear();
    if (lpSubKey != nullptr && *lpSubKey != '\0' && key->parent != nullptr)
    {
        key->deleted = true;
        Unlink(key);
    }
    return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    STAND_IN_ENTRY();
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    Value* value = FindValue(key, lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    STAND_IN_ENTRY();
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    std::vector<BYTE> data(lpData, lpData + (lpData == nullptr ? 0 : cbData));
    // A new value goes last; an existing one keeps its place.
    if (Value* value = FindValue(key, lpValueName))
    {
        value->type = dwType;
        value->data = std::move(data);
    }
    else
    {
        key->values.push_back(Value{ lpValueName == nullptr ? "" : lpValueName, dwType, std::move(data) });
    }
    return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    STAND_IN_ENTRY();
    Key* key = Resolve(hKey);
    if (key == nullptr)
        return ERROR_INVALID_HANDLE;
    if (key->deleted)
        return ERROR_KEY_DELETED;
    const Value* value = FindValue(key, lpValueName);
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    return CopyData(*value, lpType, lpData, lpcbData);
}

namespace StandIn
{
void ResetRegistry()
{
    AllocationCounter::StandInScope scope;
    for (HKEY handle : openHandles)
        delete handle;
    openHandles.clear();
    classesRoot = std::make_shared<Key>();
    classesRoot->name = "HKCR";
    currentUser = std::make_shared<Key>();
    currentUser->name = "HKCU";
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
    writeDenied.insert(UpperCased(std::string(root == HKEY_CLASSES_ROOT ? "HKCR\\" : "HKCU\\") + path));
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
