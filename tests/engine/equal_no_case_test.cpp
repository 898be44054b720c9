#include "../../common/equal_no_case.h"

#include <gtest/gtest.h>

TEST(EqualNoCase, FoldsAsciiLettersOnly)
{
    EXPECT_TRUE(EqualNoCase("TSO5.Image", "tso5.IMAGE"));
    EXPECT_TRUE(EqualNoCase("-UnWise", "-unwise"));
    EXPECT_TRUE(EqualNoCase("", ""));
    EXPECT_TRUE(EqualNoCase("AZ", "az")) << "both ends of the alphabet";
    // Pairs that differ by 0x20 but are not letters stay different.
    EXPECT_FALSE(EqualNoCase("[", "{"));
    EXPECT_FALSE(EqualNoCase("@", "`"));
    EXPECT_FALSE(EqualNoCase("^", "~"));
    // Latin-1 capitals are not folded, whatever the code page.
    EXPECT_FALSE(EqualNoCase("\xC4", "\xE4"));
}

TEST(EqualNoCase, NeedsTheSameLength)
{
    EXPECT_FALSE(EqualNoCase("abc", "abcd"));
    EXPECT_FALSE(EqualNoCase("abcd", "abc"));
    EXPECT_FALSE(EqualNoCase("", "a"));
    EXPECT_FALSE(EqualNoCase("-unwise ", "-unwise"));
}

TEST(EqualNoCaseCounted, TextEndsAtNulOrLength)
{
    const char unterminated[] = { 'T', 'S', 'O', '5' };
    EXPECT_TRUE(EqualNoCaseCounted(unterminated, 4, "tso5"));
    EXPECT_FALSE(EqualNoCaseCounted(unterminated, 3, "tso5"));
    EXPECT_TRUE(EqualNoCaseCounted(unterminated, 3, "tso"));
    EXPECT_TRUE(EqualNoCaseCounted("tso5\0junk", 9, "TSO5"));
    EXPECT_TRUE(EqualNoCaseCounted("anything", 0, ""));
    EXPECT_FALSE(EqualNoCaseCounted("tso", 3, "tso5"));
}
