// The command-line tail. Built with AddressSanitizer: every command line
// is copied into a heap block of exactly its size, so a read past its NUL
// is reported.
#include "../../app/command_line.h"
#include "command_line_cases.h"
#include "stand_in.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
std::string Tail(const std::string& commandLine)
{
    std::vector<char> exact(commandLine.begin(), commandLine.end());
    exact.push_back('\0');
    char* tail = CommandLineTail(exact.data());
    EXPECT_GE(tail, exact.data());
    EXPECT_LT(tail, exact.data() + exact.size());
    return tail;
}

std::string Printable(const char* text)
{
    std::string printable;
    for (; *text != '\0'; ++text)
    {
        char escape[8];
        std::snprintf(escape, sizeof escape, *text >= 0x20 && *text < 0x7f ? "%c" : "\\x%02x",
                       static_cast<unsigned char>(*text));
        printable += escape;
    }
    return printable;
}

class CommandLineTailTest : public ::testing::Test
{
protected:
    void SetUp() override { StandIn::Reset(); }

    template <size_t N>
    void ExpectTails(const CommandLineCase (&cases)[N])
    {
        for (const CommandLineCase& c : cases)
        {
            StandIn::SetDoubleByteCodePage(c.doubleByte);
            EXPECT_EQ(c.tail, Tail(c.commandLine)) << "[" << Printable(c.commandLine) << "]"
                                                   << (c.doubleByte ? " in code page 932" : "");
        }
    }
};
}  // namespace

TEST_F(CommandLineTailTest, UnquotedPathEndsAtTheFirstBlankOrControlByte)
{
    ExpectTails(UnquotedPathCases);
}

TEST_F(CommandLineTailTest, LeadingBlankMeansAnEmptyPath)
{
    ExpectTails(LeadingBlankCases);
}

TEST_F(CommandLineTailTest, QuotedPathRunsToTheClosingQuote)
{
    ExpectTails(QuotedPathCases);
}

TEST_F(CommandLineTailTest, DoubleByteTrailIsNeverTakenForTheClosingQuote)
{
    ExpectTails(DoubleByteCases);
}

TEST_F(CommandLineTailTest, LeadByteAtTheEndDoesNotReadPastTheString)
{
    ExpectTails(LeadByteAtTheEndCases);
}
