#include "registry_links.h"

#include "../../common/ntdll.h"
#include "native_names.h"

#include <cstring>
#include <vector>

namespace
{
const int KeyNameInformation = 3;

std::basic_string<WCHAR> Wide(const std::string& text)
{
    return std::basic_string<WCHAR>(text.begin(), text.end());
}

// NtQueryKey's name of the key or link at root\path.
bool QueryKernelName(HKEY root, const std::string& path, std::string* name)
{
    HKEY key;
    if (path.empty() || RegOpenKeyExA(root, path.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    BYTE buffer[4096];
    ULONG length = 0;
    LONG status = NtQueryKey(key, KeyNameInformation, buffer, sizeof buffer, &length);
    RegCloseKey(key);
    if (status != 0)
        return false;
    ULONG bytes;
    std::memcpy(&bytes, buffer, sizeof bytes);
    name->clear();
    for (ULONG i = 0; i < bytes / sizeof(WCHAR); ++i)
    {
        WCHAR c;
        std::memcpy(&c, buffer + sizeof bytes + i * sizeof c, sizeof c);
        *name += static_cast<char>(c);
    }
    return true;
}
}  // namespace

std::string KernelPath(HKEY root, const char* path)
{
    std::string name;
    if (QueryKernelName(root, path, &name))
        return name;
    const std::string text = path;
    const size_t split = text.rfind('\\');
    if (split == std::string::npos || !QueryKernelName(root, text.substr(0, split), &name))
        return "";
    return name + text.substr(split);
}

LONG CreateRegistryLink(HKEY root, const char* path, const std::string& target, DWORD options)
{
    HKEY link;
    LONG status = RegCreateKeyExW(root, Wide(path).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK | options,
                                  KEY_ALL_ACCESS, nullptr, &link, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    // The target without a terminating NUL: with one, it leads nowhere.
    const std::basic_string<WCHAR> wideTarget = Wide(target);
    status = RegSetValueExW(link, Wide("SymbolicLinkValue").c_str(), 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(wideTarget.data()),
                            static_cast<DWORD>(wideTarget.size() * sizeof(WCHAR)));
    RegCloseKey(link);
    return status;
}

namespace
{
// Subkeys are opened by their whole names, as the W calls give them: a name
// that holds NUL reads back cut through the A calls, and an empty cut name
// would open the key itself again.
void DeleteOpenKeyTree(HKEY key)
{
    std::vector<WideName> names;
    for (DWORD index = 0;; ++index)
    {
        WCHAR name[512];
        DWORD nameLength = sizeof name / sizeof name[0];
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(WideName(name, nameLength));
    }
    for (const WideName& name : names)
    {
        HKEY subkey;
        if (OpenKeyByCountedName(key, name, KEY_ALL_ACCESS, &subkey) == ERROR_SUCCESS)
            DeleteOpenKeyTree(subkey);
    }
    NtDeleteKey(key);
    RegCloseKey(key);
}
}  // namespace

void DeleteTreeSparingLinkTargets(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        DeleteOpenKeyTree(key);
}

void DeleteSubkeyTreeSparingLinkTargets(HKEY parent, const WideName& name)
{
    HKEY key;
    if (OpenKeyByCountedName(parent, name, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS)
        DeleteOpenKeyTree(key);
}
