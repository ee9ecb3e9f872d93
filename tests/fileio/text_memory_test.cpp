#include "fileio/text_memory.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace drumlo {
namespace {

constexpr std::size_t kBlock = TextMemory::kBlockUnits;

bool BlockHolds(const TextMemory& memory, std::size_t block, char16_t unit) {
  const char16_t* begin = memory.Data() + block * kBlock;
  return std::all_of(begin, begin + kBlock, [unit](char16_t u) { return u == unit; });
}

TEST(TextMemoryTest, ReservedUnitsCanBeWrittenFirstToLast) {
  for (const std::size_t units : {std::size_t{0}, std::size_t{1}, 3 * kBlock + 5}) {
    const std::unique_ptr<TextMemory> memory = TextMemory::Reserve(units);
    ASSERT_NE(memory, nullptr) << units;
    ASSERT_GE(memory->Capacity(), std::max<std::size_t>(units, 1));
    char16_t* const last = memory->Data() + memory->Capacity() - 1;
    *last = u'>';
    memory->Data()[0] = u'<';
    EXPECT_EQ(memory->Data()[0], u'<');
    if (last != memory->Data()) {
      EXPECT_EQ(*last, u'>');
    }
  }
}

TEST(TextMemoryTest, AMovedBlockTakesItsUnitsAlongAndLeavesZeros) {
  const std::unique_ptr<TextMemory> memory = TextMemory::Reserve(3 * kBlock + 5);
  ASSERT_NE(memory, nullptr);
  std::fill(memory->Data(), memory->Data() + kBlock, u'a');
  const bool moved = memory->MoveBlock(0, 2);
#if defined(__linux__)
  ASSERT_TRUE(moved);
#endif
  if (!moved) {
    EXPECT_TRUE(BlockHolds(*memory, 0, u'a'));  // refused: nothing changed
    GTEST_SKIP() << "this platform gives every block pages of its own";
  }
  EXPECT_TRUE(BlockHolds(*memory, 2, u'a'));
  EXPECT_TRUE(BlockHolds(*memory, 0, u'\0'));
  memory->Data()[7] = u'z';  // the emptied block is still this text's memory
  EXPECT_EQ(memory->Data()[7], u'z');
}

TEST(TextMemoryTest, BlocksOutsideTheTextOrOntoThemselvesAreRefused) {
  const std::unique_ptr<TextMemory> memory = TextMemory::Reserve(3 * kBlock + 5);
  ASSERT_NE(memory, nullptr);
  memory->Data()[0] = u'x';
  EXPECT_FALSE(memory->MoveBlock(0, 3));  // block 3 is only partly the text's
  EXPECT_FALSE(memory->MoveBlock(3, 0));
  EXPECT_FALSE(memory->MoveBlock(1, 1));
  EXPECT_EQ(memory->Data()[0], u'x');
}

}  // namespace
}  // namespace drumlo
