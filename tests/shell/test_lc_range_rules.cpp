// The Light Curve Plot Control dialog's range rules: orbits recorded, corrections while typing, OK.
#include <gtest/gtest.h>

#include "shell/lc_range_rules.h"

namespace velmora {
namespace {

struct Typing {
  char box;            // 'f' first-orbit box, 'l' last-orbit box
  const char* text;    // what the user's typing left in the box
  const char* shows;   // what the box shows afterwards
};

struct RangeCase {
  const char* name;
  long long samples;
  std::vector<Typing> typing;
  int first, last;     // LCFIRST, LCLAST after OK on the boxes as they show
  bool plots;
};

void PrintTo(const RangeCase& c, std::ostream* os) { *os << c.name; }

class LCRange : public ::testing::TestWithParam<RangeCase> {};

TEST_P(LCRange, TypingThenOk) {
  const auto& c = GetParam();
  LCRangeRules r(c.samples);
  std::string firstBox = LCRangeRules::boxText(r.LCFIRST), lastBox = LCRangeRules::boxText(r.LCLAST);
  for (const auto& t : c.typing) {
    std::string& box = t.box == 'f' ? firstBox : lastBox;
    box = t.text;
    const auto corrected = t.box == 'f' ? r.firstChanged(box) : r.lastChanged(box);
    if (corrected) box = *corrected;
    EXPECT_EQ(box, t.shows) << t.box << " " << t.text;
  }
  EXPECT_EQ(r.accept(firstBox, lastBox), c.plots);
  EXPECT_EQ(r.LCFIRST, c.first);
  EXPECT_EQ(r.LCLAST, c.last);
}

INSTANTIATE_TEST_SUITE_P(
    Dialog, LCRange,
    ::testing::Values(
        RangeCase{"opens_on_whole_orbits", 10050, {}, 1, 50, true},
        RangeCase{"first_zero_puts_one_back", 10050, {{'f', "0", "1"}, {'f', "-3", "1"}}, 1, 50, true},
        RangeCase{"last_sixty_puts_fifty_back", 10050, {{'l', "6", "6"}, {'l', "60", "50"}}, 1, 50, true},
        RangeCase{"first_above_last_takes_last", 10050, {{'l', "12", "12"}, {'f', "20", "12"}}, 12, 12, true},
        RangeCase{"thirty_then_twenty_plots_thirty", 10050,
                  {{'f', "3", "3"}, {'f', "30", "30"}, {'l', "2", "2"}, {'l', "20", "20"}}, 30, 30, true},
        RangeCase{"text_reads_as_zero", 10050, {{'l', "", "1"}, {'l', "x", "1"}, {'l', "4x", "1"}, {'l', " 7", " 7"}},
                  1, 7, true},
        RangeCase{"too_large_for_32_bits", 10050, {{'l', "99999999999", "1"}}, 1, 1, true},
        RangeCase{"beyond_four_digits", 2000000LL * 200, {{'l', "12345", "12345"}}, 1, 12345, true},
        RangeCase{"less_than_an_orbit", 199, {{'f', "1", "1"}, {'l', "1", "1"}}, 1, 1, false}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(LCRange, OrbitsRecordedAndOpeningRange) {
  const LCRangeRules r(10050);
  EXPECT_EQ(r.ORBREC, 50);  // the last 50 samples take no part
  EXPECT_EQ(r.LCFIRST, 1);
  EXPECT_EQ(r.LCLAST, 50);
  EXPECT_FALSE(LCRangeRules(199).plottable());
  EXPECT_EQ(LCRangeRules(199).LCLAST, 0);
}

}  // namespace
}  // namespace velmora
