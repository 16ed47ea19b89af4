#include <gtest/gtest.h>

#include "app/NumberFormat.h"

namespace ruvevid {
namespace {

struct FormatCase {
  double Value;
  char Separator;
  const char* Expected;
};

class FormatThousandsTest : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatThousandsTest, GroupsAndRounds) {
  EXPECT_EQ(FormatThousands(GetParam().Value, GetParam().Separator), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormatThousandsTest,
    ::testing::Values(FormatCase{0, ',', "0"}, FormatCase{0.49, ',', "0"},
                      FormatCase{0.5, ',', "1"}, FormatCase{999.4, ',', "999"},
                      FormatCase{999.5, ',', "1,000"}, FormatCase{1500, ',', "1,500"},
                      FormatCase{123456, ',', "123,456"}, FormatCase{1234567, '.', "1.234.567"},
                      FormatCase{2097151.999, ',', "2,097,152"}, FormatCase{-1536, ',', "-1,536"},
                      FormatCase{12, ' ', "12"}));

TEST(FormatKBytesTest, DividesByKibibytes) {
  EXPECT_EQ(FormatKBytes(1536000, ','), "1,500");
  EXPECT_EQ(FormatKBytes(255, ','), "0");
  EXPECT_EQ(FormatKBytes(512, ','), "1");  // 0.5 rounds up
  EXPECT_EQ(FormatKBytes(2147483647, ','), "2,097,152");
}

}  // namespace
}  // namespace ruvevid
