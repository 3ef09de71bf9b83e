// Fixed-width numbers of the text files: writing with the edit descriptors, reading fields back.
#include <gtest/gtest.h>

#include <cmath>

#include "io/fortran_format.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

struct OutCase {
  std::string got, want;
};

class Written : public ::testing::TestWithParam<OutCase> {};

TEST_P(Written, AsTheDescriptorSays) { EXPECT_EQ(GetParam().got, GetParam().want); }

INSTANTIATE_TEST_SUITE_P(
    Descriptors, Written,
    ::testing::Values(
        // F20.10 of single-precision values: the stored binary value, rounded to 10 decimals.
        OutCase{fmt::F(0.15f, 20, 10), "        0.1500000060"}, OutCase{fmt::F(-2.5f, 20, 10), "       -2.5000000000"},
        OutCase{fmt::F(4.9e-11, 20, 10), "        0.0000000000"}, OutCase{fmt::F(5.1e-11, 20, 10), "        0.0000000001"},
        // nine digits before the point fit, eight when negative; more give asterisks
        OutCase{fmt::F(123456789.0, 20, 10), "123456789.0000000000"},
        OutCase{fmt::F(1234567890.0, 20, 10), std::string(20, '*')},
        OutCase{fmt::F(-12345678.0, 20, 10), "-12345678.0000000000"},
        OutCase{fmt::F(-123456789.0, 20, 10), std::string(20, '*')},
        OutCase{fmt::F(std::nan(""), 20, 10), std::string(20, '*')},
        // E18.10 of the light curve
        OutCase{fmt::E(0.0, 18, 10), "  0.0000000000E+00"}, OutCase{fmt::E(1.0f / 200.0f, 18, 10), "  0.4999999888E-02"},
        OutCase{fmt::E(3.0, 18, 10), "  0.3000000000E+01"}, OutCase{fmt::E(-1.5e-7, 18, 10), " -0.1500000000E-06"},
        OutCase{fmt::E(1e-100, 18, 10), "  0.1000000000E-99"}, OutCase{fmt::E(1e-101, 18, 10), "  0.1000000000-100"},
        // Iw and list-directed values
        OutCase{fmt::I(400, 6), "   400"}, OutCase{fmt::I(1234567, 6), "******"}, OutCase{fmt::I(8, 1), "8"},
        OutCase{fmt::listInt(600), " 600"}, OutCase{fmt::listReal(1.0f), " 1.0"},
        OutCase{fmt::listReal(0.15f), " 0.150000006"}),
    [](const auto& tc) { return "case" + std::to_string(tc.index); });

struct FieldCase {
  const char* field;
  bool ok;
  double value;         // when ok
  const char* problem;  // part of the problem when not
};

class ReadF : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ReadF, F20_10) {
  const auto& c = GetParam();
  std::string problem;
  const auto v = fmt::readF(c.field, 10, problem);
  ASSERT_EQ(v.has_value(), c.ok) << problem;
  if (c.ok) EXPECT_EQ(*v, static_cast<float>(c.value));
  else EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, ReadF,
    ::testing::Values(FieldCase{"        0.1500000060", true, 0.15, ""},
                      FieldCase{"       -2.5000000000", true, -2.5, ""},
                      FieldCase{"    1.5E2           ", true, 150.0, ""}, FieldCase{"               2.5d0", true, 2.5, ""},
                      FieldCase{"                  15", true, 15e-10, ""},  // no point: ten implied decimals
                      FieldCase{"                 -0.", true, 0.0, ""},
                      FieldCase{"********************", false, 0, "asterisks"},
                      FieldCase{"                    ", false, 0, "blank field"},
                      FieldCase{"         1.0 0000000", false, 0, "blanks inside"},
                      FieldCase{"          0.1x00000", false, 0, "not a number"},
                      FieldCase{"         1.0E+", false, 0, "not a number"},
                      FieldCase{"       1.0E99", false, 0, "too large"}, FieldCase{"  .", false, 0, "not a number"}),
    [](const auto& tc) { return "field" + std::to_string(tc.index); });

TEST(ReadI, WholeNumbersOnly) {
  std::string problem;
  EXPECT_EQ(fmt::readI("   400", problem), 400);
  EXPECT_EQ(fmt::readI("    -8", problem), -8);
  EXPECT_FALSE(fmt::readI("   4.0", problem));
  EXPECT_NE(problem.find("whole number"), std::string::npos);
  EXPECT_FALSE(fmt::readI("******", problem));
  EXPECT_NE(problem.find("asterisks"), std::string::npos);
  EXPECT_FALSE(fmt::readI("      ", problem));
  EXPECT_FALSE(fmt::readI("99999999999999999999", problem));
  EXPECT_NE(problem.find("too large"), std::string::npos);
}

TEST(ListItems, SeparatorsColumnsAndTheSlash) {
  const auto items = fmt::listItems(" 3   1.0,0.5 / 7");
  ASSERT_EQ(items.size(), 3u);
  EXPECT_EQ(items[0].text, "3");
  EXPECT_EQ(items[0].column, 2u);
  EXPECT_EQ(items[1].text, "1.0");
  EXPECT_EQ(items[1].column, 6u);
  EXPECT_EQ(items[2].text, "0.5");
  EXPECT_EQ(items[2].column, 10u);
  EXPECT_TRUE(fmt::listItems("   ").empty());
}

}  // namespace
}  // namespace velmora
