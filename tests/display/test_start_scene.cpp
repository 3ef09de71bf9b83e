// The start-up scene file of the title scene: round trip, damaged files, where it is looked for.
#include <gtest/gtest.h>

#include <fstream>

#include "display/start_scene.h"
#include "io/binary.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

StartScene smallScene(int n) {
  StartScene s;
  s.N = n;
  for (int i = 0; i < n; ++i) {
    const float f = static_cast<float>(i);
    s.X.push_back(f * 0.01f);
    s.Y.push_back(-f * 0.02f);
    s.Z.push_back(f * 0.001f);
    s.RHO.push_back(1.0f + f);
    s.TEMP4.push_back(0.5f + f);
  }
  for (int i = 1; i <= NLOBE; ++i) s.LOBX(i) = 0.5f + static_cast<float>(i) * 1e-3f, s.LOBY(i) = static_cast<float>(i);
  for (int j = 1; j <= NWDPTS; ++j) s.WDX(j) = -0.1f * static_cast<float>(j), s.WDY(j) = 0.25f;
  return s;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& b) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                              static_cast<std::streamsize>(b.size()));
}

TEST(StartScene, RoundTripIsByteForByte) {
  test::TempDir dir;
  const StartScene s = smallScene(7);
  std::string error;
  ASSERT_TRUE(writeStartScene("scene", s, error)) << error;
  EXPECT_EQ(test::slurp("scene").size(), 4u + 20u * 7u + 808u + 488u);
  StartScene back;
  ASSERT_TRUE(readStartScene("scene", back, error)) << error;
  EXPECT_EQ(back.N, 7);
  EXPECT_EQ(back.TEMP4[6], 6.5f);
  EXPECT_EQ(back.LOBY(101), 101.0f);
  EXPECT_EQ(back.WDX(61), s.WDX(61));
  ASSERT_TRUE(writeStartScene("again", back, error)) << error;
  EXPECT_EQ(test::slurp("again"), test::slurp("scene"));
  EXPECT_FALSE(std::filesystem::exists("scene.tmp"));
}

struct Damage {
  const char* name;
  std::function<void(std::vector<unsigned char>&)> apply;
  const char* message;
};

class DamagedStartScene : public ::testing::TestWithParam<Damage> {};

TEST_P(DamagedStartScene, IsRefusedWithAMessageAndLeavesTheSceneAlone) {
  test::TempDir dir;
  std::string error;
  ASSERT_TRUE(writeStartScene("scene", smallScene(3), error));
  const std::string text = test::slurp("scene");
  std::vector<unsigned char> b(text.begin(), text.end());
  GetParam().apply(b);
  writeBytes("scene", b);
  StartScene kept = smallScene(2);
  EXPECT_FALSE(readStartScene("scene", kept, error));
  EXPECT_NE(error.find("\"scene\""), std::string::npos) << error;
  EXPECT_NE(error.find(GetParam().message), std::string::npos) << error;
  EXPECT_EQ(kept.N, 2);
}

void setCount(std::vector<unsigned char>& b, std::int32_t n) {
  for (int k = 0; k < 4; ++k) b[static_cast<std::size_t>(k)] = static_cast<unsigned char>((static_cast<std::uint32_t>(n) >> (8 * k)) & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(
    Files, DamagedStartScene,
    ::testing::Values(Damage{"empty", [](auto& b) { b.clear(); }, "too short"},
                      Damage{"negative_count", [](auto& b) { setCount(b, -1); }, "outside 0..25000"},
                      Damage{"count_above_capacity", [](auto& b) { setCount(b, 25001); }, "outside 0..25000"},
                      Damage{"count_larger_than_body", [](auto& b) { setCount(b, 4); }, "expected"},
                      Damage{"truncated_outline", [](auto& b) { b.resize(b.size() - 1); }, "expected"},
                      Damage{"bytes_after_scene", [](auto& b) { b.push_back(0); }, "after the scene"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(StartScene, MissingFile) {
  test::TempDir dir;
  StartScene s;
  std::string error;
  EXPECT_FALSE(readStartScene("nothing", s, error));
  EXPECT_NE(error.find("no such file"), std::string::npos);
}

}  // namespace
}  // namespace velmora
