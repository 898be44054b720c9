// libFuzzer target for CommandLineTail. The first byte chooses the code
// page (bit 0: 932, with its lead bytes), the rest is the command line, cut
// at its first NUL and held in a heap block of exactly its size, so that
// AddressSanitizer sees any read past it.
#include "../../app/command_line.h"
#include "stand_in.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    StandIn::SetDoubleByteCodePage((data[0] & 1) != 0);
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = strnlen(text, size - 1);
    std::vector<char> line(text, text + length);
    line.push_back('\0');

    const char* tail = CommandLineTail(line.data());
    // A suffix of the line, starting at its end or after the blanks.
    if (tail < line.data() || tail > line.data() + length)
        std::abort();
    if (*tail != '\0' && static_cast<unsigned char>(*tail) <= ' ')
        std::abort();
    return 0;
}
