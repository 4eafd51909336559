// The turtle's arithmetic: truncation to pixels, turning, the sprite's
// corners and the generator behind random.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

#include "tests/turtle_host.h"
#include "turtle/turtle.h"

namespace vex::test {
namespace {

TEST(TurtleRules, TruncationGoesTowardZeroAndNeverOverflows) {
  EXPECT_EQ(TruncToInt(2.9f), 2);
  EXPECT_EQ(TruncToInt(-2.9f), -2);
  EXPECT_EQ(TruncToInt(-0.5f), 0);
  EXPECT_EQ(TruncToInt(-2147483648.0f), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt(2147483520.0f), 2147483520);
  // What the x86 conversion answers for values it cannot hold.
  EXPECT_EQ(TruncToInt(2147483648.0f), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt(-1e20f), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt(std::numeric_limits<float>::quiet_NaN()),
            std::numeric_limits<int32_t>::min());
  EXPECT_EQ(TruncToInt(std::numeric_limits<float>::infinity()),
            std::numeric_limits<int32_t>::min());
}

TEST(TurtleRules, PixelsAreSinglePrecisionSumsTruncated) {
  TurtleHost host;
  Interp in(host);
  in.xcenter = 400.5f;
  in.ycenter = 300.0f;
  EXPECT_EQ(PixelOf(in, -0.5f, -0.5f), (Pixel{400, 299}));
  EXPECT_EQ(PixelOf(in, -1.0f, 0.0f), (Pixel{399, 300}));
  // 400.5 + 0.99999994 rounds up to 401.5 in single precision; a double sum
  // would stay below it.
  EXPECT_EQ(PixelOf(in, 0.99999994f, 0.99999994f), (Pixel{401, 301}));
  in.xcenter = 0;
  in.ycenter = 0;
  EXPECT_EQ(PixelOf(in, -0.7f, -1.7f), (Pixel{0, -1}));
}

TEST(TurtleRules, LeftTurnsReduceOnlyFromAbove) {
  EXPECT_EQ(TurnLeft(90, 270), 0.0f);  // 360 reduced by the remainder
  EXPECT_EQ(TurnLeft(90, 90), -180.0f);
  EXPECT_EQ(TurnLeft(90, -300), -210.0f);
  EXPECT_EQ(TurnLeft(-500, 10), -490.0f);  // negative headings stay
  EXPECT_EQ(TurnLeft(350, 20), 10.0f);
  EXPECT_EQ(TurnLeft(0, 900), -180.0f);  // 900 -> 180 -> -180
  EXPECT_EQ(TurnLeft(0, 179.5f), 179.5f);
}

TEST(TurtleRules, RightTurnsReduceOnlyFromBelow) {
  EXPECT_EQ(TurnRight(90, 100), 350.0f);
  EXPECT_EQ(TurnRight(1000, 10), 990.0f);  // large headings stay
  EXPECT_EQ(TurnRight(10, 370), 360.0f);   // the range is (0, 360]
  EXPECT_EQ(TurnRight(0, 0), 0.0f);
  EXPECT_EQ(TurnRight(-720, 90), 270.0f);
}

TEST(TurtleRules, SetangleNormalisesOutsideTheHalfOpenRange) {
  EXPECT_EQ(SetAngleHeading(90), -180.0f);
  EXPECT_EQ(SetAngleHeading(0), 90.0f);
  EXPECT_EQ(SetAngleHeading(-270), -180.0f);
  EXPECT_EQ(SetAngleHeading(-300), 150.0f);
  EXPECT_EQ(SetAngleHeading(500), -130.0f);
  EXPECT_EQ(SetAngleHeading(-500), 310.0f);
}

TEST(TurtleRules, TheEightDigitConstantLeansUpwardHeadings) {
  double theta = HeadingRadians(90);
  EXPECT_GT(std::cos(theta), 1.7e-9);
  EXPECT_LT(std::cos(theta), 1.9e-9);
  EXPECT_DOUBLE_EQ(std::sin(theta), -1.0);
  EXPECT_DOUBLE_EQ(HeadingRadians(0), 0.0);
}

TEST(TurtleRules, SpriteCornersOfTheInitialTurtle) {
  Turtle t;
  SpriteShape s = SpriteOf(t);
  EXPECT_NEAR(s.tipX, 0, 1e-6);
  EXPECT_FLOAT_EQ(s.tipY, -20);
  EXPECT_NEAR(s.p1x, -9.8995, 1e-4);
  EXPECT_NEAR(s.p1y, -10.1005, 1e-4);
  EXPECT_NEAR(s.p2x, 9.8995, 1e-4);
  EXPECT_NEAR(s.p2y, -10.1005, 1e-4);

  TurtleHost host;
  Interp in(host);
  in.xcenter = 400;
  in.ycenter = 300;
  EXPECT_EQ(PixelOf(in, s.tipX, s.tipY), (Pixel{400, 280}));
  EXPECT_EQ(PixelOf(in, s.p1x, s.p1y), (Pixel{390, 289}));
  EXPECT_EQ(PixelOf(in, s.p2x, s.p2y), (Pixel{409, 289}));
}

TEST(TurtleRules, SpritePointsAlongAnyHeading) {
  Turtle t;
  t.x = 10;
  t.y = 5;
  t.heading = 0;  // right
  SpriteShape s = SpriteOf(t);
  EXPECT_NEAR(s.tipX, 30, 1e-5);
  EXPECT_NEAR(s.tipY, 5, 1e-5);
  // The head opens backwards from the tip, one wing above and one below.
  EXPECT_NEAR(s.p1x, 30 - 9.8995, 1e-4);
  EXPECT_NEAR(s.p1y, 5 - 9.8995, 1e-4);
  EXPECT_NEAR(s.p2x, 30 - 9.8995, 1e-4);
  EXPECT_NEAR(s.p2y, 5 + 9.8995, 1e-4);
}

TEST(TurtleRules, RandomFollowsTheRuntimeGeneratorFromItsSeed) {
  uint32_t state = 1;
  const int32_t expected[] = {41, 18467, 6334, 26500, 19169, 15724, 11478};
  for (int32_t e : expected) EXPECT_EQ(NextRandom(state), e);
}

}  // namespace
}  // namespace vex::test
