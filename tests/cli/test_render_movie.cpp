// velmora-cli render movie: movies of the demo recording read back with ffprobe and ffmpeg, and
// the refusals that leave nothing behind.
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/cli_support.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

namespace fs = std::filesystem;

// Runs a shell command in the current directory; its standard output, or "" when it failed.
std::string shell(const std::string& cmd) {
  if (std::system((cmd + " > shell-out.txt 2> shell-err.txt").c_str()) != 0) return {};
  return test::slurp("shell-out.txt");
}

// "width,height,frames" of a movie's video, as ffprobe counts them.
std::string probe(const std::string& movie) {
  std::string s = shell("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                        "stream=width,height,nb_read_frames -of csv=p=0 '" + movie + "'");
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

// A picture or a movie's first frame as raw RGB bytes, decoded by ffmpeg.
std::string rgb(const std::string& file) {
  return shell("ffmpeg -v error -i '" + file + "' -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
}

double meanSquare(const std::string& a, const std::string& b) {
  if (a.size() != b.size() || a.empty()) return 1e9;
  double sum = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const double d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
    sum += d * d;
  }
  return sum / static_cast<double>(a.size());
}

// The files of the current folder whose names start with `prefix`.
std::vector<std::string> filesStarting(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator("."))
    if (e.path().filename().string().rfind(prefix, 0) == 0) out.push_back(e.path().filename().string());
  return out;
}

TEST(RenderMovie, OfTheDemoRecording) {
  test::TempDir dir;
  auto r = test::runCli("run --orbits 3 --particles 400 --record 1 --frame-step 7 --lc 1 --restart-every 1 --name "
                        "demo --quiet");
  ASSERT_EQ(r.code, 0) << r.err;

  // The frames and the size asked for, at the rate asked for.
  r = test::runCli("render movie demo.vlm --first 1 --last 60 --width 480 --height 540 --fps 30 --out demo.mp4");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_NE(r.out.find("60 frames"), std::string::npos) << r.out;
  EXPECT_EQ(probe("demo.mp4"), "480,540,60");
  EXPECT_EQ(shell("ffprobe -v error -select_streams v:0 -show_entries stream=codec_name,r_frame_rate -of csv=p=0 "
                  "demo.mp4"),
            "h264,30/1\n");
  // An ordinary new file, readable as the file-creation mask allows.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  struct stat st {};
  ASSERT_EQ(::stat("demo.mp4", &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0666u & ~mask);

  // Its first frame is the recording's first frame as `render recording` draws it, within the
  // error of the encoding, and clearly not a later one.
  r = test::runCli("render recording demo.vlm --frame 1 --width 480 --height 540 --out first.png");
  ASSERT_EQ(r.code, 0) << r.err;
  r = test::runCli("render recording demo.vlm --frame 40 --width 480 --height 540 --out later.png");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string movie = rgb("demo.mp4"), first = rgb("first.png"), later = rgb("later.png");
  ASSERT_EQ(movie.size(), 480u * 540u * 3u);
  const double err = meanSquare(movie, first);
  const double psnr = 10.0 * std::log10(255.0 * 255.0 / std::max(err, 1e-9));
  EXPECT_GT(psnr, 30.0) << "mean square error " << err;
  EXPECT_LT(err, meanSquare(movie, later) / 2) << "the first frame looks like frame 40";

  // Every frame the playback shows by default; GIF by the extension.
  r = test::runCli("render movie demo.vlm --width 200 --height 226 --style wire --color temperature --out demo.gif");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(probe("demo.gif"), "200,226,85");
  EXPECT_EQ(filesStarting("demo.gif.").size(), 0u);
}

struct Refusal {
  const char* name;
  const char* args;
  int code;
  const char* mention;
  enum { Plain, NoFfmpeg, FailingFfmpeg } path = Plain;
};

class RenderMovieRefuses : public ::testing::TestWithParam<Refusal> {};

// Nothing is drawn or encoded, and nothing is left in the folder under the movie's name.
TEST_P(RenderMovieRefuses, WithAMessageAndNoFile) {
  test::TempDir dir;
  auto r = test::runCli("run --orbits 1 --particles 100 --inj 5 --record 1 --frame-step 7 --name rec --quiet");
  ASSERT_EQ(r.code, 0) << r.err;
  const std::string bytes = test::slurp("rec.vlm");
  std::ofstream("cut.vlm", std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size() / 2));

  const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
  if (GetParam().path == Refusal::NoFfmpeg) ::setenv("PATH", "/nonexistent", 1);
  if (GetParam().path == Refusal::FailingFfmpeg) {
    fs::create_directories("fake");
    std::ofstream("fake/ffmpeg") << "#!/bin/sh\nhead -c 100 > /dev/null\necho 'frame=0 broken pipe ahead' >&2\n"
                                    "echo 'Encoder not found: a stand-in ffmpeg' >&2\nexit 1\n";
    fs::permissions("fake/ffmpeg", fs::perms::owner_all);
    ::setenv("PATH", (fs::current_path() / "fake").string().append(":").append(oldPath).c_str(), 1);
  }
  r = test::runCli(GetParam().args);
  ::setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(r.code, GetParam().code) << r.err;
  EXPECT_NE(r.err.find(GetParam().mention), std::string::npos) << r.err;
  EXPECT_EQ(filesStarting("clip").size(), 0u) << filesStarting("clip").front();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RenderMovieRefuses,
    ::testing::Values(
        Refusal{"unknown_extension", "render movie rec.vlm --out clip.avi", 2, ".mp4 (H.264), .webm (VP9) or .gif"},
        Refusal{"odd_size_for_h264", "render movie rec.vlm --width 321 --out clip.mp4", 2, "even width and height"},
        Refusal{"last_beyond_the_frames", "render movie rec.vlm --last 30 --out clip.mp4", 2, "beyond the 29 frames"},
        Refusal{"first_after_last", "render movie rec.vlm --first 5 --last 4 --out clip.gif", 2, "--last"},
        Refusal{"no_frame_rate", "render movie rec.vlm --fps 0 --out clip.webm", 2, "--fps"},
        Refusal{"bad_angles", "render movie rec.vlm --angles 10 --out clip.mp4", 2, "--angles"},
        Refusal{"missing_recording", "render movie none.vlm --out clip.mp4", 1, "none.vlm"},
        Refusal{"damaged_recording", "render movie cut.vlm --out clip.mp4", 1, "cut.vlm: frame"},
        Refusal{"ffmpeg_missing", "render movie rec.vlm --out clip.mp4", 1, "Debian package ffmpeg",
                Refusal::NoFfmpeg},
        Refusal{"ffmpeg_failing", "render movie rec.vlm --out clip.mp4", 1, "Encoder not found: a stand-in ffmpeg",
                Refusal::FailingFfmpeg}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace velmora
