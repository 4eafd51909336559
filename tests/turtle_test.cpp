// What of the turtle no console transcript shows: the sprite's XOR lines,
// the window surface at the start of a run, waits for the mouse, sleeping,
// and line files byte by byte. (The printed page is the Windows program's
// test, through a real spooler.)
#include "turtle/turtle.h"

#include <gtest/gtest.h>

#include "tests/test_host.h"

namespace vex::test {
namespace {

TEST(Turtle, TheSpriteIsErasedAndRedrawnAroundEveryChange) {
  const std::set<Segment> up = {{400, 300, 400, 280},
                                {400, 280, 390, 289},
                                {390, 289, 409, 289},
                                {409, 289, 400, 280}},
                          right = {{400, 300, 420, 300},
                                   {420, 300, 410, 290},
                                   {410, 290, 410, 309},
                                   {410, 309, 420, 300}};
  Session s;
  EXPECT_EQ(s.host.xorLines, up);
  s.Run(
      "(progn (fd 30) (rt 45) (bk 10) (lt 100) (arc -5 -5 5 5 0 0 0 0)"
      " (print 'x) (print 'y 5 5) (setpc 3) (pu) (setpos 0 0) (setangle 0))");
  EXPECT_EQ(s.host.xorLines, up);
  s.Run("(rt 90)");
  EXPECT_EQ(s.host.xorLines, right);
  EXPECT_EQ(s.Run("(ht)"), "T ");
  EXPECT_EQ(s.Run("(ht)"), "NIL ");
  EXPECT_EQ(s.host.xorLines, std::set<Segment>{});
  s.Run("(progn (setangle 0) (fd 30) (cs))");
  EXPECT_EQ(s.host.xorLines, std::set<Segment>{});
  EXPECT_EQ(s.Run("(st)"), "T ");
  EXPECT_EQ(s.Run("(st)"), "NIL ");
  EXPECT_EQ(s.host.xorLines, up);
}

TEST(Turtle, EveryRunStartsWithThePenAndPositionOfTheTurtle) {
  Session s;
  s.Run("(progn (ht) (setpc 3) (pu) (setpos 20 10))");
  // A new run's window surface has the default pen and no position yet.
  s.host.SelectPen(DEFAULT_PEN);
  s.host.MoveTo(0, 0);
  s.host.events.clear();
  s.Run("(progn (pd) (fd 10))");
  EXPECT_EQ(s.host.Take("draw: line "), Lines{"420 310 420 300 3"});
}

TEST(Turtle, WaitsForTheMouseSeeEachPressOnce) {
  // A held button must be released first, then pressed.
  Session a;
  a.in.pointer.leftDown = 1;
  a.host.onWait = [&] {
    if (a.host.polls == 1) PointerLeftUp(a.in);
    if (a.host.polls == 3) PointerLeftDown(a.in, a.host, 410, 290);
  };
  EXPECT_EQ(a.Run("(getpoint)"), "(10.000000 -10.000000 )");
  EXPECT_EQ(a.host.polls, 3);
  // A press released before the wait looked counts.
  Session b;
  b.host.onWait = [&] {
    PointerLeftDown(b.in, b.host, 410, 290);
    PointerLeftUp(b.in);
  };
  EXPECT_EQ(b.Run("(getpoint)"), "(10.000000 -10.000000 )");
  EXPECT_EQ(b.Run("(getcorner '(0 0))"), "(0.000000 0.000000 )");
}

TEST(Turtle, GetcornerDrawsOneRubberBandAndLeavesNothing) {
  Session s;
  std::set<Segment> band;
  s.host.onWait = [&] {
    if (s.host.polls == 1) PointerMove(s.in, s.host, 420, 330);
    if (s.host.polls == 2) PointerMove(s.in, s.host, 450, 350);
    if (s.host.polls == 2) band = s.host.invertLines;
    if (s.host.polls == 3) PointerLeftDown(s.in, s.host, 460, 360);
  };
  EXPECT_EQ(s.Run("(getcorner '(-10 -20))"), "(50.000000 50.000000 )");
  EXPECT_EQ(band, (std::set<Segment>{{390, 280, 450, 280},
                                     {450, 280, 450, 350},
                                     {450, 350, 390, 350},
                                     {390, 350, 390, 280}}));
  EXPECT_EQ(s.host.invertLines, std::set<Segment>{});
  EXPECT_EQ(s.host.xorLines.size(), 4u);  // the sprite, as before
  EXPECT_EQ(s.in.pointer.rubberActive, 0);
}

// A closing window ends waits and sleeps without a message; an interrupt
// ends them with one.
TEST(Turtle, WaitsAndSleepsEndWhenTheRunMustStop) {
  for (const char* program :
       {"(getpoint)", "(getcorner '(0 0))", "(sleep 86400000)"}) {
    for (bool closing : {true, false}) {
      Session s;
      int waits = 0;
      s.host.onWait = [&] {
        if (++waits == 5)
          (closing ? s.in.closing : s.in.interruptRequested) = true;
      };
      EXPECT_EQ(s.Run(program), "ERROR") << program;
      EXPECT_EQ(waits, 5) << program;
      EXPECT_EQ(s.host.Take("message: "),
                closing ? Lines{} : Lines{"エラー: 実行を中断しました"});
      EXPECT_EQ(s.in.pointer.rubberActive, 0);
    }
  }
}

// Numbers as "%f" and a blank each; malformed records are left out.
TEST(LineFiles, WritelcWritesOneRunOfNumbers) {
  Session s;
  EXPECT_EQ(
      s.Run("(writelc '((0 -0.5 0.1 1e10) (1 2 3 a) x (1 2 3 4)) '((1)) 'p)"),
      "NIL ");
  EXPECT_EQ(s.host.files[u"p.lin"],
            "0.000000 -0.500000 0.100000 10000000000.000000 "
            "1.000000 2.000000 3.000000 4.000000 ");
  EXPECT_EQ(s.host.files[u"p.ar"], "");
  EXPECT_EQ(s.host.jobs, std::vector<WindowJob>{WindowJob::SaveLines});
  // A failed write answers NIL; a file that cannot be made, a message.
  s.host.failWrites = true;
  EXPECT_EQ(s.Run("(writelc '((1 2 3 4)) NIL 'p)"), "NIL ");
  EXPECT_EQ(s.Run("(writelc NIL NIL 'p)"), "T ");
  s.host.unwritable.insert(u"locked.ar");
  EXPECT_EQ(s.Run("(writelc NIL NIL 'locked)"), "NIL ");
  EXPECT_EQ(s.host.Take("message: "),
            Lines{"エラー: ファイルを開くことができません"});
}

// The name buffer leaves room for ".lin" and the terminator.
TEST(LineFiles, NamesMustFitTheNameBuffer) {
  Session s;
  const std::string longest(NAME_BUFFER_UNITS - 5, 'a');
  EXPECT_EQ(s.Run("(writelc NIL NIL '" + longest + ")"), "T ");
  EXPECT_EQ(s.Run("(writelc NIL NIL '" + longest + "a)"), "NIL ");
  EXPECT_EQ(s.Run("(readlc '" + longest + "a)"), "NIL ");
  EXPECT_EQ(s.host.Take("message: "),
            Lines(2, "エラー: ファイル名が間違っています。"));
  EXPECT_EQ(s.host.files.size(), 3u);  // the library and the one pair
}

// readlc scans numbers as "%f" does, after any white space, and cuts
// malformed content at the last complete record.
TEST(LineFiles, ReadlcKeepsTheCompleteRecords) {
  const std::string one = "(((1.000000 2.000000 3.000000 4.000000 ))NIL )";
  for (const char* bad : {"-", ".", "abc", "0x", "1e+", "1e", "infin", "nan(",
                          "nan(a", "+-1", "--1"}) {
    Session s;
    s.host.files[u"p.lin"] = std::string("1 2 3 4 ") + bad + " 5 6 7 8";
    s.host.files[u"p.ar"] = "";
    EXPECT_EQ(s.Run("(readlc 'p)"), one) << bad;
  }
  const struct {
    const char *lin, *ar, *value;
  } rows[] = {
      {" +1.5\t-2e3\n\r0x1p4 .5 1. 0X.8P1 7E+1 1e-50",
       "inf -INFINITY 1e50 nan NAN(x_1) 0 0 0",
       "(((1.000000 1.000000 70.000000 0.000000 )"
       "(1.500000 -2000.000000 16.000000 0.500000 ))"
       "((inf -inf inf nan nan 0.000000 0.000000 0.000000 )))"},
      {"1\n2\r\n 3\t\t4     \n5 6 7 8\n", "",
       "(((5.000000 6.000000 7.000000 8.000000 )"
       "(1.000000 2.000000 3.000000 4.000000 ))NIL )"},
      {"1 2 3 4 5 6", "", one.c_str()},
      {"1 2 3 4 x 5 6 7 8", "", one.c_str()},
      {"1 2 3 4 5 6 7 x", "", one.c_str()},
      {"1 2 3 4 1e 6 7 8", "", one.c_str()},
      {"garbage 1 2 3 4", "", "(NIL NIL )"},
      {"1 2 3 4", "1 2 3 4 5 6 7", one.c_str()},
      {"1 2 3 4 ", nullptr, "ERROR"},  // no .ar: a message
  };
  for (const auto& row : rows) {
    Session s;
    s.host.files[u"p.lin"] = row.lin;
    if (row.ar) s.host.files[u"p.ar"] = row.ar;
    EXPECT_EQ(s.Run("(readlc 'p)"), row.value) << row.lin;
    EXPECT_EQ(s.host.Take("message: ").size(), row.ar ? 0u : 1u);
  }
}

}  // namespace
}  // namespace vex::test
