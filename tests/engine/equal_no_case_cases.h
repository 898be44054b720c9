// Pairs of strings and whether they are equal without case, shared by the
// tests of EqualNoCase and EqualNoCaseCounted and the seeds of their fuzz
// target.
#pragma once

#include <windows.h>

struct EqualNoCaseCase
{
    const char* left;
    const char* right;
    bool equal;
};

const EqualNoCaseCase FoldingCases[] = {
    { "TSO5.Image", "tso5.IMAGE", true },
    { "-UnWise", "-unwise", true },
    { "", "", true },
    { "AZ", "az", true },  // both ends of the alphabet
    // Pairs that differ by 0x20 but are not letters stay different.
    { "[", "{", false },
    { "@", "`", false },
    { "^", "~", false },
    // Latin-1 capitals are not folded, whatever the code page.
    { "\xC4", "\xE4", false },
};

const EqualNoCaseCase LengthCases[] = {
    { "abc", "abcd", false },
    { "abcd", "abc", false },
    { "", "a", false },
    { "-unwise ", "-unwise", false },
};

// Registry data: `size` bytes that need not end with a NUL, compared up to
// their first NUL or `length` bytes, whichever comes first.
struct CountedCase
{
    const char* text;
    DWORD size;
    DWORD length;
    const char* other;
    bool equal;
};

const CountedCase CountedCases[] = {
    { "TSO5", 4, 4, "tso5", true },
    { "TSO5", 4, 3, "tso5", false },
    { "TSO5", 4, 3, "tso", true },
    { "tso5\0junk", 9, 9, "TSO5", true },
    { "anything", 8, 0, "", true },
    { "tso", 3, 3, "tso5", false },
};
