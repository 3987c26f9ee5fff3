#include "core/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace zembrio {

namespace {

[[noreturn]] void ThrowErrno(const std::string& path, int error = errno) {
  throw std::system_error(error, std::generic_category(), path);
}

// pread until count bytes arrive or the file ends; returns the bytes read.
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

// write until every byte is out; a write that makes no progress counts as a full disk.
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

// pwrite until every byte is out at offset; a write that makes no progress counts as a full
// disk. Returns 0 or the error number.
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

}  // namespace

// ---------------------------------------------------------------------------------------------
// TByteBlock

namespace {

struct TBlockPool {
  static constexpr size_t kKept = 8;
  std::mutex Mutex;
  std::vector<std::pair<std::unique_ptr<unsigned char[]>, size_t>> Blocks;
};

TBlockPool& BlockPool() {
  static TBlockPool pool;
  return pool;
}

}  // namespace

TByteBlock::TByteBlock(size_t size) : size_(size) {
  TBlockPool& pool = BlockPool();
  {
    std::lock_guard lock(pool.Mutex);
    for (size_t i = 0; i < pool.Blocks.size(); ++i) {
      if (pool.Blocks[i].second == size) {
        data_ = std::move(pool.Blocks[i].first);
        pool.Blocks.erase(pool.Blocks.begin() + static_cast<std::ptrdiff_t>(i));
        return;
      }
    }
  }
  data_ = std::make_unique_for_overwrite<unsigned char[]>(size);
}

TByteBlock::~TByteBlock() {
  if (!data_) {
    return;
  }
  TBlockPool& pool = BlockPool();
  std::lock_guard lock(pool.Mutex);
  if (pool.Blocks.size() < TBlockPool::kKept) {
    pool.Blocks.emplace_back(std::move(data_), size_);
  }
}

// ---------------------------------------------------------------------------------------------
// TReadAhead

// Reads blocks for its owner on one thread, in the order the reads were started, each into
// a slot of its own after room bytes kept free at the front of the block. The owner starts
// reads, goes on with its work, then waits for a slot's bytes; between the wait and the
// slot's next start the block is the owner's. One thread, not one per block: with the walk
// that makes two busy threads for two processors, and a thread that is ahead reads its
// next block without waiting to be woken.
class TReadAhead {
 public:
  TReadAhead(int fd, const std::string& path, size_t blockSize, size_t room, int slots)
      : fd_(fd), path_(path), room_(room), slots_(static_cast<size_t>(slots)) {
    for (TSlot& slot : slots_)
      slot.Block = TByteBlock(blockSize);
    thread_ = std::thread([this] { Loop(); });
  }
  ~TReadAhead() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TReadAhead(const TReadAhead&) = delete;
  TReadAhead& operator=(const TReadAhead&) = delete;

  void Start(int slot, int64_t offset) {
    {
      std::lock_guard lock(mutex_);
      TSlot& target = Slot(slot);
      target.Offset = offset;
      target.Done = false;
      queue_.push_back(slot);
    }
    wake_.notify_one();
  }
  int64_t Offset(int slot) { return Slot(slot).Offset; }

  // Waits for the read started last in slot; returns the bytes read, and its error through
  // error.
  size_t Wait(int slot, int& error) {
    std::unique_lock lock(mutex_);
    TSlot& target = Slot(slot);
    finished_.wait(lock, [&target] { return target.Done; });
    error = target.Error;
    return target.Got;
  }
  TByteBlock& Buffer(int slot) { return Slot(slot).Block; }

 private:
  struct TSlot {
    TByteBlock Block;
    int64_t Offset = 0;
    size_t Got = 0;
    int Error = 0;
    bool Done = true;
  };

  TSlot& Slot(int slot) { return slots_[static_cast<size_t>(slot)]; }

  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [this] { return !queue_.empty() || stop_; });
      if (stop_)
        return;
      TSlot& slot = Slot(queue_.front());
      queue_.pop_front();
      const int64_t offset = slot.Offset;
      lock.unlock();
      size_t got = 0;
      int error = 0;
      try {
        got = ReadFully(fd_, path_, slot.Block.data() + room_, slot.Block.size() - room_, offset);
      } catch (const std::system_error& failure) {
        error = failure.code().value();
      }
      lock.lock();
      slot.Got = got;
      slot.Error = error;
      slot.Done = true;
      finished_.notify_all();
    }
  }

  const int fd_;
  const std::string& path_;  // the owner's, which outlives this
  const size_t room_;
  std::vector<TSlot> slots_;
  std::deque<int> queue_;  // slots started and not yet read, oldest first
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  bool stop_ = false;
  std::thread thread_;
};

// ---------------------------------------------------------------------------------------------
// TWriteBehind

// Writes stretches of memory into one file at their offsets, on a thread of its own, in the
// order they come. Putting bytes into the system's cache is the slow part of a cut: on a
// second processor it no longer holds up the walk that lends them. The bytes stay where
// they are until Wait() has returned (their lender waits before its window changes). The
// first failure ends the writing; later stretches are dropped, since the file will not
// take its name.
class TWriteBehind {
 public:
  struct TJob {
    const unsigned char* Data = nullptr;
    size_t Count = 0;
    int64_t Offset = 0;
  };

  explicit TWriteBehind(int fd) : fd_(fd), thread_([this] { Loop(); }) {}
  // The stretches not begun are dropped.
  ~TWriteBehind() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  TWriteBehind(const TWriteBehind&) = delete;
  TWriteBehind& operator=(const TWriteBehind&) = delete;

  void Add(const TJob& job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(job);
      idle_.store(false, std::memory_order_relaxed);
    }
    wake_.notify_one();
  }
  // Nothing to write right now. Read without a lock at every loan: a stale answer only
  // hands a stretch over a little earlier or later.
  bool Idle() const { return idle_.load(std::memory_order_relaxed); }
  int Failure() const { return failure_.load(std::memory_order_acquire); }
  // Waits until every stretch handed over is written; returns the first failure (0: none).
  int Wait() {
    std::unique_lock lock(mutex_);
    done_.wait(lock, [this] { return jobs_.empty() && !busy_; });
    return Failure();
  }

 private:
  void Loop() {
    std::unique_lock lock(mutex_);
    for (;;) {
      if (jobs_.empty()) {
        idle_.store(true, std::memory_order_relaxed);
        done_.notify_all();
      }
      wake_.wait(lock, [this] { return !jobs_.empty() || stop_; });
      if (stop_)
        return;
      const TJob job = jobs_.front();
      jobs_.pop_front();
      busy_ = true;
      lock.unlock();
      const int error = Failure() == 0 ? WriteFullyAt(fd_, job.Data, job.Count, job.Offset) : 0;
      lock.lock();
      busy_ = false;
      if (error != 0 && Failure() == 0)
        failure_.store(error, std::memory_order_release);
    }
  }

  const int fd_;
  std::deque<TJob> jobs_;
  bool busy_ = false;
  bool stop_ = false;
  std::atomic<bool> idle_{true};
  std::atomic<int> failure_{0};
  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable done_;
  std::thread thread_;  // last: it starts once everything above is made
};

// ---------------------------------------------------------------------------------------------
// TInputFile

TInputFile::TInputFile(const std::string& path, size_t bufferSize) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    ThrowErrno(path);
  }
  struct stat info {};
  if (::fstat(fd_, &info) != 0) {
    const int error = errno;
    ::close(fd_);
    ThrowErrno(path, error);
  }
  if (S_ISDIR(info.st_mode)) {
    ::close(fd_);
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
  window_ = buffer_.data() + carry_;
}

TInputFile::~TInputFile() {
  if (borrower_ != nullptr) {
    borrower_->WriteLentOutKeepingFailure();
  }
  StopReadingAhead();  // a read in flight uses the descriptor
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

void TInputFile::ThrowBadSeek() const {
  ThrowErrno(path_, EINVAL);
}

void TInputFile::Fill() {
  CallInLoan();
  if (!TakeReadAhead()) {
    bufferStart_ = position_;
    window_ = buffer_.data() + carry_;
    bufferFill_ = ReadFully(fd_, path_, buffer_.data() + carry_, BlockSize(), position_);
  }
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
  front_ = (front_ + 1) % kReadAheadDepth;
  --inFlight_;
  if (!continues) {
    DropReadAhead();  // read for nothing: the walk went elsewhere
    return false;
  }
  if (error != 0) {
    DropReadAhead();
    ThrowErrno(path_, error);
  }
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
    int error = 0;
    readAhead_->Wait(front_, error);
    front_ = (front_ + 1) % kReadAheadDepth;
  }
}

void TInputFile::CallInLoan() {
  if (borrower_ != nullptr) {
    borrower_->WriteLentOut();
  }
}

void TInputFile::StopReadingAhead() {
  DropReadAhead();
  readAhead_.reset();
  readAheadStopped_ = true;
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
    readAhead_ = std::make_unique<TReadAhead>(fd_, path_, buffer_.size(), carry_, kReadAheadDepth);
  }
  while (inFlight_ < kReadAheadDepth && aheadEnd_ < size_) {
    readAhead_->Start((front_ + inFlight_) % kReadAheadDepth, aheadEnd_);
    aheadEnd_ += static_cast<int64_t>(BlockSize());
    ++inFlight_;
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
      const size_t got = ReadFully(fd_, path_, out + done, count - done, position_);
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

// ---------------------------------------------------------------------------------------------
// TOutputFile

namespace {

// The permissions a file created by open() with 0666 gets: umask is read once, at start,
// before any thread could create a file.
const mode_t kCreateMode = [] {
  const mode_t mask = ::umask(022);
  ::umask(mask);
  return static_cast<mode_t>(0666 & ~mask);
}();

// Opens a uniquely named hidden file in path's folder, with the permissions the output
// would get (those of the file it replaces, if any); -1 when none can be made there. Its
// name does not grow with the output's, which may be as long as a name can be.
int OpenTemporaryBeside(const std::string& path, std::string& tempPath) {
  const size_t slash = path.rfind('/');
  std::string pattern =
      (slash == std::string::npos ? std::string() : path.substr(0, slash + 1)) + ".zembrio-XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0)
    return -1;
  struct stat info {};
  const bool replaces = ::stat(path.c_str(), &info) == 0;
  ::fchmod(fd, replaces ? (info.st_mode & 07777) : kCreateMode);
  tempPath = pattern;
  return fd;
}

bool IsRegularOrMissing(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode);
}

}  // namespace

TOutputFile::TOutputFile(const std::string& path, size_t bufferSize)
    : path_(path), buffer_(std::max<size_t>(bufferSize, 16)) {
  if (!path.empty() && IsRegularOrMissing(path))
    fd_ = OpenTemporaryBeside(path, tempPath_);
  if (fd_ < 0)
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd_ < 0) {
    ThrowErrno(path);
  }
  struct stat info {};
  positioned_ = ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

TOutputFile::~TOutputFile() {
  try {
    Close();
  } catch (const std::exception&) {
    // The owner chose not to ask; the descriptor is released all the same.
  }
}

void TOutputFile::CheckOpen() const {
  if (fd_ < 0) {
    ThrowErrno(path_, EBADF);
  }
}

void TOutputFile::Write(const void* data, size_t count) {
  CheckOpen();
  if (!positioned_)
    WriteLentOut();  // these bytes come after the lent ones
  const auto* in = static_cast<const unsigned char*>(data);
  // Positioned, the buffer holds one stretch of the file: lent bytes since then end it.
  if (bufferFill_ + count > buffer_.size() ||
      (positioned_ && bufferOffset_ + static_cast<int64_t>(bufferFill_) != written_)) {
    FlushBuffer();
  }
  if (bufferFill_ == 0)
    bufferOffset_ = written_;
  if (count >= buffer_.size()) {
    Put(in, count, written_);
  } else {
    std::memcpy(buffer_.data() + bufferFill_, in, count);
    bufferFill_ += count;
  }
  written_ += static_cast<int64_t>(count);
}

void TOutputFile::WriteLent(TInputFile& source, const void* data, size_t count) {
  // Positioned, the bytes go to the writing thread once they are many, or at once while it
  // has nothing to do, so that it never waits long for work.
  constexpr size_t kLentWhenIdle = size_t{64} << 10;
  constexpr size_t kLentLimit = size_t{1} << 20;
  CheckOpen();
  const auto* bytes = static_cast<const unsigned char*>(data);
  // Positioned, bytes of its own written since the last loan end the stretch too.
  const bool continues = lender_ == &source && bytes == lent_ + lentCount_ &&
                         lentOffset_ + static_cast<int64_t>(lentCount_) == written_;
  if (!continues) {
    if (positioned_ && lender_ == &source) {
      HandOverLent();  // another stretch of the same window
    } else {
      WriteLentOut();
      if (!positioned_)
        FlushBuffer();  // the bytes buffered so far come first
      if (source.borrower_ != nullptr) {
        source.borrower_->WriteLentOut();  // another output's loan from the same window
      }
      source.borrower_ = this;
      lender_ = &source;
    }
    lent_ = bytes;
    lentOffset_ = written_;
  }
  lentCount_ += count;
  written_ += static_cast<int64_t>(count);
  if (positioned_ &&
      (lentCount_ >= kLentLimit || (lentCount_ >= kLentWhenIdle && (!writer_ || writer_->Idle()))))
    HandOverLent();
}

void TOutputFile::HandOverLent() {
  if (lentCount_ == 0)
    return;
  if (!writer_)
    writer_ = std::make_unique<TWriteBehind>(fd_);
  writer_->Add({lent_, lentCount_, lentOffset_});
  lent_ += lentCount_;
  lentOffset_ += static_cast<int64_t>(lentCount_);
  lentCount_ = 0;
}

void TOutputFile::Put(const unsigned char* data, size_t count, int64_t offset) {
  if (positioned_) {
    if (const int error = WriteFullyAt(fd_, data, count, offset))
      Fail(error);
    return;
  }
  try {
    WriteFully(fd_, path_, data, count);
  } catch (const std::system_error& failure) {
    Fail(failure.code().value());
  }
}

void TOutputFile::Fail(int error) {
  if (failure_ == 0)
    failure_ = error;
  ThrowErrno(path_, error);
}

void TOutputFile::WriteLentOut() {
  if (keptError_ != 0) {
    const int error = keptError_;
    keptError_ = 0;
    Fail(error);
  }
  if (lender_ == nullptr) {
    return;
  }
  lender_->borrower_ = nullptr;
  lender_ = nullptr;
  if (positioned_) {
    HandOverLent();
    if (const int error = writer_ ? writer_->Wait() : 0)
      Fail(error);
    return;
  }
  const size_t count = lentCount_;
  lentCount_ = 0;
  Put(lent_, count, lentOffset_);
}

void TOutputFile::WriteLentOutKeepingFailure() noexcept {
  try {
    WriteLentOut();
  } catch (const std::system_error& failure) {
    keptError_ = failure.code().value();
  }
}

void TOutputFile::Flush() {
  if (fd_ < 0) {
    return;
  }
  WriteLentOut();
  FlushBuffer();
}

bool TOutputFile::CanSeek() const {
  struct stat info {};
  return fd_ >= 0 && ::fstat(fd_, &info) == 0 && S_ISREG(info.st_mode);
}

void TOutputFile::WriteAt(int64_t position, const void* data, size_t count) {
  CheckOpen();
  Flush();
  if (const int error = WriteFullyAt(fd_, static_cast<const unsigned char*>(data), count, position))
    Fail(error);
}

void TOutputFile::FlushBuffer() {
  if (bufferFill_ == 0) {
    return;
  }
  // The buffer counts as gone even when the write fails, so that a failed close does not
  // try to write the same bytes again.
  const size_t fill = bufferFill_;
  bufferFill_ = 0;
  Put(buffer_.data(), fill, bufferOffset_);
}

void TOutputFile::Close() {
  if (fd_ < 0) {
    return;
  }
  try {
    Flush();
  } catch (...) {
    Discard();
    throw;
  }
  writer_.reset();  // all written: the thread goes
  const int result = ::close(fd_);
  const int error = errno;
  fd_ = -1;
  if (failure_ != 0 || (result != 0 && error != EINTR)) {
    RemoveTemporary();
    ThrowErrno(path_, failure_ != 0 ? failure_ : error);
  }
  if (!tempPath_.empty() && ::rename(tempPath_.c_str(), path_.c_str()) != 0) {
    const int renameError = errno;
    RemoveTemporary();
    ThrowErrno(path_, renameError);
  }
  tempPath_.clear();
}

void TOutputFile::Discard() noexcept {
  writer_.reset();  // before the descriptor it writes to goes, and the loan ends
  if (fd_ >= 0) {
    EndLoan();
    ::close(fd_);
    fd_ = -1;
  }
  RemoveTemporary();
}

void TOutputFile::RemoveTemporary() noexcept {
  if (!tempPath_.empty())
    ::unlink(tempPath_.c_str());
  tempPath_.clear();
}

void TOutputFile::EndLoan() noexcept {
  if (lender_ != nullptr) {
    lender_->borrower_ = nullptr;
    lender_ = nullptr;
  }
  lentCount_ = 0;
}

// ---------------------------------------------------------------------------------------------
// Free functions

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
int CreateTempBeside(const std::string& path, std::string& tempName) {
  std::string pattern = path + ".XXXXXX";
  const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
  if (fd < 0) {
    ThrowErrno(path);
  }
  tempName = pattern;
  // Keep the permissions of the file being replaced; a new file gets the usual ones.
  struct stat info {};
  const mode_t mode = ::stat(path.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
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
  int fd = CreateTempBeside(path, tempName);
  try {
    WriteFully(fd, path, reinterpret_cast<const unsigned char*>(content.data()), content.size());
    if (::fsync(fd) != 0) {
      ThrowErrno(path);
    }
    const int result = ::close(fd);
    fd = -1;
    if (result != 0) {
      ThrowErrno(path);
    }
  } catch (...) {
    if (fd >= 0) {
      ::close(fd);
    }
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
