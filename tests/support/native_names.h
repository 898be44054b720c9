// Names that only the native registry calls can give a key or value: counted
// UTF-16, which may hold NUL or characters outside the ANSI code page. Any
// user can write them in their own class store; the A calls cannot give them
// back as they are.
#pragma once

#include <windows.h>

#include <string>

typedef std::basic_string<WCHAR> WideName;

// ntdll's UNICODE_STRING and OBJECT_ATTRIBUTES.
struct CountedName
{
    unsigned short Length;  // in bytes, without a terminating NUL
    unsigned short MaximumLength;
    WCHAR* Buffer;
};

struct NameAttributes
{
    ULONG Length;
    HANDLE RootDirectory;
    CountedName* ObjectName;
    ULONG Attributes;
    void* SecurityDescriptor;
    void* SecurityQualityOfService;
};

extern "C" LONG WINAPI NtCreateKey(HANDLE* key, ULONG access, NameAttributes* attributes, ULONG titleIndex,
                                   CountedName* keyClass, ULONG options, ULONG* disposition);
extern "C" LONG WINAPI NtOpenKey(HANDLE* key, ULONG access, NameAttributes* attributes);
extern "C" LONG WINAPI NtSetValueKey(HANDLE key, CountedName* name, ULONG titleIndex, ULONG type, void* data,
                                     ULONG size);

// `ascii` widened byte by byte; NULs inside it stay.
WideName Widen(const std::string& ascii);

// Creates (or opens) `name` below the open key `parent`. Win32 codes.
LONG CreateKeyByCountedName(HKEY parent, const WideName& name, HKEY* key);
// Opens `name` below the open key `parent` as itself: a link is not followed.
LONG OpenKeyByCountedName(HKEY parent, const WideName& name, REGSAM access, HKEY* key);
// Sets the REG_SZ value `name` of the open key to `ascii`, stored as the
// native calls store strings: UTF-16, with its terminating NUL.
LONG SetStringByCountedName(HKEY key, const WideName& name, const char* ascii);
