// The command-line tail. Built with AddressSanitizer: every command line
// is copied into a heap block of exactly its size, so a read past its NUL
// is reported.
#include "../../app/command_line.h"
#include "stand_in.h"

#include <gtest/gtest.h>

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

class CommandLineTailTest : public ::testing::Test
{
protected:
    void SetUp() override { StandIn::Reset(); }
};
}  // namespace

TEST_F(CommandLineTailTest, UnquotedPathEndsAtTheFirstBlankOrControlByte)
{
    EXPECT_EQ("-unwise", Tail("SettingsCleanup.exe -unwise"));
    EXPECT_EQ("-unwise", Tail("C:\\x\\setup.exe\t-unwise"));
    EXPECT_EQ("-unwise", Tail("setup.exe\x01\x1f -unwise"));
    EXPECT_EQ("", Tail("setup.exe"));
    EXPECT_EQ("", Tail("setup.exe   "));
    // A byte above 0x7f is part of the path, as is a quote inside it.
    EXPECT_EQ("-unwise", Tail("C:\\Caf\xe9\\a\"b.exe -unwise"));
    EXPECT_EQ("\x7f-unwise", Tail("setup.exe \x7f-unwise"));
}

TEST_F(CommandLineTailTest, LeadingBlankMeansAnEmptyPath)
{
    EXPECT_EQ("-unwise", Tail(" -unwise"));
    EXPECT_EQ("-unwise", Tail("\t\t-unwise"));
    EXPECT_EQ("", Tail(""));
    EXPECT_EQ("", Tail("   "));
}

TEST_F(CommandLineTailTest, QuotedPathRunsToTheClosingQuote)
{
    EXPECT_EQ("-unwise", Tail("\"C:\\Program Files\\Orlo\\SettingsCleanup.exe\" -unwise"));
    EXPECT_EQ("-unwise", Tail("\"C:\\setup.exe\"-unwise"));
    EXPECT_EQ("-unwise x", Tail("\"setup.exe\"  -unwise x"));
    EXPECT_EQ("-unwise  ", Tail("\"setup.exe\" -unwise  "));
    EXPECT_EQ("", Tail("\"C:\\Program Files\\never closed -unwise"));
    EXPECT_EQ("", Tail("\""));
    EXPECT_EQ("-unwise", Tail("\"\" -unwise"));
    // Only the first quote pair is the path.
    EXPECT_EQ("\"-unwise\"", Tail("\"a b\" \"-unwise\""));
}

TEST_F(CommandLineTailTest, DoubleByteTrailIsNeverTakenForTheClosingQuote)
{
    // In code page 932, 0x81 0x22 is one character.
    const std::string path = "\"C:\\\x81\"\\setup.exe\" -unwise";
    EXPECT_EQ("\\setup.exe\" -unwise", Tail(path)) << "without a double-byte code page, 0x22 closes";
    StandIn::SetDoubleByteCodePage(true);
    EXPECT_EQ("-unwise", Tail(path));
    // Outside the quotes a lead byte is just part of an unquoted path.
    EXPECT_EQ("-unwise", Tail("C:\\\x81\x40.exe -unwise"));
}

TEST_F(CommandLineTailTest, LeadByteAtTheEndDoesNotReadPastTheString)
{
    StandIn::SetDoubleByteCodePage(true);
    EXPECT_EQ("", Tail("\"abc\x81"));
    EXPECT_EQ("", Tail("\"\x81"));
    EXPECT_EQ("", Tail("\"\x81\x81\x81"));
    EXPECT_EQ("x", Tail("\"\x81\"\" x"));
}
