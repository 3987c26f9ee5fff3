#include "core/byteblock.h"

#include <mutex>
#include <vector>

namespace zembrio {

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

}  // namespace zembrio
