// Whole writes: a record is all in the file or not at all.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "io/file_io.h"
#include "tests/support/support.h"

namespace velmora {
namespace {

// Runs `body` in a child whose files may not grow beyond `limit` bytes; returns its exit code.
template <class F>
int withFileSizeLimit(rlim_t limit, F body) {
  const pid_t pid = fork();
  if (pid == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit r{limit, limit};
    setrlimit(RLIMIT_FSIZE, &r);
    _exit(body());
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(WholeWrites, AFailedAppendLeavesTheFileAsItWas) {
  test::TempDir dir;
  const std::string before(1000, 'a');
  std::ofstream("f.bin", std::ios::binary) << before;
  // The second record does not fit under the limit: it must not be left half-written.
  const int code = withFileSizeLimit(3000, [] {
    if (!appendWhole("f.bin", std::string(1500, 'b')).empty()) return 1;
    return appendWhole("f.bin", std::string(1500, 'c')).empty() ? 2 : 0;
  });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(test::slurp("f.bin"), before + std::string(1500, 'b'));
}

TEST(WholeWrites, AFailedReplacementKeepsTheOldFile) {
  test::TempDir dir;
  std::ofstream("r.txt", std::ios::binary) << "old";
  const int code = withFileSizeLimit(100, [] { return replaceAtomically("r.txt", std::string(500, 'n')).empty(); });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(test::slurp("r.txt"), "old");
  EXPECT_FALSE(std::filesystem::exists("r.txt.tmp"));
  EXPECT_EQ(replaceAtomically("r.txt", "new"), "");
  EXPECT_EQ(test::slurp("r.txt"), "new");
}

TEST(WholeWrites, CreateEmptiesAnOldFileAndReportsWhatFails) {
  test::TempDir dir;
  std::ofstream("c.bin", std::ios::binary) << std::string(5000, 'x');
  EXPECT_EQ(writeNew("c.bin", "abc"), "");
  EXPECT_EQ(test::slurp("c.bin"), "abc");
  const std::string err = writeNew("no/such/folder/c.bin", "abc", 3);
  EXPECT_NE(err.find("cannot create \"no/such/folder/c.bin\""), std::string::npos) << err;
}

TEST(WholeWrites, KeepingTheFirstBytesCutsWholeOrNotAtAll) {
  test::TempDir dir;
  std::string big;
  for (int i = 0; i < 300000; ++i) big += static_cast<char>('a' + i % 26);  // more than one copy buffer
  std::ofstream("k.bin", std::ios::binary) << big;
  EXPECT_EQ(keepFirstBytes("k.bin", 250001), "");
  EXPECT_EQ(test::slurp("k.bin"), big.substr(0, 250001));
  EXPECT_FALSE(std::filesystem::exists("k.bin.tmp"));
  // Longer than the file, or a file that is missing: refused, nothing changed.
  EXPECT_NE(keepFirstBytes("k.bin", 250002).find("shorter"), std::string::npos);
  EXPECT_EQ(test::slurp("k.bin").size(), 250001u);
  EXPECT_NE(keepFirstBytes("none.bin", 1).find("cannot open \"none.bin\""), std::string::npos);
  // A copy that cannot be written whole leaves the file as it was.
  const int code = withFileSizeLimit(1000, [] { return keepFirstBytes("k.bin", 5000).empty() ? 1 : 0; });
  ASSERT_EQ(code, 0);
  EXPECT_EQ(test::slurp("k.bin").size(), 250001u);
  EXPECT_EQ(keepFirstBytes("k.bin", 0), "");
  EXPECT_EQ(test::slurp("k.bin"), "");
}

}  // namespace
}  // namespace velmora
