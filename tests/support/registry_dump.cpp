#include "registry_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
std::string Printable(const BYTE* data, DWORD size)
{
    std::string text;
    for (DWORD i = 0; i < size; ++i)
    {
        if (data[i] >= 0x20 && data[i] < 0x7f && data[i] != '\\')
        {
            text += static_cast<char>(data[i]);
        }
        else
        {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", data[i]);
            text += escape;
        }
    }
    return text;
}

void DumpKey(HKEY key, const std::string& path, std::vector<std::string>* lines)
{
    lines->push_back(path);
    for (DWORD index = 0;; ++index)
    {
        char name[16384];
        BYTE data[4096];
        DWORD nameLength = sizeof name, dataLength = sizeof data, type = 0;
        if (RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        lines->push_back(path + " : [" + Printable(reinterpret_cast<BYTE*>(name), nameLength) + "] type " +
                         std::to_string(type) + " = " + Printable(data, dataLength));
    }
    for (DWORD index = 0;; ++index)
    {
        char name[512];
        DWORD nameLength = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        // A name the A calls give back cut, listed whole and not opened.
        if (nameLength == 0 || std::strlen(name) != nameLength)
        {
            lines->push_back(path + "\\" + Printable(reinterpret_cast<BYTE*>(name), nameLength) + " (cut)");
            continue;
        }
        HKEY subkey;
        if (RegOpenKeyExA(key, name, REG_OPTION_OPEN_LINK, KEY_READ, &subkey) != ERROR_SUCCESS)
        {
            lines->push_back(path + "\\" + name + " (cannot be opened)");
            continue;
        }
        DumpKey(subkey, path + "\\" + name, lines);
        RegCloseKey(subkey);
    }
}
}  // namespace

std::string DumpRegistryTree(HKEY root, const char* path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path, REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return "(missing)\n";
    std::vector<std::string> lines;
    DumpKey(key, path, &lines);
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    return text;
}
