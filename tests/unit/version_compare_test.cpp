// Version texts "a.b.c.d" compared part by part as numbers.
#include <gtest/gtest.h>

#include "util/VersionCompare.h"

namespace {

TEST(CompareVersions, ComparesPartsAsNumbersNotText) {
  EXPECT_EQ(CompareVersions(L"1.0.0.9", L"1.0.0.10"), -1);
  EXPECT_EQ(CompareVersions(L"1.0.0.10", L"1.0.0.9"), 1);
  EXPECT_EQ(CompareVersions(L"2.0.0.1124", L"2.0.0.1125"), -1);
  EXPECT_EQ(CompareVersions(L"10.0.0.0", L"9.99.99.99"), 1);
}

TEST(CompareVersions, EqualTextsAreEqual) {
  EXPECT_EQ(CompareVersions(L"2.0.0.1130", L"2.0.0.1130"), 0);
}

TEST(CompareVersions, EarlierPartsDecideFirst) {
  EXPECT_EQ(CompareVersions(L"1.9.9.9", L"2.0.0.0"), -1);
  EXPECT_EQ(CompareVersions(L"1.2.0.0", L"1.1.99.99"), 1);
}

TEST(CompareVersions, MissingPartsCountAsZero) {
  EXPECT_EQ(CompareVersions(L"1.2", L"1.2.0.0"), 0);
  EXPECT_EQ(CompareVersions(L"1.2", L"1.2.0.1"), -1);
  EXPECT_EQ(CompareVersions(L"1", L"0.9.9.9"), 1);
}

TEST(CompareVersions, UnreadableTextCountsAsZeros) {
  EXPECT_EQ(CompareVersions(L"", L"0.0.0.0"), 0);
  EXPECT_EQ(CompareVersions(L"abc", L"0.0.0.1"), -1);
  EXPECT_EQ(CompareVersions(nullptr, L"0.0.0.0"), 0);
  EXPECT_EQ(CompareVersions(L"3.x.5.6", L"3.0.0.0"), 0);
}

}  // namespace
