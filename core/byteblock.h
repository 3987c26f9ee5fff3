#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace zembrio {

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

}  // namespace zembrio
