#include "scan/name_pool.h"

#include <gtest/gtest.h>

#include <string>

TEST(NamePool, FillsExactlyThenRefusesEvenEmptyText) {
  NamePool pool;
  ASSERT_TRUE(pool.Reset(10));
  const char* first = pool.Append("123456789");
  EXPECT_EQ(first, pool.base);
  EXPECT_STREQ(first, "123456789");
  EXPECT_EQ(pool.used, 10);
  EXPECT_EQ(pool.Append(""), nullptr);
  EXPECT_EQ(pool.used, 10);
  pool.Release();
}

TEST(NamePool, RefusedTextLeavesRoomForShorterOne) {
  NamePool pool;
  ASSERT_TRUE(pool.Reset(8));
  ASSERT_NE(pool.Append("abc"), nullptr);  // 4 bytes used
  EXPECT_EQ(pool.Append("abcd"), nullptr);  // needs 5 of the 4 left
  EXPECT_EQ(pool.used, 4);
  const char* fits = pool.Append("xyz");
  ASSERT_NE(fits, nullptr);
  EXPECT_EQ(fits, pool.base + 4);
  EXPECT_EQ(pool.used, 8);
  pool.Release();
}

TEST(NamePool, SameTextTwiceGivesTwoCopiesAndResetStartsOver) {
  NamePool pool;
  EXPECT_EQ(pool.Append("x"), nullptr);  // no storage yet
  ASSERT_TRUE(pool.Reset(64));
  const char* a = pool.Append("same");
  const char* b = pool.Append("same");
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_STREQ(a, b);
  ASSERT_TRUE(pool.Reset(64));
  EXPECT_EQ(pool.used, 0);
  EXPECT_EQ(pool.Append("again"), pool.base);
  pool.Release();
}

TEST(NamePool, GrowingKeepsEarlierTextsInPlaceAndStopsAtTheCeiling) {
  NamePool pool;
  ASSERT_TRUE(pool.Reset(8));
  const char* first = pool.AppendGrowing("abcdef");  // 7 of 8
  const char* second = pool.AppendGrowing("ghij");   // a new arena of 8
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(first, "abcdef");
  EXPECT_EQ(second, pool.base);
  ASSERT_EQ(pool.earlier.size(), 1u);
  EXPECT_EQ(pool.earlier[0].base, first);
  EXPECT_EQ(pool.earlier[0].used, 7);
  // A text longer than the arena gets an arena of its own size.
  const char* longer = pool.AppendGrowing("0123456789abc");
  ASSERT_NE(longer, nullptr);
  EXPECT_EQ(pool.capacity, 14);
  EXPECT_STREQ(second, "ghij");
  // Held: 7 + 5 in the earlier arenas and 14 in this one.
  pool.ceiling = 7 + 5 + 14 + 3;
  EXPECT_EQ(pool.AppendGrowing("wxyz"), nullptr);
  EXPECT_NE(pool.AppendGrowing("wx"), nullptr);
  pool.Release();
  EXPECT_TRUE(pool.earlier.empty());
}

TEST(NamePool, RelocatingKeepsOffsetsAndStopsAtTheCeiling) {
  NamePool pool;
  ASSERT_TRUE(pool.Reset(8));
  ASSERT_NE(pool.AppendRelocating("abc"), nullptr);
  ASSERT_NE(pool.AppendRelocating("defg"), nullptr);  // exactly full
  const char* moved = pool.AppendRelocating("hij");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(pool.capacity, 16);
  EXPECT_EQ(moved, pool.base + 9);
  EXPECT_STREQ(pool.base, "abc");
  EXPECT_STREQ(pool.base + 4, "defg");
  EXPECT_TRUE(pool.earlier.empty());
  // The old arena and the new one are held at once while the texts move.
  pool.used = pool.capacity;
  pool.ceiling = 16 + 17;
  EXPECT_EQ(pool.AppendRelocating("x"), nullptr);
  EXPECT_EQ(pool.used, 16);
  pool.ceiling = 16 + 18;
  EXPECT_NE(pool.AppendRelocating("x"), nullptr);
  EXPECT_EQ(pool.capacity, 18);
  pool.Release();
}
