#include "../../common/equal_no_case.h"
#include "equal_no_case_cases.h"

#include <gtest/gtest.h>

#include <vector>

namespace
{
template <size_t N>
void ExpectEqualities(const EqualNoCaseCase (&cases)[N])
{
    for (const EqualNoCaseCase& c : cases)
        EXPECT_EQ(c.equal, EqualNoCase(c.left, c.right)) << "[" << c.left << "] and [" << c.right << "]";
}
}  // namespace

TEST(EqualNoCase, FoldsAsciiLettersOnly)
{
    ExpectEqualities(FoldingCases);
}

TEST(EqualNoCase, NeedsTheSameLength)
{
    ExpectEqualities(LengthCases);
}

TEST(EqualNoCaseCounted, TextEndsAtNulOrLength)
{
    for (const CountedCase& c : CountedCases)
    {
        // Exactly the bytes of the data, without a NUL after them.
        const std::vector<char> text(c.text, c.text + c.size);
        EXPECT_EQ(c.equal, EqualNoCaseCounted(text.data(), c.length, c.other))
            << "[" << std::string(c.text, c.size) << "] up to " << c.length << " and [" << c.other << "]";
    }
}
