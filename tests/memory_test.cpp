// The fixed areas: NIL and T, interning and the StringArea's exact-fit rule,
// the capacity of the variable and function tables, next-fit allocation
// with its wrap flag and the fatal ends of full areas.
#include "memory/memory.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "tests/test_host.h"

namespace vex::coretest {
namespace {

class MemoryTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitMemory(in)); }
  // A distinct name per number.
  NameRef Name(int k) { return InternName(in, u"n" + Digits(k)); }
  static std::u16string Digits(int k) {
    std::u16string s;
    for (char c : std::to_string(k)) s += char16_t(c);
    return s;
  }

  CoreHost host;
  Interp in{host};
};

TEST_F(MemoryTest, StartsWithNilThenTBoundToThemselves) {
  ASSERT_EQ(in.globalCount, 2);
  EXPECT_EQ(NameText(in, in.globals[0].name), u"NIL");
  EXPECT_EQ(in.globals[0].value, in.NIL);
  EXPECT_EQ(NameText(in, in.globals[1].name), u"T");
  EXPECT_EQ(in.globals[1].value, in.T);
  EXPECT_TRUE(IsSymbol(in, in.NIL));
  EXPECT_TRUE(IsSymbol(in, in.T));
  EXPECT_EQ(in.functionCount, 0);
  EXPECT_EQ(in.FreeCells, CELL_CAPACITY - 2);
  EXPECT_EQ(in.FreeNumbers, NUMBER_CAPACITY);
  EXPECT_EQ(in.WrapFlag, 0);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(MemoryTest, ANameIsStoredOnce) {
  uint32_t top = in.stringTop;
  NameRef a = InternName(in, u"abc");
  EXPECT_EQ(in.stringTop, top + 4);
  EXPECT_EQ(InternName(in, u"abc"), a);
  EXPECT_EQ(InternName(in, std::u16string(u"xabc").substr(1)), a);
  EXPECT_EQ(in.stringTop, top + 4);
  // Case counts; the empty name is a name too.
  EXPECT_NE(InternName(in, u"ABC"), a);
  NameRef empty = InternName(in, u"");
  EXPECT_EQ(InternName(in, u""), empty);
  EXPECT_EQ(InternName(in, u"NIL"), 0u);
}

// A new name fits when bytes in use + 2 x length + 4 stays below 640,000.
TEST_F(MemoryTest, StringAreaRefusesTheNameThatWouldLeaveTwoBytes) {
  const size_t used = size_t(in.stringTop) * 2;
  const size_t refused = (size_t(STRING_AREA_BYTES) - 4 - used) / 2;
  ASSERT_EQ(used + 2 * refused + 4, size_t(STRING_AREA_BYTES));
  uint32_t top = in.stringTop;
  EXPECT_EQ(InternName(in, std::u16string(refused, u'a')), NO_NAME);
  EXPECT_EQ(in.stringTop, top);
  EXPECT_EQ(in.strings[top], 0);
  ASSERT_EQ(host.messages,
            std::vector<std::string>{
                "エラー: ストリング領域が一杯です。終了します。"});
  EXPECT_EQ(host.closes, 1);

  // One unit shorter fits and leaves exactly four bytes: then even the
  // empty name is refused, while a stored name is still found.
  CoreHost host2;
  Interp in2(host2);
  ASSERT_TRUE(InitMemory(in2));
  NameRef fits = InternName(in2, std::u16string(refused - 1, u'a'));
  ASSERT_NE(fits, NO_NAME);
  EXPECT_EQ(size_t(in2.stringTop) * 2, size_t(STRING_AREA_BYTES) - 4);
  EXPECT_TRUE(host2.messages.empty());
  EXPECT_EQ(InternName(in2, std::u16string(refused - 1, u'a')), fits);
  EXPECT_EQ(InternName(in2, u"T"), 4u);  // "NIL\0" then "T"
  EXPECT_EQ(InternName(in2, u""), NO_NAME);
  EXPECT_EQ(host2.closes, 1);
  // Once closing, a second full area shows nothing more.
  EXPECT_EQ(InternName(in2, u"x"), NO_NAME);
  EXPECT_EQ(host2.messages.size(), 1u);
  EXPECT_EQ(host2.closes, 1);
}

TEST_F(MemoryTest, GlobalTableHoldsThreeThousandOneHundredNinetyNine) {
  for (int k = 2; k < TABLE_CAPACITY - 1; ++k)
    ASSERT_EQ(FindOrAddGlobal(in, Name(k)), k);
  EXPECT_EQ(in.globalCount, 3199);
  EXPECT_EQ(in.globals[3198].value, in.NIL);
  // Existing names are still found, and the first two are NIL and T.
  EXPECT_EQ(FindOrAddGlobal(in, Name(1000)), 1000);
  EXPECT_EQ(FindOrAddGlobal(in, InternName(in, u"T")), 1);
  EXPECT_TRUE(host.messages.empty());

  NameRef extra = Name(5000);
  EXPECT_EQ(FindGlobal(in, extra), -1);
  EXPECT_EQ(FindOrAddGlobal(in, extra), -1);
  EXPECT_EQ(in.globalCount, 3199);
  EXPECT_EQ(host.messages,
            std::vector<std::string>{
                "エラー: グローバル変数領域が不足しています。終了します。"});
  EXPECT_EQ(host.closes, 1);
  EXPECT_EQ(FindGlobal(in, Name(3198)), 3198);
}

TEST_F(MemoryTest, FunctionTableHoldsThreeThousandOneHundredNinetyNine) {
  FunctionEntry* first = FindOrAddFunction(in, Name(0));
  ASSERT_NE(first, nullptr);
  first->definition = in.T;
  for (int k = 1; k < TABLE_CAPACITY - 1; ++k)
    ASSERT_NE(FindOrAddFunction(in, Name(k)), nullptr);
  EXPECT_EQ(in.functionCount, 3199);
  // A redefinition finds the entry in place, definition and all.
  EXPECT_EQ(FindOrAddFunction(in, Name(0)), first);
  EXPECT_EQ(first->definition, in.T);
  EXPECT_EQ(in.functionCount, 3199);
  EXPECT_TRUE(host.messages.empty());

  EXPECT_EQ(FindOrAddFunction(in, Name(5000)), nullptr);
  EXPECT_EQ(FindFunction(in, Name(5000)), nullptr);
  EXPECT_EQ(host.messages,
            std::vector<std::string>{
                "エラー: 関数領域が一杯になりました。終了します。"});
  EXPECT_EQ(host.closes, 1);
}

TEST_F(MemoryTest, TheCellCursorWrapsBeforeTheLastCell) {
  in.cellCursor = CELL_CAPACITY - 3;
  ResetAllocationLimits(in);
  Ref a = AllocCell(in);
  EXPECT_EQ(a, Ref(CELL_CAPACITY - 2));
  Ref b = AllocCell(in);
  EXPECT_EQ(b, Ref(CELL_CAPACITY - 1));
  EXPECT_EQ(in.cellCursor, 0u);
  // Back at the start, NIL and T are in use; the last Cell was skipped.
  Ref c = AllocCell(in);
  EXPECT_EQ(c, Ref(3));
  EXPECT_EQ(in.cells[CELL_CAPACITY].mark, 0);
  EXPECT_EQ(in.FreeCells, CELL_CAPACITY - 5);
}

// The flag comes with the 31,999,999th allocation, the one that brings a
// cursor moving one Cell per allocation to the last Cell, wherever early
// reclaiming has put the cursor since.
TEST_F(MemoryTest, TheWrapFlagComesWithTheAllocationThatReachesTheLastCell) {
  EXPECT_EQ(in.wrapCountdown, uint32_t(CELL_CAPACITY - 3));  // after NIL, T
  in.wrapCountdown = 2;
  ResetAllocationLimits(in);
  AllocCell(in);
  EXPECT_EQ(in.WrapFlag, 0);
  AllocCell(in);
  EXPECT_EQ(in.WrapFlag, 1);
  AllocCell(in);
  EXPECT_EQ(in.WrapFlag, 1);
  // The flag stays set for good and shows in the collector's line.
  Collect(in);
  EXPECT_EQ(in.WrapFlag, 1);
  EXPECT_EQ(host.titles.back(),
            "gc: 使用中のセル数は 2 使用中の数値の数は 0 *");
}

// The free count alone says when the area is full: every Cell but the
// last in use, wherever the cursor stands.
TEST_F(MemoryTest, TheCellAreaIsFullWhenOnlyTheLastCellIsFree) {
  in.FreeCells = 2;
  ResetAllocationLimits(in);
  EXPECT_NE(AllocCell(in), ERROR_VALUE);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(AllocCell(in), ERROR_VALUE);
  EXPECT_EQ(host.messages, std::vector<std::string>{
                               "エラー: セル領域が一杯です。終了します。"});
  in.FreeNumbers = 1;
  ResetAllocationLimits(in);
  EXPECT_EQ(AllocNumberSlot(in, 1), -1);
  EXPECT_EQ(host.closes, 1);
}

TEST_F(MemoryTest, TheNumberCursorWrapsWithoutAFlag) {
  in.numberCursor = NUMBER_CAPACITY - 2;
  ResetAllocationLimits(in);
  EXPECT_EQ(AllocNumberSlot(in, 1.5f), NUMBER_CAPACITY - 2);
  EXPECT_EQ(in.numberCursor, 0u);
  EXPECT_EQ(AllocNumberSlot(in, 2.5f), 0);
  EXPECT_EQ(in.WrapFlag, 0);
  EXPECT_EQ(in.FreeNumbers, NUMBER_CAPACITY - 2);
  Collect(in);
  EXPECT_EQ(host.titles.back(),
            "gc: 使用中のセル数は 2 使用中の数値の数は 0  ");
}

TEST_F(MemoryTest, AFullCellAreaIsFatalThoughTheLastCellIsFree) {
  for (int32_t i = 1; i < CELL_CAPACITY; ++i) in.cells[i].mark = MARK_USED;
  in.cellCursor = 1234;
  ResetAllocationLimits(in);
  EXPECT_EQ(AllocCell(in), ERROR_VALUE);
  EXPECT_EQ(in.cells[CELL_CAPACITY].mark, 0);
  EXPECT_EQ(in.cellCursor, 1234u);  // a whole round of the usable Cells
  EXPECT_EQ(host.messages, std::vector<std::string>{
                               "エラー: セル領域が一杯です。終了します。"});
  EXPECT_EQ(host.closes, 1);
  // A number needs a Cell first: no slot is taken.
  EXPECT_EQ(MakeNumber(in, 1), ERROR_VALUE);
  EXPECT_EQ(in.FreeNumbers, NUMBER_CAPACITY);
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(MemoryTest, AFullNumberAreaIsFatal) {
  for (int32_t i = 0; i < NUMBER_CAPACITY - 1; ++i)
    in.numbers[i].mark = MARK_USED;
  EXPECT_EQ(MakeNumber(in, 1), ERROR_VALUE);
  EXPECT_EQ(in.numbers[NUMBER_CAPACITY - 1].mark, 0);
  EXPECT_EQ(host.messages, std::vector<std::string>{
                               "エラー: 数値領域が一杯です。終了します。"});
  EXPECT_EQ(host.closes, 1);
}

TEST_F(MemoryTest, TheRootStacksHoldOneEntryLessThanTheirSize) {
  in.cellTop = CELL_STACK_CAPACITY - 2;
  EXPECT_TRUE(PushCell(in, in.NIL));
  EXPECT_FALSE(PushCell(in, in.T));
  EXPECT_EQ(in.cellTop, uint32_t(CELL_STACK_CAPACITY - 1));
  EXPECT_EQ(host.messages, std::vector<std::string>{
                               "エラー: セルスタックが一杯です。終了します"});
  EXPECT_EQ(host.closes, 1);

  // A Frame is pushed Binding by Binding; those pushed before the refusal
  // stay.
  CoreHost host2;
  Interp in2(host2);
  ASSERT_TRUE(InitMemory(in2));
  in2.localTop = LOCAL_STACK_CAPACITY - 3;
  EXPECT_FALSE(PushLocals(in2, Frame{10, 3}));
  EXPECT_EQ(in2.localTop, uint32_t(LOCAL_STACK_CAPACITY - 1));
  EXPECT_EQ(in2.localStack[LOCAL_STACK_CAPACITY - 2], 12u);
  EXPECT_EQ(host2.messages,
            std::vector<std::string>{
                "エラー: ローカルスタックが一杯です。終了します"});
  EXPECT_EQ(host2.closes, 1);
}

// A host that refuses the reservation numbered refuse (from 0) and counts
// what it hands out and gets back.
class RefusingHost : public CoreHost {
 public:
  explicit RefusingHost(int refuse) : refuse_(refuse) {}
  void* ReserveArea(size_t bytes) override {
    if (reserved_ + refused_ == refuse_) {
      ++refused_;
      return nullptr;
    }
    ++reserved_;
    return CoreHost::ReserveArea(bytes);
  }
  void ReleaseArea(void* area, size_t bytes) override {
    ++released;
    CoreHost::ReleaseArea(area, bytes);
  }
  int released = 0;
  int reserved() const { return reserved_; }

 private:
  int refuse_;
  int reserved_ = 0;
  int refused_ = 0;
};

TEST(MemoryStartUp, EachRefusedAreaShowsItsMessageAndClosesOnce) {
  const char* expected[] = {
      "セル領域の獲得に失敗しました",
      "ストリング領域の獲得に失敗しました",
      "数値領域の獲得に失敗しました",
      "グローバル変数領域の獲得に失敗しました",
      "関数領域の獲得に失敗しました",
      "セルスタック領域の獲得に失敗しました",
      "ローカルスタック領域の獲得に失敗しました",
      "初期化に失敗しました",
      "初期化に失敗しました",
  };
  for (int k = 0; k < int(std::size(expected)); ++k) {
    RefusingHost host(k);
    {
      Interp in(host);
      EXPECT_FALSE(InitMemory(in)) << k;
      EXPECT_EQ(host.messages,
                std::vector<std::string>{std::string("エラー: ") + expected[k]})
          << k;
      EXPECT_EQ(host.closes, 1) << k;
      EXPECT_EQ(host.reserved(), k);
    }
    EXPECT_EQ(host.released, k) << "every area reserved is given back";
  }
}

}  // namespace
}  // namespace vex::coretest
