#include "core/rawfile.h"

#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace zembrio {

void ThrowErrno(const std::string& path, int error) {
  throw std::system_error(error, std::generic_category(), path);
}

void ThrowErrno(const std::string& path) {
  ThrowErrno(path, errno);
}

size_t ReadFully(int fd, const std::string& path, unsigned char* dest, size_t count,
                 int64_t offset) {
  size_t done = 0;
  while (done < count) {
    const ssize_t got = ::pread(fd, dest + done, count - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowErrno(path);
    }
    if (got == 0) {
      break;
    }
    done += static_cast<size_t>(got);
  }
  return done;
}

void WriteFully(int fd, const std::string& path, const unsigned char* data, size_t count) {
  while (count > 0) {
    const ssize_t put = ::write(fd, data, count);
    if (put < 0) {
      if (errno == EINTR) {
        continue;
      }
      ThrowErrno(path);
    }
    if (put == 0) {
      ThrowErrno(path, ENOSPC);
    }
    data += put;
    count -= static_cast<size_t>(put);
  }
}

int WriteFullyAt(int fd, const unsigned char* data, size_t count, int64_t offset) {
  while (count > 0) {
    const ssize_t put = ::pwrite(fd, data, count, static_cast<off_t>(offset));
    if (put < 0 && errno == EINTR)
      continue;
    if (put <= 0)
      return put < 0 ? errno : ENOSPC;
    data += put;
    count -= static_cast<size_t>(put);
    offset += put;
  }
  return 0;
}

void TFd::Reset() noexcept {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = -1;
}

int TFd::Close() noexcept {
  if (fd_ < 0)
    return 0;
  const int result = ::close(fd_);
  const int error = errno;
  fd_ = -1;
  return result != 0 && error != EINTR ? error : 0;
}

}  // namespace zembrio
