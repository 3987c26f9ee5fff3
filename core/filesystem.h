// Questions and changes about whole files and folders: whether they are there, what they are,
// making folders, and reading or writing a small file whole.
#pragma once

#include <cstdint>
#include <string>

namespace zembrio {

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// True when path leads (through any links) to a regular file. A device, a FIFO or a folder
// is no file to read as a source or a settings file: a read from it may never end.
bool IsRegularFile(const std::string& path);
// Creates a folder with every missing parent; throws std::system_error on failure.
void ForceDirectories(const std::string& path);
// Deletes a file; false when it could not be deleted.
bool DeleteFile(const std::string& path);
// True when both names lead to the same existing file (links and "..", "." spellings).
bool SameFile(const std::string& a, const std::string& b);
// Writes a whole file through a temporary file beside it and a rename, so that a crash
// or a full disk never leaves it half-written. Throws std::system_error on failure.
void WriteFileAtomically(const std::string& path, const std::string& content);
// The largest file ReadWholeFile takes: far above any settings file or track list.
constexpr int64_t kWholeFileLimit = int64_t{64} << 20;
// Reads a whole file; throws std::system_error (EFBIG past kWholeFileLimit bytes).
std::string ReadWholeFile(const std::string& path);

}  // namespace zembrio
