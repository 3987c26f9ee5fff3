// A file descriptor owned by one object, and the system calls every file type here makes on
// it: reads and writes that go on until all bytes are through, with the platform's error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zembrio {

[[noreturn]] void ThrowErrno(const std::string& path, int error);
[[noreturn]] void ThrowErrno(const std::string& path);

// pread until count bytes arrive or the file ends; returns the bytes read.
size_t ReadFully(int fd, const std::string& path, unsigned char* dest, size_t count,
                 int64_t offset);
// write until every byte is out; a write that makes no progress counts as a full disk.
void WriteFully(int fd, const std::string& path, const unsigned char* data, size_t count);
// pwrite until every byte is out at offset; a write that makes no progress counts as a full
// disk. Returns 0 or the error number.
int WriteFullyAt(int fd, const unsigned char* data, size_t count, int64_t offset);

// Owns one descriptor: closed when its owner goes, unless closed before with a check.
class TFd {
 public:
  TFd() = default;
  explicit TFd(int fd) : fd_(fd) {}
  ~TFd() { Reset(); }
  TFd(TFd&& other) noexcept : fd_(other.Release()) {}
  TFd& operator=(TFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.Release();
    }
    return *this;
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;

  int Get() const { return fd_; }
  bool IsOpen() const { return fd_ >= 0; }
  // Closes without asking how it went: for a file that is given up.
  void Reset() noexcept;
  // Closes and returns 0 or the error number: an output must learn that its last bytes
  // did not reach the disk. EINTR counts as closed (the descriptor is gone either way).
  int Close() noexcept;
  int Release() noexcept {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_ = -1;
};

}  // namespace zembrio
