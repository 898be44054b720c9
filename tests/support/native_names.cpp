#include "native_names.h"

#include "../../common/ntdll.h"

namespace
{
const ULONG OBJ_CASE_INSENSITIVE = 0x40;
const ULONG OBJ_OPENLINK = 0x100;

CountedName Counted(const WideName& name)
{
    WCHAR* buffer = const_cast<WCHAR*>(name.data());
    const unsigned short bytes = static_cast<unsigned short>(name.size() * sizeof(WCHAR));
    return CountedName{ bytes, bytes, buffer };
}

NameAttributes Below(HKEY parent, CountedName* name, ULONG attributes)
{
    return NameAttributes{ sizeof(NameAttributes), parent, name, OBJ_CASE_INSENSITIVE | attributes, nullptr,
                           nullptr };
}

LONG ToWin32(LONG status)
{
    return static_cast<LONG>(RtlNtStatusToDosError(status));
}
}  // namespace

WideName Widen(const std::string& ascii)
{
    WideName wide;
    for (char c : ascii)
        wide += static_cast<WCHAR>(static_cast<unsigned char>(c));
    return wide;
}

LONG CreateKeyByCountedName(HKEY parent, const WideName& name, HKEY* key)
{
    CountedName counted = Counted(name);
    NameAttributes attributes = Below(parent, &counted, 0);
    HANDLE handle = nullptr;
    const LONG status = NtCreateKey(&handle, KEY_ALL_ACCESS, &attributes, 0, nullptr, 0, nullptr);
    *key = static_cast<HKEY>(handle);
    return ToWin32(status);
}

LONG OpenKeyByCountedName(HKEY parent, const WideName& name, REGSAM access, HKEY* key)
{
    CountedName counted = Counted(name);
    NameAttributes attributes = Below(parent, &counted, OBJ_OPENLINK);
    HANDLE handle = nullptr;
    const LONG status = NtOpenKey(&handle, access, &attributes);
    *key = static_cast<HKEY>(handle);
    return ToWin32(status);
}

LONG SetStringByCountedName(HKEY key, const WideName& name, const char* ascii)
{
    CountedName counted = Counted(name);
    WideName data = Widen(ascii);
    const ULONG size = static_cast<ULONG>((data.size() + 1) * sizeof(WCHAR));
    return ToWin32(NtSetValueKey(key, &counted, 0, REG_SZ, &data[0], size));
}
