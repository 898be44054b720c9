// Writes the cases of the tests' tables as the fuzz targets' first inputs:
//   write_seeds DIR   ->  DIR/command_line/N, DIR/equal_no_case/N
#include "../app/command_line_cases.h"
#include "../engine/equal_no_case_cases.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace
{
void Write(const std::filesystem::path& folder, int number, const std::string& bytes)
{
    std::filesystem::create_directories(folder);
    std::ofstream(folder / std::to_string(number), std::ios::binary) << bytes;
}

// Length byte, size byte, the text's bytes, then the other string.
std::string EqualNoCaseInput(const char* text, size_t size, DWORD length, const char* other)
{
    return std::string(1, static_cast<char>(length == MAXDWORD ? 0xFF : length)) +
           std::string(1, static_cast<char>(size)) + std::string(text, size) + other;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    const std::filesystem::path seeds = argv[1];
    int number = 0;
    auto writeCommandLines = [&](const auto& cases) {
        for (const CommandLineCase& c : cases)
            Write(seeds / "command_line", ++number, std::string(1, c.doubleByte ? 1 : 0) + c.commandLine);
    };
    writeCommandLines(UnquotedPathCases);
    writeCommandLines(LeadingBlankCases);
    writeCommandLines(QuotedPathCases);
    writeCommandLines(DoubleByteCases);
    writeCommandLines(LeadByteAtTheEndCases);

    auto writeEqualities = [&](const auto& cases) {
        for (const EqualNoCaseCase& c : cases)
            Write(seeds / "equal_no_case", ++number,
                  EqualNoCaseInput(c.left, std::strlen(c.left) + 1, MAXDWORD, c.right));
    };
    writeEqualities(FoldingCases);
    writeEqualities(LengthCases);
    for (const CountedCase& c : CountedCases)
        Write(seeds / "equal_no_case", ++number, EqualNoCaseInput(c.text, c.size, c.length, c.other));
    return 0;
}
