#include "core/outputfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>

#include "core/inputfile.h"
#include "core/writebehind.h"

namespace zembrio {

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
    fd_ = TFd(OpenTemporaryBeside(path, tempPath_));
  if (!fd_.IsOpen())
    fd_ = TFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd_.IsOpen()) {
    ThrowErrno(path);
  }
  struct stat info {};
  positioned_ = ::fstat(fd_.Get(), &info) == 0 && S_ISREG(info.st_mode);
}

TOutputFile::~TOutputFile() {
  try {
    Close();
  } catch (const std::exception&) {
    // The owner chose not to ask; the descriptor is released all the same.
  }
}

void TOutputFile::CheckOpen() const {
  if (!fd_.IsOpen()) {
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
  if (positioned_ && (lentCount_ >= kLentLimit ||
                      (lentCount_ >= kLentWhenIdle && (!writer_ || writer_->Idle())))) {
    FailOnWriteBehind();
    HandOverLent();
  }
}

void TOutputFile::FailOnWriteBehind() {
  if (!writer_ || writer_->Failure() == 0)
    return;
  WriteLentOut();  // the loan ends once the writes under way are through
  Fail(writer_->Failure());
}

void TOutputFile::HandOverLent() {
  if (lentCount_ == 0)
    return;
  if (!writer_)
    writer_ = std::make_unique<TWriteBehind>(fd_.Get());
  writer_->Add({lent_, lentCount_, lentOffset_});
  lent_ += lentCount_;
  lentOffset_ += static_cast<int64_t>(lentCount_);
  lentCount_ = 0;
}

void TOutputFile::Put(const unsigned char* data, size_t count, int64_t offset) {
  if (positioned_) {
    if (const int error = WriteFullyAt(fd_.Get(), data, count, offset))
      Fail(error);
    return;
  }
  try {
    WriteFully(fd_.Get(), path_, data, count);
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

TWriteFence TOutputFile::LetLoanGo() {
  if (!positioned_ || lender_ == nullptr) {
    WriteLentOut();
    return {};
  }
  FailOnWriteBehind();
  lender_->borrower_ = nullptr;
  lender_ = nullptr;
  HandOverLent();
  return writer_ ? writer_->Fence() : TWriteFence{};
}

void TOutputFile::WriteLentOutKeepingFailure() noexcept {
  try {
    WriteLentOut();
  } catch (const std::system_error& failure) {
    keptError_ = failure.code().value();
  }
}

void TOutputFile::Flush() {
  if (!fd_.IsOpen()) {
    return;
  }
  WriteLentOut();
  // Bytes let go by a lender that moved on may still be under way, or have failed.
  if (const int error = writer_ ? writer_->Wait() : 0)
    Fail(error);
  FlushBuffer();
}

bool TOutputFile::CanSeek() const {
  struct stat info {};
  return fd_.IsOpen() && ::fstat(fd_.Get(), &info) == 0 && S_ISREG(info.st_mode);
}

void TOutputFile::WriteAt(int64_t position, const void* data, size_t count) {
  CheckOpen();
  Flush();
  if (const int error =
          WriteFullyAt(fd_.Get(), static_cast<const unsigned char*>(data), count, position))
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
  if (!fd_.IsOpen()) {
    return;
  }
  try {
    Flush();
  } catch (...) {
    Discard();
    throw;
  }
  writer_.reset();  // all written: the thread goes
  const int error = fd_.Close();
  if (failure_ != 0 || error != 0) {
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
  if (fd_.IsOpen()) {
    EndLoan();
    fd_.Reset();
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

}  // namespace zembrio
