#include "equal_no_case.h"

static unsigned char FoldAsciiLetter(char c)
{
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte >= 'A' && byte <= 'Z')
        return static_cast<unsigned char>(byte - 'A' + 'a');
    return byte;
}

bool EqualNoCaseCounted(const char* text, DWORD length, const char* other)
{
    DWORD i = 0;
    for (; i < length && text[i] != '\0'; ++i)
    {
        if (other[i] == '\0' || FoldAsciiLetter(text[i]) != FoldAsciiLetter(other[i]))
            return false;
    }
    return other[i] == '\0';
}

bool EqualNoCase(const char* left, const char* right)
{
    return EqualNoCaseCounted(left, MAXDWORD, right);
}
