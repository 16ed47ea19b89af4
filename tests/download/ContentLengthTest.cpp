#include <gtest/gtest.h>

#include <string>

#include "download/ContentLength.h"

namespace ruvevid {
namespace {

struct LengthCase {
  std::string Text;
  std::int32_t Value;
};

class ContentLengthTest : public testing::TestWithParam<LengthCase> {};

TEST_P(ContentLengthTest, ReadsAsThirtyTwoBitInteger) {
  EXPECT_EQ(ParseContentLength(GetParam().Text), GetParam().Value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ContentLengthTest,
    testing::Values(LengthCase{"1000", 1000}, LengthCase{"0", 0}, LengthCase{"", 0},
                    LengthCase{"  42 \t", 42}, LengthCase{std::string("\x01\x1f 7\r\n"), 7},
                    LengthCase{std::string("9\0", 2), 9}, LengthCase{"+15", 15},
                    LengthCase{"-15", -15}, LengthCase{"-0", 0}, LengthCase{"+", 0},
                    LengthCase{"-", 0}, LengthCase{"2147483647", 2147483647},
                    LengthCase{"2147483648", 0}, LengthCase{"-2147483648", -2147483647 - 1},
                    LengthCase{"-2147483649", 0}, LengthCase{"99999999999999999999", 0},
                    LengthCase{"0000000000000000000012", 12}, LengthCase{"12abc", 0},
                    LengthCase{"abc", 0}, LengthCase{"1 000", 0}, LengthCase{"0x10", 0},
                    LengthCase{"$10", 0}, LengthCase{"1e3", 0}, LengthCase{"--1", 0},
                    LengthCase{"\xA0"
                               "5",
                               0}));

}  // namespace
}  // namespace ruvevid
