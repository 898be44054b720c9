#include "command_line.h"

// Inside quotes a double-byte character's trail byte may equal '"'.
static const unsigned char* SkipQuotedPath(const unsigned char* cursor)
{
    ++cursor;
    while (*cursor != '\0' && *cursor != '"')
    {
        if (IsDBCSLeadByte(*cursor) && cursor[1] != '\0')
            ++cursor;
        ++cursor;
    }
    if (*cursor == '"')
        ++cursor;
    return cursor;
}

LPSTR CommandLineTail(LPSTR commandLine)
{
    const unsigned char* cursor = reinterpret_cast<const unsigned char*>(commandLine);
    if (*cursor == '"')
    {
        cursor = SkipQuotedPath(cursor);
    }
    else
    {
        while (*cursor > ' ')
            ++cursor;
    }
    while (*cursor != '\0' && *cursor <= ' ')
        ++cursor;
    return commandLine + (cursor - reinterpret_cast<const unsigned char*>(commandLine));
}
