// The turtle and drawing built-ins run as typed programs against a recording
// host: motion, messages, the sprite's erasing and redrawing, the drawing
// built-ins, point input and printing.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/messages.h"
#include "tests/turtle_host.h"
#include "turtle/turtle.h"

namespace vex::test {
namespace {

using Messages = std::vector<std::u16string>;

class TurtleBuiltins : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(s.started); }
  std::string Run(const std::string& text) { return s.Run(text); }
  RecordingCanvas& canvas() { return s.host.canvas; }
  Messages& messages() { return s.host.messages; }

  TurtleSession s;
};

TEST_F(TurtleBuiltins, ForwardDrawsFromThePixelBeforeToThePixelAfter) {
  EXPECT_EQ(Run("(fd 100)"), "100.000000 ");
  EXPECT_EQ(Run("(ycor)"), "-100.000000 ");
  EXPECT_EQ(Run("(xcor)"), "0.000000 ");
  // The eight-digit constant leaves x a hair right of the origin.
  EXPECT_GT(s.in.turtle.x, 1.7e-7f);
  EXPECT_LT(s.in.turtle.x, 1.9e-7f);
  EXPECT_EQ(canvas().lines, (std::vector<Segment>{{400, 300, 400, 200, 0}}));
  EXPECT_EQ(Run("(progn (rt 90) (bk 30))"), "30.000000 ");
  EXPECT_EQ(canvas().lines.back(), (Segment{400, 200, 370, 200, 0}));
}

TEST_F(TurtleBuiltins, HeadingsSeenThroughGetangle) {
  EXPECT_EQ(Run("(progn (rt 100) (getangle))"), "260.000000 ");
  EXPECT_EQ(Run("(progn (setangle 0) (lt 270) (getangle))"), "-90.000000 ");
  EXPECT_EQ(Run("(progn (setangle 0) (lt -300) (getangle))"), "-300.000000 ");
  EXPECT_EQ(Run("(progn (setangle 90) (getangle))"), "-270.000000 ");
  EXPECT_EQ(Run("(setangle 'a)"), "ERROR");
  EXPECT_EQ(messages(), Messages{msg::NOT_A_NUMBER});
}

TEST_F(TurtleBuiltins, ArgumentsThatAreNotNumbersMoveNothing) {
  EXPECT_EQ(Run("(fd 'a)"), "ERROR");
  EXPECT_EQ(Run("(rt 'a)"), "ERROR");
  EXPECT_EQ(Run("(fd)"), "ERROR");
  EXPECT_EQ(messages(), (Messages{msg::ARG_NOT_A_NUMBER, msg::ARG_NOT_A_NUMBER,
                                  msg::SYNTAX_ERROR}));
  EXPECT_TRUE(canvas().lines.empty());
  EXPECT_EQ(s.in.turtle.heading, 90.0f);
  // Arguments after the first are not evaluated.
  EXPECT_EQ(Run("(fd 10 (undefined-thing))"), "10.000000 ");
  EXPECT_EQ(messages().size(), 3u);
}

TEST_F(TurtleBuiltins, SetposEvaluatesBothBeforeChecking) {
  EXPECT_EQ(Run("(setpos 'a (setq q 5))"), "ERROR");
  EXPECT_EQ(messages(), Messages{msg::ARG_NOT_A_NUMBER});
  EXPECT_EQ(Run("q"), "5.000000 ");
  EXPECT_EQ(Run("(setpos 30 -40)"), "T ");
  EXPECT_EQ(canvas().lines, (std::vector<Segment>{{400, 300, 430, 260, 0}}));
  EXPECT_EQ(Run("(list (xcor) (ycor))"), "(30.000000 -40.000000 )");
}

TEST_F(TurtleBuiltins, PenUpMovesWithoutDrawing) {
  EXPECT_EQ(Run("(progn (pu) (fd 50) (pen))"), "NIL ");
  EXPECT_EQ(Run("(progn (pd) (fd 50) (pen))"), "T ");
  EXPECT_EQ(canvas().lines, (std::vector<Segment>{{400, 250, 400, 200, 0}}));
  EXPECT_EQ(Run("(ycor)"), "-100.000000 ");
  // The drawing position followed the turtle through the pen-up move.
  EXPECT_EQ(canvas().position(), (Pixel{400, 200}));
}

TEST_F(TurtleBuiltins, SetposLandsOnSinglePrecisionPixels) {
  // 400 + 0.99999994 is 401 in single precision.
  EXPECT_EQ(Run("(setpos 0.99999997 0)"), "T ");
  EXPECT_EQ(canvas().lines.back(), (Segment{400, 300, 401, 300, 0}));
}

TEST_F(TurtleBuiltins, SpriteIsErasedAndRedrawnAroundEveryChange) {
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
  Run("(progn (fd 30) (rt 45) (bk 10) (lt 100) (setangle 33) (setpos 5 7))");
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
  Run("(progn (arc -5 -5 5 5 0 0 0 0) (print 'x) (print 'y 5 5) (setpc 3))");
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
  EXPECT_EQ(canvas().pen(), 3);  // the sprite gives the pen back
  EXPECT_EQ(canvas().mix(), Mix::Copy);
  EXPECT_EQ(Run("(ht)"), "T ");
  EXPECT_EQ(Run("(ht)"), "NIL ");
  EXPECT_TRUE(canvas().xorLines.empty());
  Run("(progn (fd 30) (rt 45) (cs))");
  EXPECT_TRUE(canvas().xorLines.empty());
  EXPECT_EQ(Run("(st)"), "T ");
  EXPECT_EQ(Run("(st)"), "NIL ");
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
}

TEST_F(TurtleBuiltins, ClearSendsTheTurtleHomeAndKeepsItsPen) {
  Run("(progn (ht) (pu) (setpc 4) (rt 30) (fd 50) (cs) (pd) (fd 10))");
  EXPECT_EQ(canvas().clears, 1);
  EXPECT_EQ(canvas().lines, (std::vector<Segment>{{400, 300, 400, 290, 4}}));
  EXPECT_EQ(Run("(list (getangle) (pen))"), "(0.000000 T )");
  Run("(progn (pu) (cs))");
  EXPECT_EQ(Run("(pen)"), "NIL ");
  EXPECT_EQ(s.in.PenIndex, 4);
}

TEST_F(TurtleBuiltins, SetpcTruncatesAndRefusesOtherPens) {
  EXPECT_EQ(Run("(setpc 2.9)"), "T ");
  EXPECT_EQ(s.in.PenIndex, 2);
  EXPECT_EQ(Run("(setpc -0.5)"), "T ");
  EXPECT_EQ(s.in.PenIndex, 0);
  Run("(setpc 6)");
  for (const char* bad :
       {"(setpc 8)", "(setpc -1)", "(setpc 'a)", "(setpc 1e10)"}) {
    EXPECT_EQ(Run(bad), "ERROR") << bad;
  }
  EXPECT_EQ(s.in.PenIndex, 6);
  EXPECT_EQ(canvas().pen(), 6);
  EXPECT_EQ(messages(), Messages(4, msg::SYNTAX_ERROR));
}

TEST_F(TurtleBuiltins, EveryRunStartsWithThePenAndPositionOfTheTurtle) {
  Run("(progn (ht) (setpc 3) (pu) (setpos 20 10))");
  // A new run's window surface has the default pen and no position yet.
  canvas().SelectPen(DEFAULT_PEN);
  canvas().MoveTo(0, 0);
  Run("(progn (pd) (fd 10))");
  EXPECT_EQ(canvas().lines, (std::vector<Segment>{{420, 310, 420, 300, 3}}));
}

TEST_F(TurtleBuiltins, ArcConvertsEightArgumentsToPixels) {
  EXPECT_EQ(Run("(arc -50 -50 50 50 50 0 -50 0)"), "T ");
  ASSERT_EQ(canvas().arcs.size(), 1u);
  EXPECT_EQ(canvas().arcs[0],
            (std::vector<int>{350, 250, 450, 350, 450, 300, 350, 300, 0}));
  // The turtle does not move and the drawing position stays on it.
  EXPECT_EQ(canvas().position(), (Pixel{400, 300}));
}

TEST_F(TurtleBuiltins, ArcFailuresDrawNothing) {
  EXPECT_EQ(Run("(arc 1 2 3)"), "ERROR");
  EXPECT_EQ(Run("(arc 1 2 3 4 5 6 7 'a)"), "ERROR");
  EXPECT_EQ(Run("(arc 1 2 3 4 5 6 7 nothing 9)"), "ERROR");
  EXPECT_EQ(messages(), (Messages{msg::SYNTAX_ERROR, msg::SYNTAX_ERROR,
                                  msg::UNBOUND_VARIABLE, msg::SYNTAX_ERROR}));
  EXPECT_TRUE(canvas().arcs.empty());
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
}

TEST_F(TurtleBuiltins, PrintPlacesTextAtAClientPixelOrTopLeft) {
  EXPECT_EQ(Run("(print 'abc)"), "abc ");
  EXPECT_EQ(Run("(print 'abc 0 0)"), "abc ");
  EXPECT_EQ(Run("(print '(a 1) 10 20)"), "(a 1.000000 )");
  EXPECT_EQ(Run("(print 'abc 'p 20)"), "abc ");
  EXPECT_EQ(Run("(print 'abc 0.9 0.2)"), "abc ");
  using Text = std::tuple<int, int, std::u16string>;
  EXPECT_EQ(canvas().texts, (std::vector<Text>{{0, 0, u"abc "},
                                               {0, 0, u"abc "},
                                               {10, 20, u"(a 1.000000 )"},
                                               {0, 0, u"abc "},
                                               {0, 0, u"abc "}}));
}

TEST_F(TurtleBuiltins, PrintEvaluatesThePositionFirst) {
  EXPECT_EQ(Run("(print (setq o 1) (setq o 2) (setq o 3))"), "1.000000 ");
  EXPECT_EQ(Run("o"), "1.000000 ");
  EXPECT_EQ(std::get<0>(canvas().texts.back()), 2);
  EXPECT_EQ(std::get<1>(canvas().texts.back()), 3);
  // With two arguments the second is not even evaluated.
  EXPECT_EQ(Run("(print 'a nothing)"), "a ");
  EXPECT_EQ(Run("(print 'a 1 nothing)"), "ERROR");
  EXPECT_EQ(messages(), Messages{msg::UNBOUND_VARIABLE});
  EXPECT_EQ(canvas().texts.size(), 2u);
}

TEST_F(TurtleBuiltins, RandomRestartsItsSequenceWithEveryRun) {
  const std::string first = "(1251.000000 563585.000000 193304.000000 )";
  EXPECT_EQ(Run("(list (random 1000000) (random 1000000) (random 1000000))"),
            first);
  EXPECT_EQ(Run("(list (random 1000000) (random 1000000) (random 1000000))"),
            first);
  EXPECT_EQ(Run("(list (random 0.5) (random 0))"), "(0.000000 0.000000 )");
  EXPECT_EQ(Run("(random -1)"), "ERROR");
  EXPECT_EQ(Run("(random 'a)"), "ERROR");
  EXPECT_EQ(messages(), (Messages{msg::ARG_NEGATIVE, msg::NOT_A_NUMBER}));
}

TEST_F(TurtleBuiltins, SquareRoots) {
  EXPECT_EQ(Run("(list (sqrt 2) (sqrt 0) (sqrt 1e10))"),
            "(1.414214 0.000000 100000.000000 )");
  EXPECT_EQ(Run("(sqrt -4)"), "ERROR");
  EXPECT_EQ(Run("(sqrt 'a)"), "ERROR");
  EXPECT_EQ(messages(), (Messages{msg::ARG_NEGATIVE, msg::NOT_A_NUMBER}));
}

TEST_F(TurtleBuiltins, SleepRefusesPausesThatWouldNeverEnd) {
  EXPECT_EQ(Run("(sleep 1)"), "T ");
  EXPECT_EQ(Run("(sleep 0)"), "T ");
  for (const char* bad :
       {"(sleep -1)", "(sleep -0.5)", "(sleep 'a)", "(sleep 86400008)"}) {
    EXPECT_EQ(Run(bad), "ERROR") << bad;
  }
  EXPECT_EQ(messages(), Messages(4, msg::SYNTAX_ERROR));
}

TEST_F(TurtleBuiltins, SleepEndsEarlyWhenTheWindowCloses) {
  std::thread window([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.in.closing = true;
  });
  EXPECT_EQ(Run("(sleep 86400000)"), "ERROR");
  window.join();
  EXPECT_TRUE(messages().empty());
}

TEST_F(TurtleBuiltins, SleepStopsAtAnInterrupt) {
  std::thread console([this] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    s.in.interruptRequested = true;
  });
  EXPECT_EQ(Run("(sleep 86400000)"), "ERROR");
  console.join();
  EXPECT_EQ(messages(), Messages{msg::INTERRUPTED});
}

TEST_F(TurtleBuiltins, InkeyAnswersTheKeyHeld) {
  EXPECT_EQ(Run("(inkey)"), "0.000000 ");
  s.in.KeyCode = 65;
  EXPECT_EQ(Run("(inkey)"), "65.000000 ");
}

// --- point input ---------------------------------------------------------

TEST_F(TurtleBuiltins, GetpointAnswersAPendingRightClickAtOnce) {
  s.in.pointer.rightClicked = 1;
  EXPECT_EQ(Run("(getpoint)"), "NIL ");
  EXPECT_EQ(s.host.polls, 0);
  EXPECT_EQ(s.in.pointer.rightClicked, 0);
}

TEST_F(TurtleBuiltins, GetpointWaitsForReleaseThenForAPress) {
  s.in.pointer.leftDown = 1;  // held from an earlier click
  int step = 0;
  s.host.onPoll = [&] {
    switch (++step) {
      case 1:
        PointerLeftUp(s.in);
        break;
      case 3:
        PointerLeftDown(s.in, canvas(), 410, 290);
        break;
      default:
        break;
    }
  };
  EXPECT_EQ(Run("(getpoint)"), "(10.000000 -10.000000 )");
  EXPECT_EQ(step, 3);
  EXPECT_EQ(s.host.polls, 3);
}

TEST_F(TurtleBuiltins, WaitsSeeAPressReleasedBeforeTheyLooked) {
  s.host.onPoll = [&] {
    PointerLeftDown(s.in, canvas(), 410, 290);
    PointerLeftUp(s.in);
  };
  EXPECT_EQ(Run("(getpoint)"), "(10.000000 -10.000000 )");
  EXPECT_EQ(Run("(getcorner '(0 0))"), "(0.000000 0.000000 )");
}

TEST_F(TurtleBuiltins, GetcornerWithoutAMoveAnswersTheTruncatedAnchor) {
  TurtleSession odd;  // a client 801 pixels wide: the origin is 400.5
  FirstPaint(odd.in, odd.host.canvas, 801, 600);
  odd.host.onPoll = [&] { PointerLeftDown(odd.in, odd.host.canvas, 0, 0); };
  EXPECT_EQ(odd.Run("(getcorner '(0 0))"), "(-0.500000 0.000000 )");
}

TEST_F(TurtleBuiltins, GetcornerDrawsOneRubberBandAndLeavesNothing) {
  size_t bandLines = 0;
  int step = 0;
  s.host.onPoll = [&] {
    switch (++step) {
      case 1:
        PointerMove(s.in, canvas(), 420, 330);
        break;
      case 2:
        PointerMove(s.in, canvas(), 450, 350);
        bandLines = canvas().invertLines.size();
        break;
      default:
        PointerLeftDown(s.in, canvas(), 460, 360);
        break;
    }
  };
  EXPECT_EQ(Run("(getcorner '(-10 -20))"), "(50.000000 50.000000 )");
  EXPECT_EQ(bandLines, 4u);
  EXPECT_TRUE(canvas().invertLines.empty());
  EXPECT_EQ(canvas().xorLines, s.SpriteSegments());
  EXPECT_EQ(s.in.pointer.rubberActive, 0);
  EXPECT_EQ(s.in.pointer.rectHidden, 1);
}

TEST_F(TurtleBuiltins, GetcornerNeedsAPointOfTwoNumbers) {
  for (const char* bad :
       {"(getcorner 5)", "(getcorner '(1))", "(getcorner '(1 a))"}) {
    EXPECT_EQ(Run(bad), "ERROR") << bad;
  }
  EXPECT_EQ(messages(), Messages(3, msg::POINT_NOT_SET));
  EXPECT_EQ(s.host.polls, 0);
}

TEST_F(TurtleBuiltins, WaitsEndWhenTheWindowGoesAway) {
  s.host.onPoll = [&] {
    if (s.host.polls == 5) s.in.closing = true;
  };
  EXPECT_EQ(Run("(getpoint)"), "ERROR");
  EXPECT_EQ(s.host.polls, 5);
  s.in.closing = false;
  s.host.polls = 0;
  EXPECT_EQ(Run("(getcorner '(0 0))"), "ERROR");
  EXPECT_EQ(s.in.pointer.rubberActive, 0);
  EXPECT_TRUE(messages().empty());
}

// --- printing ---------------------------------------------------------------

TEST_F(TurtleBuiltins, PrintoutDrawsTheRecordFromThePageCentre) {
  s.host.printerChosen = true;
  EXPECT_EQ(Run("(printout '((0 0 100 0)) '((-5 -5 5 5 5 0 5 0)))"), "T ");
  // The printable area is 4760 x 6776 dots; its centre is (2380, 3388).
  EXPECT_EQ(s.host.printerLog,
            (std::vector<std::string>{
                "doc printout", "page", "move 2380 3388", "line 2480 3388",
                "arc 2375 3383 2385 3393 2385 3388 2385 3388", "endpage",
                "enddoc", "delete"}));
  EXPECT_EQ(s.host.jobs, std::vector<WindowJob>{WindowJob::Print});
}

TEST_F(TurtleBuiltins, PrintoutWithMalformedRecordsStillPrintsAPage) {
  s.host.printerChosen = true;
  EXPECT_EQ(Run("(printout '((0 0 100) (1 2 3 4)) '(5))"), "NIL ");
  EXPECT_EQ(s.host.printerLog,
            (std::vector<std::string>{"doc printout", "page", "move 2381 3390",
                                      "line 2383 3392", "endpage", "enddoc",
                                      "delete"}));
}

TEST_F(TurtleBuiltins, PrintoutCancelledPrintsNothing) {
  EXPECT_EQ(Run("(printout NIL NIL)"), "NIL ");
  EXPECT_TRUE(s.host.printerLog.empty());
  EXPECT_EQ(Run("(printout NIL)"), "ERROR");
  EXPECT_EQ(messages(), Messages{msg::SYNTAX_ERROR});
  EXPECT_EQ(s.host.jobs, std::vector<WindowJob>{WindowJob::Print});
}

}  // namespace
}  // namespace vex::test
