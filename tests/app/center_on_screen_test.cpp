#include "../../app/app.h"
#include "stand_in.h"

#include <gtest/gtest.h>

namespace
{
class CenterOnScreenTest : public ::testing::Test
{
protected:
    void SetUp() override { StandIn::Reset(); }

    // Where a window of `rect` goes on a screen of width x height.
    StandIn::WindowMove Centre(RECT rect, int width, int height)
    {
        StandIn::SetScreen(width, height, true);
        HWND window = StandIn::MakeWindow(rect);
        CenterOnScreen(window);
        EXPECT_EQ(0, StandIn::OpenInformationContexts());
        if (StandIn::WindowMoves().size() != 1)
        {
            ADD_FAILURE() << StandIn::WindowMoves().size() << " moves instead of 1";
            StandIn::Reset();
            return StandIn::WindowMove{};
        }
        StandIn::WindowMove move = StandIn::WindowMoves().back();
        EXPECT_EQ(window, move.window);
        EXPECT_EQ(nullptr, move.insertAfter);
        EXPECT_EQ(0, move.cx);
        EXPECT_EQ(0, move.cy);
        EXPECT_EQ(static_cast<UINT>(SWP_NOSIZE | SWP_NOZORDER), move.flags);
        StandIn::Reset();
        return move;
    }
};
}  // namespace

TEST_F(CenterOnScreenTest, MovesTheWindowToTheMiddleOfTheWholeScreen)
{
    StandIn::WindowMove move = Centre(RECT{ 100, 50, 400, 250 }, 1024, 768);
    EXPECT_EQ(362, move.x);
    EXPECT_EQ(284, move.y);
    // Where the window was does not matter, only its size.
    move = Centre(RECT{ -500, 900, -200, 1100 }, 1024, 768);
    EXPECT_EQ(362, move.x);
    EXPECT_EQ(284, move.y);
}

TEST_F(CenterOnScreenTest, HalvesTowardsZero)
{
    StandIn::WindowMove move = Centre(RECT{ 0, 0, 301, 201 }, 1024, 768);
    EXPECT_EQ(361, move.x);  // 723 / 2
    EXPECT_EQ(283, move.y);  // 567 / 2
    move = Centre(RECT{ 0, 0, 1025, 769 }, 1024, 768);
    EXPECT_EQ(0, move.x) << "-1 / 2 is 0, not -1";
    EXPECT_EQ(0, move.y);
}

TEST_F(CenterOnScreenTest, WindowLargerThanTheScreenGoesToANegativePosition)
{
    StandIn::WindowMove move = Centre(RECT{ 0, 0, 1100, 900 }, 1024, 768);
    EXPECT_EQ(-38, move.x);
    EXPECT_EQ(-66, move.y);
}

TEST_F(CenterOnScreenTest, UnmeasurableWindowOrScreenStaysWhereItIs)
{
    StandIn::SetScreen(1024, 768, false);
    CenterOnScreen(StandIn::MakeWindow(RECT{ 0, 0, 300, 200 }));
    EXPECT_TRUE(StandIn::WindowMoves().empty());

    StandIn::SetScreen(1024, 768, true);
    CenterOnScreen(reinterpret_cast<HWND>(0x7777));  // no such window
    EXPECT_TRUE(StandIn::WindowMoves().empty());
    EXPECT_EQ(0, StandIn::OpenInformationContexts());
}
