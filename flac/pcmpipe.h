// Decoded samples on their way from the source's decode to the MD5s that read them: whole
// blocks packed as the MD5 takes them, handed over in order to every reader, a few at a
// time so that memory stays bounded however long the source is.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace zembrio {

// Consecutive samples of the source, packed: interleaved, little-endian, whole bytes.
struct TPcmChunk {
  uint64_t First = 0;  // the first sample, counted from the stream's start
  uint64_t Count = 0;
  std::vector<uint8_t> Bytes;  // the first Size hold the samples; the rest is kept for reuse
  size_t Size = 0;
};

class TPcmChunkPipe {
 public:
  // readers: how many read every chunk; capacity: chunks that may wait for them.
  TPcmChunkPipe(size_t readers, size_t capacity);

  // An empty chunk for the writer, reusing the memory of one every reader is done with.
  std::unique_ptr<TPcmChunk> Take();
  // Appends chunk for every reader; waits while the pipe is full. false: the pipe stopped.
  bool Push(std::unique_ptr<TPcmChunk> chunk);
  // No more chunks: readers finish what is there.
  void Close();
  // Readers and writer give up at once.
  void Stop();

  // The next chunk for reader; the one it had before is done with. nullptr: the pipe closed
  // and reader has had every chunk, or it stopped.
  const TPcmChunk* Next(size_t reader);

 private:
  void DropRead();

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<TPcmChunk>> chunks_;
  uint64_t front_ = 0;          // the index of chunks_.front() among all chunks pushed
  std::vector<uint64_t> next_;  // per reader: the index of the chunk it takes next
  std::vector<uint64_t> done_;  // per reader: the chunks before this index it is done with
  std::vector<std::unique_ptr<TPcmChunk>> spare_;
  size_t capacity_;
  bool closed_ = false;
  bool stopped_ = false;
};

}  // namespace zembrio
