// The private heap's three calls and the container allocator over them.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <list>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "app/private_heap.h"

namespace {

TEST(PrivateHeapTest, OverflowingProductGivesNull) {
  EXPECT_EQ(PrivateHeapAlloc(SIZE_MAX, 2), nullptr);
  EXPECT_EQ(PrivateHeapAlloc(2, SIZE_MAX), nullptr);
  EXPECT_EQ(PrivateHeapAlloc(SIZE_MAX / 2 + 1, 2), nullptr);
  EXPECT_EQ(PrivateHeapAlloc(SIZE_MAX, SIZE_MAX), nullptr);
  EXPECT_EQ(PrivateHeapAlloc(size_t{1} << 33, size_t{1} << 33), nullptr);
}

TEST(PrivateHeapTest, BlockHoldsCountTimesSizeBytes) {
  constexpr size_t kCount = 1000;
  auto* block = static_cast<uint32_t*>(PrivateHeapAlloc(kCount, sizeof(uint32_t)));
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % alignof(std::max_align_t), 0u);
  for (size_t i = 0; i < kCount; ++i) block[i] = static_cast<uint32_t>(i * 2654435761u);
  for (size_t i = 0; i < kCount; ++i) ASSERT_EQ(block[i], static_cast<uint32_t>(i * 2654435761u));
  PrivateHeapFree(block);
}

TEST(PrivateHeapTest, BlocksDoNotOverlap) {
  std::vector<unsigned char*> blocks;
  for (int i = 0; i < 64; ++i) {
    auto* block = static_cast<unsigned char*>(PrivateHeapAlloc(16, 3));
    ASSERT_NE(block, nullptr);
    std::memset(block, i, 48);
    blocks.push_back(block);
  }
  for (int i = 0; i < 64; ++i) {
    for (int k = 0; k < 48; ++k) ASSERT_EQ(blocks[i][k], i) << "block " << i << " byte " << k;
  }
  for (unsigned char* block : blocks) PrivateHeapFreeIfSet(block);
}

TEST(PrivateHeapTest, FreeIfSetAcceptsNull) {
  PrivateHeapFreeIfSet(nullptr);
  void* block = PrivateHeapAlloc(1, 8);
  ASSERT_NE(block, nullptr);
  PrivateHeapFreeIfSet(block);
}

TEST(PrivateHeapTest, AllocatorBacksAVector) {
  std::vector<int, PrivateHeapAllocator<int>> values;
  for (int i = 0; i < 10000; ++i) values.push_back(i * 3);
  ASSERT_EQ(values.size(), 10000u);
  for (int i = 0; i < 10000; ++i) ASSERT_EQ(values[i], i * 3);
  values.erase(values.begin(), values.begin() + 5000);
  values.shrink_to_fit();
  EXPECT_EQ(values.front(), 15000);
  std::vector<int, PrivateHeapAllocator<int>> copy = values;
  EXPECT_EQ(copy, values);
}

TEST(PrivateHeapTest, AllocatorRebindsForNodeContainers) {
  using Alloc = PrivateHeapAllocator<std::pair<const int, std::u16string>>;
  std::map<int, std::u16string, std::less<int>, Alloc> table;
  for (int i = 0; i < 500; ++i) table.emplace(i, std::u16string(static_cast<size_t>(i % 40), u'あ'));
  EXPECT_EQ(table.size(), 500u);
  EXPECT_EQ(table.at(39).size(), 39u);
  std::list<double, PrivateHeapAllocator<double>> list(100, 1.5);
  EXPECT_EQ(list.size(), 100u);
  EXPECT_DOUBLE_EQ(list.back(), 1.5);
  using Text = std::basic_string<char16_t, std::char_traits<char16_t>, PrivateHeapAllocator<char16_t>>;
  Text text(1000, u'z');
  text += u"末尾";
  EXPECT_EQ(text.size(), 1002u);
  EXPECT_EQ(text.back(), u'尾');
}

TEST(PrivateHeapTest, AllocatorsCompareEqualAcrossTypes) {
  PrivateHeapAllocator<int> a;
  PrivateHeapAllocator<double> b(a);
  EXPECT_TRUE(a == b);
  // Memory from one is freed by any other.
  int* p = a.allocate(4);
  PrivateHeapAllocator<int>(b).deallocate(p, 4);
}

TEST(PrivateHeapTest, AllocatorThrowsBadAllocOnOverflow) {
  PrivateHeapAllocator<uint64_t> alloc;
  EXPECT_THROW(alloc.allocate(SIZE_MAX / 4), std::bad_alloc);  // the byte count overflows
  EXPECT_THROW(alloc.allocate(SIZE_MAX / 8 + 1), std::bad_alloc);
}

}  // namespace
