// The fixed areas: the StringArea's exact-fit rule, the capacity of the
// tables, the wrap flag, the fatal ends of full areas (one message, one
// close request), and areas the system refuses at start-up.
#include "memory/memory.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "console/utf.h"
#include "tests/test_host.h"

namespace vex::test {
namespace {

class Memory : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitMemory(in)); }
  NameRef Name(int k) { return InternName(in, FromUtf8(std::to_string(k))); }
  static Lines Fatal(const std::string& text) {
    return {"message: エラー: " + text, "close"};
  }

  TestHost host;
  Interp in{host};
};

// A new name fits when bytes in use + 2 x length + 4 stays below 640,000.
TEST_F(Memory, TheStringAreaRefusesTheNameThatWouldLeaveTwoBytes) {
  const size_t fits = (size_t(STRING_AREA_BYTES) - 6 - in.stringTop * 2) / 2;
  EXPECT_EQ(InternName(in, std::u16string(fits + 1, u'a')), NO_NAME);
  EXPECT_EQ(host.events, Fatal("ストリング領域が一杯です。終了します。"));

  TestHost host2;
  Interp in2(host2);
  ASSERT_TRUE(InitMemory(in2));
  NameRef longest = InternName(in2, std::u16string(fits, u'a'));
  ASSERT_NE(longest, NO_NAME);
  EXPECT_EQ(size_t(in2.stringTop) * 2, size_t(STRING_AREA_BYTES) - 4);
  EXPECT_EQ(host2.events, Lines{});
  // Four bytes left: stored names are found, even the empty one is refused,
  // and once closing a second refusal shows nothing more.
  EXPECT_EQ(InternName(in2, std::u16string(fits, u'a')), longest);
  EXPECT_EQ(InternName(in2, u"T"), 4u);
  EXPECT_EQ(InternName(in2, u""), NO_NAME);
  EXPECT_EQ(InternName(in2, u"x"), NO_NAME);
  EXPECT_EQ(host2.events, Fatal("ストリング領域が一杯です。終了します。"));
}

TEST_F(Memory, EachTableHoldsThreeThousandOneHundredNinetyNine) {
  // NIL and T are globals 0 and 1.
  for (int k = 2; k < TABLE_CAPACITY - 1; ++k)
    ASSERT_EQ(FindOrAddGlobal(in, Name(k)), k);
  for (int k = 0; k < TABLE_CAPACITY - 1; ++k)
    ASSERT_NE(FindOrAddFunction(in, Name(k)), nullptr);
  FunctionEntry* first = FindOrAddFunction(in, Name(0));
  EXPECT_EQ(first, &in.functions[0]);
  EXPECT_EQ(FindOrAddGlobal(in, Name(1000)), 1000);
  EXPECT_EQ(FindOrAddGlobal(in, InternName(in, u"T")), 1);
  EXPECT_EQ(host.events, Lines{});

  EXPECT_EQ(FindOrAddGlobal(in, Name(5000)), -1);
  EXPECT_EQ(FindGlobal(in, Name(5000)), -1);
  EXPECT_EQ(host.events,
            Fatal("グローバル変数領域が不足しています。終了します。"));
  host.events.clear();
  in.closing = false;
  EXPECT_EQ(FindOrAddFunction(in, Name(5000)), nullptr);
  EXPECT_EQ(FindFunction(in, Name(5000)), nullptr);
  EXPECT_EQ(host.events, Fatal("関数領域が一杯になりました。終了します。"));
  EXPECT_EQ(in.globalCount, 3199);
  EXPECT_EQ(in.functionCount, 3199);
}

// An area is full when only its last element is free, wherever the cursor
// stands; a number needs a Cell first.
TEST_F(Memory, AnAreaIsFullWithOneElementLeft) {
  for (int32_t i = 1; i < CELL_CAPACITY; ++i) in.cells[i].mark = MARK_USED;
  MoveCellCursor(in, 1234);
  ResetAllocationLimits(in);
  EXPECT_EQ(AllocCell(in), ERROR_VALUE);
  EXPECT_EQ(MakeNumber(in, 1), ERROR_VALUE);
  EXPECT_EQ(FreeNumbers(in), NUMBER_CAPACITY);
  EXPECT_EQ(host.events, Fatal("セル領域が一杯です。終了します。"));
  TestHost host2;
  Interp in2(host2);
  ASSERT_TRUE(InitMemory(in2));
  SetFreeNumbers(in2, 1);
  ResetAllocationLimits(in2);
  EXPECT_EQ(MakeNumber(in2, 1), ERROR_VALUE);
  EXPECT_EQ(host2.events, Fatal("数値領域が一杯です。終了します。"));
}

// The flag comes with the allocation that brings a cursor moving one Cell
// per allocation to the last Cell, wherever early reclaiming has put the
// cursor since; it stays for good and shows in the collector's line. After
// it, allocation takes the common case again: a long session must not slow
// down for good once it has made as many Cells as the area holds.
TEST_F(Memory, TheWrapFlagComesWithTheAllocationThatReachesTheLastCell) {
  EXPECT_EQ(WrapCountdown(in), uint32_t(CELL_CAPACITY - 3));  // after NIL, T
  SetWrapCountdown(in, 2);
  ResetAllocationLimits(in);
  AllocCell(in);
  EXPECT_EQ(in.WrapFlag, 0);
  AllocCell(in);
  EXPECT_EQ(in.WrapFlag, 1);
  EXPECT_TRUE(CellUnderCursorIsTakeable(in));
  AllocCell(in);
  Collect(in);
  EXPECT_EQ(in.WrapFlag, 1);
  EXPECT_EQ(host.events,
            Lines{"title: gc: 使用中のセル数は 2 使用中の数値の数は 0 *"});
}

// A search that runs off the end of an area goes on from its front: the
// element it finds there is counted once, in the free count and in the
// wrap countdown, wherever the cursor stood.
TEST_F(Memory, ASearchPastTheEndTakesTheFirstFreeElementAtTheFront) {
  MoveCellCursor(in, LAST_CELL - 1);
  MoveNumberCursor(in, LAST_SLOT - 1);
  in.cells[LAST_CELL].mark = MARK_USED;
  in.numbers[LAST_SLOT - 1].mark = MARK_USED;
  ResetAllocationLimits(in);
  int32_t freeCells = FreeCells(in), freeNumbers = FreeNumbers(in);
  uint32_t countdown = WrapCountdown(in);
  Ref number = MakeNumber(in, 5);
  EXPECT_EQ(number, Ref(3));  // after NIL and T
  EXPECT_EQ(in.cells[number].car, 0u);
  EXPECT_EQ(FreeCells(in), freeCells - 1);
  EXPECT_EQ(FreeNumbers(in), freeNumbers - 1);
  EXPECT_EQ(WrapCountdown(in), countdown - 1);
  EXPECT_EQ(AllocCell(in), Ref(4));
  EXPECT_EQ(AllocNumberSlot(in, 6), 1);
  EXPECT_EQ(FreeCells(in), freeCells - 2);
  EXPECT_EQ(FreeNumbers(in), freeNumbers - 2);
  EXPECT_EQ(host.events, Lines{});
}

// Elements in use under the cursor are passed, in the common case as in the
// search: the next free one is taken, counted once, wherever the common
// case's limit ends the passing.
TEST_F(Memory, AllocationTakesTheFirstFreeElementAfterThoseInUse) {
  struct Case {
    uint32_t used;   // Cells and NumberSlots in use from the cursor on
    uint32_t limit;  // the common case's limit, from the cursor
  };
  for (Case c : {Case{5, 100}, Case{5, 3}, Case{0, 100}, Case{70, 100}}) {
    TestHost h;
    Interp i(h);
    ASSERT_TRUE(InitMemory(i));
    uint32_t cell = i.cellCursor, slot = i.numberCursor;
    for (uint32_t k = 1; k <= c.used; ++k) {
      i.cells[cell + k].mark = MARK_USED;
      i.numbers[slot + k - 1].mark = MARK_USED;
    }
    ResetAllocationLimits(i);
    i.cellFastEnd = std::min(i.cellFastEnd, cell + c.limit);
    i.slotFastEnd = std::min(i.slotFastEnd, slot + c.limit);
    int32_t freeCells = FreeCells(i), freeNumbers = FreeNumbers(i);
    Ref number = MakeNumber(i, 7);
    EXPECT_EQ(number, cell + c.used + 1) << c.used << " " << c.limit;
    EXPECT_EQ(i.cells[number].car, slot + c.used);
    EXPECT_EQ(NumberValue(i, number), 7.0f);
    EXPECT_EQ(FreeCells(i), freeCells - 1);
    EXPECT_EQ(FreeNumbers(i), freeNumbers - 1);
    EXPECT_EQ(AllocCell(i), number + 1);
    EXPECT_EQ(h.events, Lines{});
  }
}

// Refuses the reservation numbered refuse (from 0), and counts what it
// hands out and gets back.
class RefusingHost : public TestHost {
 public:
  explicit RefusingHost(int refuse) : refuse_(refuse) {}
  void* ReserveArea(size_t bytes, AreaUse use) override {
    return calls_++ == refuse_ ? nullptr
                               : (++held, TestHost::ReserveArea(bytes, use));
  }
  void ReleaseArea(void* area, size_t bytes) override {
    --held;
    TestHost::ReleaseArea(area, bytes);
  }
  int held = 0;

 private:
  int refuse_, calls_ = 0;
};

TEST(MemoryStartUp, EachRefusedAreaShowsItsMessageAndClosesOnce) {
  const char* expected[] = {"セル領域の獲得に失敗しました",
                            "ストリング領域の獲得に失敗しました",
                            "数値領域の獲得に失敗しました",
                            "グローバル変数領域の獲得に失敗しました",
                            "関数領域の獲得に失敗しました",
                            "セルスタック領域の獲得に失敗しました",
                            "ローカルスタック領域の獲得に失敗しました",
                            "初期化に失敗しました",
                            "初期化に失敗しました"};
  for (int k = 0; k < int(std::size(expected)); ++k) {
    RefusingHost host(k);
    {
      Interp in(host);
      EXPECT_FALSE(InitMemory(in)) << k;
      EXPECT_EQ(
          host.events,
          (Lines{std::string("message: エラー: ") + expected[k], "close"}));
      EXPECT_EQ(host.held, k);
    }
    EXPECT_EQ(host.held, 0) << "every area reserved is given back";
  }
}

}  // namespace
}  // namespace vex::test
