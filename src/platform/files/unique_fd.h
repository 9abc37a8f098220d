// TUniqueFd: a file descriptor closed when it goes out of scope.
//
// Move-only ownership of one POSIX descriptor (-1: none). Close() closes early and reports
// whether close succeeded, which is where a late write error on some file systems shows;
// release() hands the descriptor on without closing it.
#pragma once

#include <unistd.h>

#include <utility>

namespace kv::files {

class TUniqueFd {
 public:
  explicit TUniqueFd(int fd = -1) : fd_(fd) {}
  ~TUniqueFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TUniqueFd(const TUniqueFd&) = delete;
  TUniqueFd& operator=(const TUniqueFd&) = delete;
  TUniqueFd(TUniqueFd&& other) noexcept : fd_(other.release()) {}
  TUniqueFd& operator=(TUniqueFd&& other) noexcept {
    if (this != &other) {
      Close();
      fd_ = other.release();
    }
    return *this;
  }

  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }
  bool Close() {
    const int fd = release();
    return fd < 0 || ::close(fd) == 0;
  }

 private:
  int fd_;
};

}  // namespace kv::files
