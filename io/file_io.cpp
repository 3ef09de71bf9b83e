// Whole writes: open with retries, write all bytes, undo a partial write.
#include "io/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace velmora {
namespace {

int openRetrying(const std::string& name, int flags, int attempts) {
  int fd = -1;
  for (int k = 0; k < attempts && fd < 0; ++k) {
    do fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
  }
  return fd;
}

bool writeAll(int fd, std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

std::string failure(const char* what, const std::string& name) {
  return std::string("cannot ") + what + " \"" + name + "\": " + std::strerror(errno);
}

}  // namespace

std::string appendWhole(const std::string& name, std::string_view bytes, int attempts) {
  const int fd = openRetrying(name, O_WRONLY | O_CREAT, attempts);
  if (fd < 0) return failure("open", name);
  const off_t end = ::lseek(fd, 0, SEEK_END);
  std::string err;
  if (end < 0 || !writeAll(fd, bytes)) {
    err = failure("write", name);
    if (end >= 0 && ::ftruncate(fd, end) != 0) err += " (the partial record could not be removed)";
  }
  if (::close(fd) != 0 && err.empty()) err = failure("close", name);
  return err;
}

std::string writeNew(const std::string& name, std::string_view bytes, int attempts) {
  const int fd = openRetrying(name, O_WRONLY | O_CREAT | O_TRUNC, attempts);
  if (fd < 0) return failure("create", name);
  std::string err;
  if (!writeAll(fd, bytes)) {
    err = failure("write", name);
    if (::ftruncate(fd, 0) != 0) err += " (the partial record could not be removed)";
  }
  if (::close(fd) != 0 && err.empty()) err = failure("close", name);
  return err;
}

std::string replaceAtomically(const std::string& name, std::string_view bytes) {
  const std::string tmp = name + ".tmp";
  const int fd = openRetrying(tmp, O_WRONLY | O_CREAT | O_TRUNC, 1);
  if (fd < 0) return failure("create", tmp);
  std::string err;
  if (!writeAll(fd, bytes)) err = failure("write", tmp);
  else if (::fsync(fd) != 0) err = failure("flush", tmp);
  if (::close(fd) != 0 && err.empty()) err = failure("close", tmp);
  if (err.empty() && std::rename(tmp.c_str(), name.c_str()) != 0) err = failure("rename to", name);
  if (!err.empty()) ::unlink(tmp.c_str());
  return err;
}

std::string keepFirstBytes(const std::string& name, unsigned long long length) {
  const int in = openRetrying(name, O_RDONLY, 1);
  if (in < 0) return failure("open", name);
  struct stat st {};
  if (::fstat(in, &st) != 0 || static_cast<unsigned long long>(st.st_size) < length) {
    ::close(in);
    return "cannot cut \"" + name + "\" to " + std::to_string(length) + " bytes: it is shorter";
  }
  const std::string tmp = name + ".tmp";
  const int out = openRetrying(tmp, O_WRONLY | O_CREAT | O_TRUNC, 1);
  if (out < 0) {
    ::close(in);
    return failure("create", tmp);
  }
  std::string err;
  std::string buf(1 << 20, '\0');
  for (unsigned long long left = length; left > 0 && err.empty();) {
    const std::size_t want = left < buf.size() ? static_cast<std::size_t>(left) : buf.size();
    const ssize_t n = ::read(in, buf.data(), want);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) err = failure("read", name);
    else if (!writeAll(out, std::string_view(buf.data(), static_cast<std::size_t>(n)))) err = failure("write", tmp);
    else left -= static_cast<unsigned long long>(n);
  }
  if (err.empty() && ::fsync(out) != 0) err = failure("flush", tmp);
  if (::close(out) != 0 && err.empty()) err = failure("close", tmp);
  ::close(in);
  if (err.empty() && std::rename(tmp.c_str(), name.c_str()) != 0) err = failure("rename to", name);
  if (!err.empty()) ::unlink(tmp.c_str());
  return err;
}

}  // namespace velmora
