#include "core/inputfile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "core/outputfile.h"
#include "core/readahead.h"

namespace zembrio {

TInputFile::TInputFile(const std::string& path, size_t bufferSize) : path_(path) {
  fd_ = TFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd_.IsOpen()) {
    ThrowErrno(path);
  }
  struct stat info {};
  if (::fstat(fd_.Get(), &info) != 0) {
    ThrowErrno(path);
  }
  if (S_ISDIR(info.st_mode)) {
    ThrowErrno(path, EISDIR);
  }
  size_ = static_cast<int64_t>(info.st_size);
  // A small file (a track list, the settings) needs no megabyte of buffer; should it grow
  // while it is read, the reads only come in smaller steps.
  const auto fileSize = static_cast<uint64_t>(std::max<int64_t>(size_, 0));
  const size_t blockSize = std::max<size_t>(std::min<uint64_t>(bufferSize, fileSize), 16);
  if (blockSize >= kReadAheadMinimum && fileSize > blockSize) {
    carry_ = kCarryLimit;
  }
  buffer_ = TByteBlock(carry_ + blockSize);
  blockSize_ = blockSize;
  window_ = buffer_.data() + carry_;
}

TInputFile::~TInputFile() {
  if (borrower_ != nullptr) {
    borrower_->WriteLentOutKeepingFailure();
  }
  StopReadingAhead();  // a read in flight uses the descriptor
}

void TInputFile::ThrowBadSeek() const {
  ThrowErrno(path_, EINVAL);
}

void TInputFile::Fill() {
  // Only a read that goes on from the window is followed by blocks read ahead: the first
  // window, a probe's reads (a format check, the tags at the end) and a walk that is
  // split between processors take none, nor a thread to read them.
  const bool goesOn = bufferFill_ > 0 && position_ >= bufferStart_ &&
                      position_ - bufferStart_ < static_cast<int64_t>(bufferFill_ + BlockSize());
  if (!TakeReadAhead()) {
    CallInLoan();  // the window's own block is read into
    bufferStart_ = position_;
    window_ = buffer_.data() + carry_;
    bufferFill_ = ReadFully(fd_.Get(), path_, buffer_.data() + carry_, BlockSize(), position_);
  }
  if (goesOn)
    StartReadAhead();
}

bool TInputFile::TakeReadAhead() {
  if (inFlight_ == 0) {
    return false;
  }
  const int slot = front_;
  int error = 0;
  const size_t got = readAhead_->Wait(slot, error);
  const int64_t next = readAhead_->Offset(slot);
  // The window goes on where the block read ahead starts; the walk may stand a little
  // before it (a frame that straddles the two) or inside it (data skipped past the end).
  const int64_t carried = std::max<int64_t>(next - position_, 0);
  const bool continues = next == bufferStart_ + static_cast<int64_t>(bufferFill_) &&
                         position_ >= bufferStart_ && carried <= static_cast<int64_t>(carry_) &&
                         position_ < next + static_cast<int64_t>(got);
  front_ = NextSlot(front_);
  --inFlight_;
  if (!continues) {
    DropReadAhead();  // read for nothing: the walk went elsewhere
    return false;
  }
  if (error != 0) {
    DropReadAhead();
    ThrowErrno(path_, error);
  }
  // The window's block takes the slot's place; an output may go on writing from it.
  lentFences_[static_cast<size_t>(slot)] =
      borrower_ != nullptr ? borrower_->LetLoanGo() : TWriteFence{};
  TByteBlock& block = readAhead_->Buffer(slot);
  unsigned char* start = block.data() + carry_ - carried;
  std::memcpy(start, window_ + (next - carried - bufferStart_), static_cast<size_t>(carried));
  buffer_.swap(block);
  window_ = start;
  bufferStart_ = next - carried;
  bufferFill_ = static_cast<size_t>(carried) + got;
  return true;
}

void TInputFile::DropReadAhead() {
  for (; inFlight_ > 0; --inFlight_) {
    readAhead_->Forget(front_);
    front_ = NextSlot(front_);
  }
}

void TInputFile::CallInLoan() {
  if (borrower_ != nullptr) {
    borrower_->WriteLentOut();
  }
}

void TInputFile::StopReadingAhead() {
  DropReadAhead();
  WaitForLentBlocks();
  readAhead_.reset();
  readAheadStopped_ = true;
  blockSize_ = std::min(blockSize_, kOwnReadBlock);
}

void TInputFile::StartReadAhead() {
  const int64_t end = bufferStart_ + static_cast<int64_t>(bufferFill_);
  // Only a full window is followed by more blocks; a short one met the end of the file.
  if (carry_ == 0 || readAheadStopped_ ||
      window_ + bufferFill_ != buffer_.data() + buffer_.size()) {
    return;
  }
  if (inFlight_ == 0) {
    aheadEnd_ = end;
  }
  if (!readAhead_ && aheadEnd_ < size_) {
    readAhead_ = std::make_unique<TReadAhead>(fd_.Get(), path_, buffer_.size(), carry_,
                                              kReadAheadDepth + kLentBlocks);
    lentFences_.resize(kReadAheadDepth + kLentBlocks);
  }
  while (inFlight_ < kReadAheadDepth && aheadEnd_ < size_) {
    const int slot = (front_ + inFlight_) % (kReadAheadDepth + kLentBlocks);
    TWriteFence& lent = lentFences_[static_cast<size_t>(slot)];
    lent.Wait();
    lent = {};
    readAhead_->Start(slot, aheadEnd_);
    aheadEnd_ += static_cast<int64_t>(BlockSize());
    ++inFlight_;
  }
}

void TInputFile::WaitForLentBlocks() {
  for (TWriteFence& lent : lentFences_) {
    lent.Wait();
    lent = {};
  }
}

const unsigned char* TInputFile::Peek(size_t count) {
  if (count > BlockSize()) {
    return nullptr;
  }
  int64_t offset = position_ - bufferStart_;
  if (offset < 0 || static_cast<uint64_t>(offset) + count > bufferFill_) {
    Fill();
    offset = position_ - bufferStart_;
  }
  return static_cast<uint64_t>(offset) + count <= bufferFill_ ? window_ + offset : nullptr;
}

size_t TInputFile::ReadAcrossWindow(void* dest, size_t count) {
  auto* out = static_cast<unsigned char*>(dest);
  size_t done = 0;
  bool carried = false;
  while (done < count) {
    const int64_t offset = position_ - bufferStart_;
    if (offset >= 0 && offset < static_cast<int64_t>(bufferFill_)) {
      const size_t take = std::min(count - done, bufferFill_ - static_cast<size_t>(offset));
      std::memcpy(out + done, window_ + offset, take);
      done += take;
      position_ += static_cast<int64_t>(take);
      continue;
    }
    if (count - done >= BlockSize()) {
      // A read as large as the buffer goes straight to the caller.
      const size_t got = ReadFully(fd_.Get(), path_, out + done, count - done, position_);
      done += got;
      position_ += static_cast<int64_t>(got);
      break;
    }
    // What the window held of this read goes into the next window with the rest, so that
    // the bytes of one read (a frame's header) lie there together. Once only: at the end of
    // the file the next window holds no more than this one did.
    if (!carried && done <= carry_) {
      position_ -= static_cast<int64_t>(done);
      done = 0;
      carried = true;
    }
    Fill();
    if (bufferFill_ == 0) {
      break;
    }
  }
  return done;
}

int64_t TInputFile::SkipInBufferUntil(unsigned char value, int64_t limit) {
  const int64_t start = position_ - bufferStart_;
  const int64_t end = std::min(static_cast<int64_t>(bufferFill_), limit - bufferStart_);
  if (start < 0 || start >= end) {
    return 0;
  }
  const unsigned char* from = window_ + start;
  const auto* found =
      static_cast<const unsigned char*>(std::memchr(from, value, static_cast<size_t>(end - start)));
  const int64_t passed = found != nullptr ? found - from : end - start;
  position_ += passed;
  return passed;
}

}  // namespace zembrio
