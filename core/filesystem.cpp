#include "core/filesystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "core/inputfile.h"
#include "core/outputfile.h"
#include "core/rawfile.h"

namespace zembrio {

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void ForceDirectories(const std::string& path) {
  if (path.empty() || DirectoryExists(path)) {
    return;
  }
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error && !DirectoryExists(path)) {
    throw std::system_error(error, path);
  }
}

bool DeleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  const bool same = std::filesystem::equivalent(a, b, error);
  return !error && same;
}

namespace {

// Creates a uniquely named file beside path; returns its name and descriptor.
TFd CreateTempBeside(const std::string& path, std::string& tempName) {
  std::string pattern = path + ".XXXXXX";
  TFd fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd.IsOpen()) {
    ThrowErrno(path);
  }
  tempName = pattern;
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat info {};
  const mode_t mode = ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
  ::fchmod(fd.Get(), mode);
  return fd;
}

// The file a name leads to: a symbolic link stays a link to the rewritten file.
std::string ResolveLinks(const std::string& path) {
  std::filesystem::path current(path);
  std::error_code error;
  // A bounded number of hops, so that a loop of links ends in an error from the write.
  for (int hop = 0; hop < 40 && std::filesystem::is_symlink(current, error); ++hop) {
    const auto target = std::filesystem::read_symlink(current, error);
    if (error) {
      break;
    }
    current = target.is_absolute() ? target : current.parent_path() / target;
  }
  return current.string();
}

bool IsSpecialFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

}  // namespace

void WriteFileAtomically(const std::string& name, const std::string& content) {
  const std::string path = ResolveLinks(name);
  if (IsSpecialFile(path)) {
    // A device or pipe cannot be replaced by a rename; write to it as it is.
    TOutputFile output(path);
    output.Write(content);
    output.Close();
    return;
  }
  std::string tempName;
  TFd fd = CreateTempBeside(path, tempName);
  try {
    WriteFully(fd.Get(), path, reinterpret_cast<const unsigned char*>(content.data()),
               content.size());
    if (::fsync(fd.Get()) != 0) {
      ThrowErrno(path);
    }
    if (const int error = fd.Close()) {
      ThrowErrno(path, error);
    }
  } catch (...) {
    fd.Reset();
    ::unlink(tempName.c_str());
    throw;
  }
  if (::rename(tempName.c_str(), path.c_str()) != 0) {
    const int error = errno;
    ::unlink(tempName.c_str());
    ThrowErrno(path, error);
  }
}

std::string ReadWholeFile(const std::string& path) {
  TInputFile file(path);
  // A settings file or a track list linked to a device that never ends (/dev/zero), or a
  // large audio file picked by mistake, is refused instead of filling the memory.
  if (file.Size() > kWholeFileLimit) {
    ThrowErrno(path, EFBIG);
  }
  std::string content;
  content.resize(static_cast<size_t>(file.Size()));
  content.resize(file.Read(content.data(), content.size()));
  // The file may have grown since it was opened; take what is there now.
  char chunk[65536];
  while (const size_t got = file.Read(chunk, sizeof chunk)) {
    content.append(chunk, got);
    if (static_cast<int64_t>(content.size()) > kWholeFileLimit) {
      ThrowErrno(path, EFBIG);
    }
  }
  return content;
}

}  // namespace zembrio
