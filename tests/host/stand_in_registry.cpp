// In-memory registry behaving as Windows does on the points the program
// relies on: case-insensitive names stored with their case, of at most 255
// characters, a key's stable subkeys listed before its volatile ones, each
// in case-insensitive order (folded to upper case, as Windows folds), values
// listed in creation order, the A calls' buffer-length rules, the access a
// handle was opened with, and symbolic links. The two class stores are there
// as Windows has them since Windows 2000:
// HKLM\SOFTWARE\Classes, and HKCU\Software\Classes as a link into the
// user's own classes hive. HKEY_CLASSES_ROOT, Windows' merged view of the
// two, is not modelled: a call naming it is refused and counted.
//
// Names are counted, as the kernel keeps them: the native calls may give a
// key or value a name that holds NUL or characters outside the ANSI code
// page. They are kept here in UTF-8; the A calls take their bytes as Latin-1
// and give a name back cut at its first NUL with its full length, with a
// character outside that code page as its best fit in code page 1252 where
// the stand-in knows one, else as '?'.
#include <windows.h>

#include "../../common/ntdll.h"
#include "../support/native_names.h"
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
const LONG STATUS_OBJECT_NAME_NOT_FOUND = static_cast<LONG>(0xC0000034);
const LONG STATUS_OBJECT_PATH_SYNTAX_BAD = static_cast<LONG>(0xC000003B);
const ULONG OBJ_OPENLINK = 0x100;
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
    bool isVolatile = false;                    // made with REG_OPTION_VOLATILE
    std::vector<std::shared_ptr<Key>> subkeys;  // stable, then volatile; each sorted by CompareNames
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

bool SameName(const std::string& left, const std::string& right)
{
    return CompareNames(left.data(), left.size(), right.data(), right.size()) == 0;
}

void AppendUtf8(std::string* text, unsigned codePoint)
{
    if (codePoint < 0x80)
    {
        *text += static_cast<char>(codePoint);
    }
    else if (codePoint < 0x800)
    {
        *text += static_cast<char>(0xC0 | (codePoint >> 6));
        *text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
    else
    {
        *text += static_cast<char>(0xE0 | (codePoint >> 12));
        *text += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        *text += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

// The UTF-16 units of a name (each surrogate on its own, which is enough here).
std::vector<unsigned> CodeUnits(const std::string& name)
{
    std::vector<unsigned> units;
    for (size_t i = 0; i < name.size();)
    {
        const unsigned char lead = static_cast<unsigned char>(name[i]);
        const size_t extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : 2;
        unsigned unit = extra == 0 ? lead : lead & (extra == 1 ? 0x1F : 0x0F);
        for (size_t k = 1; k <= extra && i + k < name.size(); ++k)
            unit = (unit << 6) | (static_cast<unsigned char>(name[i + k]) & 0x3F);
        units.push_back(unit);
        i += extra + 1;
    }
    return units;
}

std::string FromAnsi(const char* text)
{
    std::string name;
    for (; text != nullptr && *text != '\0'; ++text)
        AppendUtf8(&name, static_cast<unsigned char>(*text));
    return name;
}

std::string FromWide(const WCHAR* text, size_t length)
{
    std::string name;
    for (size_t i = 0; i < length; ++i)
        AppendUtf8(&name, text[i]);
    return name;
}

std::string FromWide(LPCWSTR text)
{
    size_t length = 0;
    while (text != nullptr && text[length] != 0)
        ++length;
    return FromWide(text, length);
}

// Windows' best fit in code page 1252 (its published WindowsBestFit table)
// for the characters the tests use: the fullwidth forms of ASCII, DIVISION
// SLASH and SET MINUS. Anything else the code page lacks is '?'.
char BestFit(unsigned unit)
{
    if (unit >= 0xFF01 && unit <= 0xFF5E)
        return static_cast<char>(unit - 0xFF01 + 0x21);
    if (unit == 0x2215)
        return '/';
    if (unit == 0x2216)
        return '\\';
    return '?';
}

// As an A call gives the name back; its length is the whole name's.
std::string ToAnsi(const std::string& name)
{
    std::string text;
    for (unsigned unit : CodeUnits(name))
        text += unit <= 0xFF ? static_cast<char>(unit) : BestFit(unit);
    return text;
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

// Where `name` stands, or would, among the parent's stable or volatile
// subkeys. Windows keeps the two in lists of their own, and enumerates the
// stable list first (ReactOS's cmlib, CmpFindSubKeyByNumber, as the hive
// format has it); Wine keeps one list.
std::vector<std::shared_ptr<Key>>::iterator LowerBound(Key* parent, const char* name, size_t length,
                                                       bool isVolatile)
{
    return std::lower_bound(parent->subkeys.begin(), parent->subkeys.end(), name,
                            [length, isVolatile](const std::shared_ptr<Key>& key, const char* wanted) {
                                if (key->isVolatile != isVolatile)
                                    return !key->isVolatile;
                                return CompareNames(key->name.data(), key->name.size(), wanted, length) < 0;
                            });
}

Key* FindSubkey(Key* parent, const char* name, size_t length)
{
    for (bool isVolatile : { false, true })
    {
        auto it = LowerBound(parent, name, length, isVolatile);
        if (it != parent->subkeys.end() && (*it)->isVolatile == isVolatile &&
            CompareNames((*it)->name.data(), (*it)->name.size(), name, length) == 0)
            return it->get();
    }
    return nullptr;
}

Key* AddSubkey(Key* parent, const char* name, size_t length, bool link, bool isVolatile = false)
{
    auto child = std::make_shared<Key>();
    child->name.assign(name, length);
    child->parent = parent;
    child->link = link;
    child->isVolatile = isVolatile;
    parent->subkeys.insert(LowerBound(parent, name, length, isVolatile), child);
    return child.get();
}

Value* FindValue(Key* key, const std::string& name)
{
    for (Value& value : key->values)
    {
        if (SameName(value.name, name))
            return &value;
    }
    return nullptr;
}

LONG Walk(Key* start, const std::string& path, bool create, bool linkItself, int hops, Key** found,
          bool* created = nullptr, bool isVolatile = false);

// The key a link points at: its SymbolicLinkValue is a kernel path, UTF-16
// without a terminating NUL. Null for a target that does not exist, and for
// a chain of links too long to follow (a loop among them).
Key* LinkTarget(Key* link, int hops)
{
    const Value* value = FindValue(link, "SymbolicLinkValue");
    if (value == nullptr || value->type != REG_LINK || hops >= MaxLinkHops)
        return nullptr;
    std::vector<WCHAR> units;
    for (size_t i = 0; i + 1 < value->data.size(); i += 2)
        units.push_back(static_cast<WCHAR>(value->data[i] | value->data[i + 1] << 8));
    const std::string target = FromWide(units.data(), units.size());
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
        return Walk(root.root, target.substr(length + 1), false, false, hops + 1, &key) == ERROR_SUCCESS ? key
                                                                                                 : nullptr;
    }
    return nullptr;
}

// Walks `path` below `start`, creating missing levels when `create` is set
// (volatile ones with `isVolatile`; below a volatile key, only those).
// Links on the way are followed; the last level's own link too, unless
// `linkItself` asks for the link.
LONG Walk(Key* start, const std::string& path, bool create, bool linkItself, int hops, Key** found, bool* created,
          bool isVolatile)
{
    Key* key = start;
    if (!path.empty() && key->link && (key = LinkTarget(key, hops)) == nullptr)
        return ERROR_FILE_NOT_FOUND;
    if (!path.empty() && path[0] == '\\')
        return ERROR_BAD_PATHNAME;
    // An empty path is the key itself.
    size_t cursor = 0;
    while (cursor < path.size())
    {
        const size_t end = path.find('\\', cursor);
        const bool last = end == std::string::npos;
        const std::string level = path.substr(cursor, last ? std::string::npos : end - cursor);
        if (level.empty())
            return ERROR_BAD_PATHNAME;
        if (CodeUnits(level).size() > MaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        Key* next = FindSubkey(key, level.data(), level.size());
        if (next == nullptr)
        {
            if (!create)
                return ERROR_FILE_NOT_FOUND;
            if (key->isVolatile && !isVolatile)
                return ERROR_CHILD_MUST_BE_VOLATILE;
            next = AddSubkey(key, level.data(), level.size(), false, isVolatile);
            if (created != nullptr)
                *created = true;
        }
        cursor = last ? path.size() : end + 1;
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
    key->parent->subkeys.erase(LowerBound(key->parent, key->name.data(), key->name.size(), key->isVolatile));
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
    const std::string ansi = ToAnsi(text);
    if (ansi.size() + 1 > *capacity)
        return ERROR_MORE_DATA;
    std::memcpy(buffer, ansi.c_str(), ansi.size() + 1);
    *capacity = static_cast<DWORD>(ansi.size());
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
    const bool isVolatile = (options & REG_OPTION_VOLATILE) != 0;
    if (options & REG_OPTION_CREATE_LINK)
    {
        // The levels above are made as ordinary keys; the last one must be new.
        size_t split = subKey.rfind('\\');
        std::string above = split == std::string::npos ? "" : subKey.substr(0, split);
        std::string name = split == std::string::npos ? subKey : subKey.substr(split + 1);
        status = Walk(parent, above, true, false, 0, &parent, nullptr, isVolatile);
        if (status != ERROR_SUCCESS)
            return status;
        if (name.empty() || CodeUnits(name).size() > MaxKeyNameLength)
            return ERROR_INVALID_PARAMETER;
        if (FindSubkey(parent, name.data(), name.size()) != nullptr)
            return ERROR_ALREADY_EXISTS;
        if (parent->isVolatile && !isVolatile)
            return ERROR_CHILD_MUST_BE_VOLATILE;
        key = AddSubkey(parent, name.data(), name.size(), true, isVolatile);
        created = true;
    }
    else
    {
        status = Walk(parent, subKey, true, (options & REG_OPTION_OPEN_LINK) != 0, 0, &key, &created, isVolatile);
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
    if (Value* value = FindValue(key, name))
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

LONG OpenKey(HKEY hKey, const std::string& path, bool linkItself, REGSAM access, PHKEY result)
{
    Key* parent;
    LONG status = Use(hKey, 0, &parent);
    if (status != ERROR_SUCCESS)
        return status;
    if (result == nullptr)
        return ERROR_INVALID_PARAMETER;
    Key* key;
    status = Walk(parent, path, false, linkItself, 0, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if ((access & ~static_cast<REGSAM>(KEY_READ)) != 0 && WriteDenied(key))
        return ERROR_ACCESS_DENIED;
    *result = NewHandle(key, access);
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
    return OpenKey(hKey, FromAnsi(lpSubKey), (ulOptions & REG_OPTION_OPEN_LINK) != 0, samDesired, phkResult);
}

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    STAND_IN_ENTRY();
    return CreateKey(hKey, FromAnsi(lpSubKey), dwOptions, samDesired, phkResult, lpdwDisposition);
}

LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPSTR, DWORD dwOptions, REGSAM samDesired,
                            LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition)
{
    STAND_IN_ENTRY();
    return CreateKey(hKey, FromWide(lpSubKey), dwOptions, samDesired, phkResult, lpdwDisposition);
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
// The subkey at `index` of the key behind `handle`.
LONG SubkeyAt(HKEY handle, DWORD index, const Key** subkey)
{
    Key* key;
    LONG status = Use(handle, KEY_ENUMERATE_SUB_KEYS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    if (index >= key->subkeys.size())
        return ERROR_NO_MORE_ITEMS;
    *subkey = key->subkeys[index].get();
    return ERROR_SUCCESS;
}

LONG EnumKey(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, PFILETIME lpftLastWriteTime)
{
    const Key* subkey;
    LONG status = SubkeyAt(hKey, dwIndex, &subkey);
    if (status != ERROR_SUCCESS)
        return status;
    status = CopyName(subkey->name, lpName, lpcchName);
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
    status = Walk(parent, FromAnsi(lpSubKey), false, false, 0, &key);
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
    Value* value = FindValue(key, FromAnsi(lpValueName));
    if (value == nullptr)
        return ERROR_FILE_NOT_FOUND;
    key->values.erase(key->values.begin() + (value - key->values.data()));
    return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    STAND_IN_ENTRY();
    return SetValue(hKey, FromAnsi(lpValueName), dwType, lpData, cbData);
}

// String data written through the W or native calls is UTF-16; the A calls
// read it back in the code page, '?' standing for what it lacks. Other data
// (a link's target among it) is kept as it came.
static std::vector<BYTE> DataAsAnsiReadsIt(DWORD type, const BYTE* data, DWORD size)
{
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return std::vector<BYTE>(data, data + (data == nullptr ? 0 : size));
    std::vector<WCHAR> units(size / sizeof(WCHAR));
    if (!units.empty())
        std::memcpy(units.data(), data, units.size() * sizeof(WCHAR));
    const std::string text = ToAnsi(FromWide(units.data(), units.size()));
    return std::vector<BYTE>(text.begin(), text.end());
}

LONG WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    STAND_IN_ENTRY();
    const std::vector<BYTE> data = DataAsAnsiReadsIt(dwType, lpData, cbData);
    return SetValue(hKey, FromWide(lpValueName), dwType, data.data(), static_cast<DWORD>(data.size()));
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                             LPDWORD lpcbData)
{
    STAND_IN_ENTRY();
    Key* key;
    LONG status = Use(hKey, KEY_QUERY_VALUE, &key);
    if (status != ERROR_SUCCESS)
        return status;
    const Value* value = FindValue(key, FromAnsi(lpValueName));
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

namespace
{
LONG ToNtStatus(LONG error)
{
    switch (error)
    {
    case ERROR_SUCCESS:
        return STATUS_SUCCESS;
    case ERROR_FILE_NOT_FOUND:
        return STATUS_OBJECT_NAME_NOT_FOUND;
    case ERROR_BAD_PATHNAME:
        return STATUS_OBJECT_PATH_SYNTAX_BAD;
    case ERROR_ACCESS_DENIED:
        return STATUS_ACCESS_DENIED;
    case ERROR_KEY_DELETED:
        return STATUS_KEY_DELETED;
    case ERROR_INVALID_HANDLE:
        return STATUS_INVALID_HANDLE;
    default:
        return STATUS_INVALID_PARAMETER;
    }
}

std::string CountedToName(const CountedName* name)
{
    return name == nullptr ? std::string() : FromWide(name->Buffer, name->Length / sizeof(WCHAR));
}

// The native calls take a kernel handle: a predefined key is none.
bool NativeRoot(const NameAttributes* attributes, HKEY* root)
{
    if (attributes == nullptr)
        return false;
    *root = static_cast<HKEY>(attributes->RootDirectory);
    return !IsRoot(*root) && *root != HKEY_CLASSES_ROOT;
}
}  // namespace

extern "C" LONG WINAPI NtCreateKey(HANDLE* key, ULONG access, NameAttributes* attributes, ULONG, CountedName*,
                                   ULONG, ULONG* disposition)
{
    STAND_IN_ENTRY();
    HKEY root;
    if (key == nullptr || !NativeRoot(attributes, &root))
        return STATUS_INVALID_HANDLE;
    HKEY created;
    DWORD how = 0;
    const DWORD options = (attributes->Attributes & OBJ_OPENLINK) != 0 ? REG_OPTION_OPEN_LINK : 0;
    LONG status = CreateKey(root, CountedToName(attributes->ObjectName), options, access, &created, &how);
    if (status != ERROR_SUCCESS)
        return ToNtStatus(status);
    *key = created;
    if (disposition != nullptr)
        *disposition = how;
    return STATUS_SUCCESS;
}

extern "C" LONG WINAPI NtOpenKey(HANDLE* key, ULONG access, NameAttributes* attributes)
{
    STAND_IN_ENTRY();
    HKEY root;
    if (key == nullptr || !NativeRoot(attributes, &root))
        return STATUS_INVALID_HANDLE;
    HKEY opened;
    LONG status = OpenKey(root, CountedToName(attributes->ObjectName), (attributes->Attributes & OBJ_OPENLINK) != 0,
                          access, &opened);
    if (status != ERROR_SUCCESS)
        return ToNtStatus(status);
    *key = opened;
    return STATUS_SUCCESS;
}

extern "C" LONG WINAPI NtSetValueKey(HANDLE key, CountedName* name, ULONG, ULONG type, void* data, ULONG size)
{
    STAND_IN_ENTRY();
    HKEY handle = static_cast<HKEY>(key);
    if (IsRoot(handle))
        return STATUS_INVALID_HANDLE;
    const std::vector<BYTE> text = DataAsAnsiReadsIt(type, static_cast<const BYTE*>(data), size);
    return ToNtStatus(SetValue(handle, CountedToName(name), type, text.data(), static_cast<DWORD>(text.size())));
}

// The whole name, NULs and all, as the W calls give it.
LONG WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR, LPDWORD,
                          PFILETIME)
{
    STAND_IN_ENTRY();
    const Key* subkey;
    LONG status = SubkeyAt(hKey, dwIndex, &subkey);
    if (status != ERROR_SUCCESS)
        return status;
    if (lpName == nullptr || lpcchName == nullptr)
        return ERROR_INVALID_PARAMETER;
    const std::vector<unsigned> units = CodeUnits(subkey->name);
    if (units.size() + 1 > *lpcchName)
        return ERROR_MORE_DATA;
    for (size_t i = 0; i < units.size(); ++i)
        lpName[i] = static_cast<WCHAR>(units[i]);
    lpName[units.size()] = 0;
    *lpcchName = static_cast<DWORD>(units.size());
    return ERROR_SUCCESS;
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
    const std::vector<unsigned> name = CodeUnits(KernelName(key));
    const ULONG nameBytes = static_cast<ULONG>(name.size() * sizeof(WCHAR));
    *ResultLength = sizeof(ULONG) + nameBytes;
    if (Length < *ResultLength)
        return STATUS_BUFFER_OVERFLOW;
    BYTE* out = static_cast<BYTE*>(KeyInformation);
    std::memcpy(out, &nameBytes, sizeof nameBytes);
    for (size_t i = 0; i < name.size(); ++i)
    {
        WCHAR c = static_cast<WCHAR>(name[i]);
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
    case STATUS_OBJECT_NAME_NOT_FOUND:
        return ERROR_FILE_NOT_FOUND;
    case STATUS_OBJECT_PATH_SYNTAX_BAD:
        return ERROR_BAD_PATHNAME;
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
