// Files with 64-bit sizes and positions. Input goes through a buffer of our own, so that
// the one-byte steps of frame resynchronisation cost no system call; output is buffered
// and every write and the close are checked. Failures throw std::system_error carrying
// the platform's text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

namespace zembrio {

class TOutputFile;
class TReadAhead;
class TWriteBehind;

// Bytes for reads and writes to go through. They are not cleared when made: every byte is
// filled before it is used. Their memory goes back to a small pool when they go and is
// taken again by the next block of the same size: a fresh megabyte costs a megabyte of
// page faults, and a cut opens one output per fragment.
class TByteBlock {
 public:
  TByteBlock() = default;
  explicit TByteBlock(size_t size);
  ~TByteBlock();
  TByteBlock(TByteBlock&& other) noexcept { swap(other); }
  TByteBlock& operator=(TByteBlock&& other) noexcept {
    TByteBlock gone(std::move(*this));
    swap(other);
    return *this;
  }
  unsigned char* data() const { return data_.get(); }
  size_t size() const { return size_; }
  void swap(TByteBlock& other) noexcept {
    std::swap(data_, other.data_);
    std::swap(size_, other.size_);
  }

 private:
  std::unique_ptr<unsigned char[]> data_;
  size_t size_ = 0;
};

// A file read from start to end (a frame walk, a join) is read a few blocks ahead by a
// thread of its own, so that copying the next blocks from the system overlaps the work on
// this one. Bytes of the current window may be lent to an output (TOutputFile::WriteLent),
// which has written them out before the window changes.
class TInputFile {
 public:
  static constexpr size_t kDefaultBufferSize = 1 << 20;
  // Bytes before the current window's end that a refill may still take along from it: the
  // rest of a frame that straddles two blocks.
  static constexpr size_t kCarryLimit = 1 << 16;
  // Smaller buffers are for small reads (a file's first bytes): no thread for them.
  static constexpr size_t kReadAheadMinimum = 1 << 16;
  // Blocks read ahead at once. Copying from the system's cache is the slow part of a walk:
  // a thread does it while the walk goes on.
  static constexpr int kReadAheadDepth = 2;

  // Opens for reading; others may go on reading and writing the file.
  explicit TInputFile(const std::string& path, size_t bufferSize = kDefaultBufferSize);
  ~TInputFile();
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  const std::string& Path() const { return path_; }
  // Size of the file when it was opened.
  int64_t Size() const { return size_; }
  int64_t Position() const { return position_; }
  // Moves the read position; the buffer is refilled on the next read outside its window.
  void Seek(int64_t position) {
    if (position < 0)
      ThrowBadSeek();
    position_ = position;
  }
  // Reads up to count bytes; fewer only at the end of the file (0 at the end).
  size_t Read(void* dest, size_t count) {
    // The frame walk's 4-byte header reads nearly always lie inside the window.
    const uint64_t start = static_cast<uint64_t>(position_ - bufferStart_);
    if (start <= bufferFill_ && count <= bufferFill_ - start) {
      std::memcpy(dest, window_ + start, count);
      position_ += static_cast<int64_t>(count);
      return count;
    }
    return ReadAcrossWindow(dest, count);
  }
  // Moves forward by count bytes without reading them.
  void Skip(int64_t count) { Seek(position_ + count); }
  // The next count bytes in place inside the buffer (refilled when needed), without moving
  // the read position; nullptr when fewer remain or count exceeds the buffer. Valid until
  // the next Read, Peek or Skip beyond the buffered window.
  const unsigned char* Peek(size_t count);
  // A hint that the byte at position will be read soon: when the window holds it, it is
  // brought into the processor's cache now. A block read ahead was copied there by another
  // processor, and a walk that waits for each header in turn would wait for every one.
  void Prefetch(int64_t position) const {
    const uint64_t offset = static_cast<uint64_t>(position - bufferStart_);
    if (offset < bufferFill_)
      __builtin_prefetch(window_ + offset);
  }
  // From now on blocks are read only when needed, on the caller's thread: for a walk that
  // shares the processors with another one.
  void StopReadingAhead();
  // Moves forward over the bytes other than value that the buffer already holds, stopping
  // at value or at limit (a file position); returns how many bytes were passed over.
  int64_t SkipInBufferUntil(unsigned char value, int64_t limit);

 private:
  [[noreturn]] void ThrowBadSeek() const;
  size_t ReadAcrossWindow(void* dest, size_t count);
  void Fill();
  // Takes the next block read ahead when it continues the window at position_; otherwise
  // drops every block read ahead and returns false.
  bool TakeReadAhead();
  void DropReadAhead();
  // Has the output that holds bytes of the window write them out: they are about to go.
  void CallInLoan();
  // Keeps kReadAheadDepth blocks coming after a full window.
  void StartReadAhead();
  size_t BlockSize() const { return buffer_.size() - carry_; }

  std::string path_;
  int fd_ = -1;
  int64_t size_ = 0;
  int64_t position_ = 0;
  size_t carry_ = 0;  // kCarryLimit when the file is read ahead
  // carry_ bytes of room for the rest carried from the previous window, then one block.
  TByteBlock buffer_;
  const unsigned char* window_ = nullptr;  // the valid bytes, inside buffer_
  int64_t bufferStart_ = 0;                // file offset of window_[0]
  size_t bufferFill_ = 0;                  // valid bytes in window_
  // Only for a file larger than one block; used in turn, from front_.
  std::unique_ptr<TReadAhead> readAhead_;
  int front_ = 0;         // the slot whose block comes next
  int inFlight_ = 0;      // blocks started and not yet taken
  int64_t aheadEnd_ = 0;  // where the block after the last one started begins
  bool readAheadStopped_ = false;
  TOutputFile* borrower_ = nullptr;  // holds bytes of the window not yet written out
  friend class TOutputFile;
};

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
  // a thread of its own meanwhile, beside the walk that lends them.
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
  bool IsOpen() const { return fd_ >= 0; }
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
  // Forgets the lent bytes: the output closes after a failure.
  void EndLoan() noexcept;
  // Positioned: gives the lent bytes gathered so far to the writing thread.
  void HandOverLent();

  std::string path_;
  int fd_ = -1;
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
