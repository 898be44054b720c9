// libFuzzer target for EqualNoCaseCounted and EqualNoCase, checked against
// a plain reading of their rule. Input: the length argument (0xFF stands
// for MAXDWORD), the size of the text, the text's bytes, and the other
// string up to its first NUL. Text and other string each sit in a heap
// block of exactly their size.
#include "../../common/equal_no_case.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace
{
std::string Folded(std::string text)
{
    for (char& c : text)
    {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size - 2 < data[1])
        return 0;
    const DWORD length = data[0] == 0xFF ? MAXDWORD : data[0];
    const char* bytes = reinterpret_cast<const char*>(data + 2);
    const size_t textSize = data[1];
    const size_t textEnd = std::find(bytes, bytes + textSize, '\0') - bytes;
    const char* rest = bytes + textSize;
    const std::string other(rest, std::find(rest, rest + (size - 2 - textSize), '\0'));

    // The caller's side of the bargain: the text ends within its block, at
    // a NUL or after `length` bytes. Without either, a NUL is added.
    const bool addNul = textEnd == textSize && length > textSize;
    std::unique_ptr<char[]> text(new char[textSize + (addNul ? 1 : 0)]);
    std::copy(bytes, bytes + textSize, text.get());
    if (addNul)
        text[textSize] = '\0';
    std::unique_ptr<char[]> otherCopy(new char[other.size() + 1]);
    std::copy(other.c_str(), other.c_str() + other.size() + 1, otherCopy.get());

    const std::string compared(bytes, std::min<size_t>(textEnd, length));
    if (EqualNoCaseCounted(text.get(), length, otherCopy.get()) != (Folded(compared) == Folded(other)))
        std::abort();
    if (textEnd < textSize || addNul)
    {
        const std::string whole(bytes, textEnd);
        if (EqualNoCase(text.get(), otherCopy.get()) != (Folded(whole) == Folded(other)))
            std::abort();
    }
    return 0;
}
