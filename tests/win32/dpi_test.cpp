// The twips, points and pixels arithmetic behind the window's layout.
#include "platform/win32/dpi.h"

#include <gtest/gtest.h>

namespace {

using platform::win32::FontHeight;
using platform::win32::PixelRect;
using platform::win32::TwipsRectToPixels;
using platform::win32::TwipsToPixels;

TEST(Dpi, FifteenTwipsAPixelAt96AndRoundedToTheNearestPixelElsewhere) {
  EXPECT_EQ(TwipsToPixels(5310, 96), 354);
  EXPECT_EQ(TwipsToPixels(6975, 96), 465);
  EXPECT_EQ(TwipsToPixels(7, 96), 0);  // 0.47
  EXPECT_EQ(TwipsToPixels(8, 96), 1);  // 0.53
  // 125 %, 150 % and 200 %: halves go up, as MulDiv rounds them.
  EXPECT_EQ(TwipsToPixels(5310, 120), 443);  // 442.5
  EXPECT_EQ(TwipsToPixels(6975, 120), 581);  // 581.25
  EXPECT_EQ(TwipsToPixels(6975, 144), 698);  // 697.5
  EXPECT_EQ(TwipsToPixels(6975, 192), 930);
}

TEST(Dpi, SongtiAtNineAndThreeQuarterPointsIsThirteenPixelsAt96) {
  EXPECT_EQ(FontHeight(975, 96), -13);
  EXPECT_EQ(FontHeight(975, 120), -16);  // 16.25
  EXPECT_EQ(FontHeight(975, 144), -20);  // 19.5
  EXPECT_EQ(FontHeight(975, 192), -26);
  // Negative values round away from zero too, as the system font's height is rescaled.
  EXPECT_EQ(platform::win32::ScaleRounded(-13, 120, 96), -16);  // -16.25
  EXPECT_EQ(platform::win32::ScaleRounded(-3, 1, 2), -2);       // -1.5
}

TEST(Dpi, EdgesThatMeetInTwipsMeetInPixelsAtAnyDpi) {
  for (int dpi = 96; dpi <= 288; ++dpi) {
    SCOPED_TRACE(dpi);
    // Side by side and one above the other, with sizes that do not scale evenly.
    const PixelRect left = TwipsRectToPixels(150, 1020, 1007, 5265, dpi);
    const PixelRect right = TwipsRectToPixels(1157, 1020, 3988, 5265, dpi);
    const PixelRect below = TwipsRectToPixels(150, 6285, 1007, 103, dpi);
    EXPECT_EQ(left.right, right.left);
    EXPECT_EQ(left.bottom, below.top);
    // Together they are as wide as the twips they cover.
    EXPECT_EQ(left.Width() + right.Width(),
              TwipsToPixels(150 + 1007 + 3988, dpi) - TwipsToPixels(150, dpi));
  }
}

}  // namespace
