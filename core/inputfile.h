#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/byteblock.h"
#include "core/rawfile.h"
#include "core/writebehind.h"

namespace zembrio {

class TOutputFile;
class TReadAhead;

// A file read from start to end (a frame walk, a join) is read a few blocks ahead by a
// thread of its own once the reads go on past one window, so that copying the next blocks
// from the system overlaps the work on this one. Bytes of the current window may be lent to an
// output (TOutputFile::WriteLent), which has written them out before their block is read
// into again: a block read ahead takes the window's place meanwhile.
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
  // Blocks a window leaves behind while an output still writes bytes lent from them: the walk
  // goes on in the next window instead of waiting for those writes.
  static constexpr int kLentBlocks = 2;
  // Blocks read on the caller's own thread once reading ahead stopped: a block that fits in
  // the processor's cache is copied there and read back from there, not from memory. A
  // statistics walk, which only looks at the headers, takes a tenth less time so.
  static constexpr size_t kOwnReadBlock = 1 << 18;

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
  // From now on blocks are read only when needed, on the caller's thread, and no larger than
  // kOwnReadBlock: for a walk that shares the processors with another one.
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
  // Waits until no output writes from the blocks left behind.
  void WaitForLentBlocks();
  static int NextSlot(int slot) { return (slot + 1) % (kReadAheadDepth + kLentBlocks); }
  size_t BlockSize() const { return blockSize_; }

  std::string path_;
  TFd fd_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  size_t carry_ = 0;  // kCarryLimit when the file is read ahead
  // carry_ bytes of room for the rest carried from the previous window, then one block.
  TByteBlock buffer_;
  size_t blockSize_ = 0;  // bytes read into buffer_ at once, after the carry_ bytes
  const unsigned char* window_ = nullptr;  // the valid bytes, inside buffer_
  int64_t bufferStart_ = 0;                // file offset of window_[0]
  size_t bufferFill_ = 0;                  // valid bytes in window_
  // Only for a file larger than one block; used in turn, from front_.
  std::unique_ptr<TReadAhead> readAhead_;
  // Per slot: what an output still writes from the window that block held before.
  std::vector<TWriteFence> lentFences_;
  int front_ = 0;         // the slot whose block comes next
  int inFlight_ = 0;      // blocks started and not yet taken
  int64_t aheadEnd_ = 0;  // where the block after the last one started begins
  bool readAheadStopped_ = false;
  TOutputFile* borrower_ = nullptr;  // holds bytes of the window not yet written out
  friend class TOutputFile;
};

}  // namespace zembrio
