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
