#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/byteblock.h"
#include "core/rawfile.h"
#include "core/writebehind.h"

namespace zembrio {

class TInputFile;

// An output is written under a temporary name in its destination folder and takes its own
// name only when Close() finds it whole: a full disk or a crash never leaves a partial file
// under a name that a player or a second run would take for finished. A name that is not a
// regular file (a pipe, a device) is written to directly, and so is a folder where no
// temporary file can be made (the platform's error then names the output itself).
class TOutputFile {
 public:
  static constexpr size_t kDefaultBufferSize = 1 << 20;

  // Creates the file (under a temporary name); an existing file of that name is replaced
  // when the output is closed whole.
  explicit TOutputFile(const std::string& path, size_t bufferSize = kDefaultBufferSize);
  // Closes without reporting; call Close() to learn about a failure. A file whose writing
  // failed is removed, one that was written whole takes its name.
  ~TOutputFile();
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  const std::string& Path() const { return path_; }
  void Write(const void* data, size_t count);
  void Write(const std::string& text) { Write(text.data(), text.size()); }
  // Appends count bytes that lie in the read window of source, without copying them: they
  // are written from where they lie, together with the bytes lent next when those follow
  // them, at the latest when the window is about to change. A regular file writes them on
  // a thread of its own meanwhile, beside the walk that lends them, and may still be
  // writing them once the walk has moved on to a window read ahead.
  void WriteLent(TInputFile& source, const void* data, size_t count);
  // Bytes written so far (buffered and lent included).
  int64_t Size() const { return written_; }
  // Writes out everything buffered or lent (waiting for the writes under way).
  void Flush();
  // True when the file can be written at an earlier position (not a pipe or a terminal).
  bool CanSeek() const;
  // Writes out everything, then overwrites count bytes at position, which lies within what
  // was written; the end of the file stays where it was.
  void WriteAt(int64_t position, const void* data, size_t count);
  // Flushes, closes and gives the file its name; throws when a write, the close or the
  // rename fails, and then removes the temporary file. Safe to call twice.
  void Close();
  // Closes and removes what was written (nothing under the output's name changes).
  void Discard() noexcept;
  bool IsOpen() const { return fd_.IsOpen(); }
  // Where the bytes go until Close(): the temporary file, or Path() when written directly.
  const std::string& WritingPath() const { return tempPath_.empty() ? path_ : tempPath_; }

 private:
  friend class TInputFile;

  void CheckOpen() const;
  void FlushBuffer();
  // Writes bytes out; a failure is remembered, so that the file never takes its name.
  // Positioned, at offset; otherwise where the file stands.
  void Put(const unsigned char* data, size_t count, int64_t offset);
  [[noreturn]] void Fail(int error);
  void RemoveTemporary() noexcept;
  // Writes the lent bytes out and ends the loan; the lender calls it before its window
  // changes. When the lender closes, a failure is kept for the next call here.
  void WriteLentOut();
  void WriteLentOutKeepingFailure() noexcept;
  // Ends the loan without waiting: positioned, the lent bytes go to the writing thread, and
  // the lender waits for the returned fence before their memory changes. A failure shows
  // at the next write or the close.
  TWriteFence LetLoanGo();
  // Forgets the lent bytes: the output closes after a failure.
  void EndLoan() noexcept;
  // Positioned: gives the lent bytes gathered so far to the writing thread.
  void HandOverLent();
  // A write behind that failed fails the output now, at a loan, rather than at its close:
  // a cut stops within a window of a full disk, before it opens the next fragment.
  void FailOnWriteBehind();

  std::string path_;
  TFd fd_;
  // A regular file: every write lands at its own offset, so that the writing thread and
  // this one each write their part without waiting for the other.
  bool positioned_ = false;
  TByteBlock buffer_;
  size_t bufferFill_ = 0;
  int64_t bufferOffset_ = 0;  // where buffer_[0] goes, when positioned
  int64_t written_ = 0;
  TInputFile* lender_ = nullptr;
  const unsigned char* lent_ = nullptr;  // not yet handed to writer_
  size_t lentCount_ = 0;
  int64_t lentOffset_ = 0;                // where lent_ goes
  std::unique_ptr<TWriteBehind> writer_;  // positioned: writes the lent bytes
  int keptError_ = 0;                     // of lent bytes written out when their lender closed
  std::string tempPath_;                  // empty: written under its own name
  int failure_ = 0;  // the first write error; the file is then never given its name
};

}  // namespace zembrio
