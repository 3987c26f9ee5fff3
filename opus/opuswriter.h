// One fragment being written: a new Ogg stream (its own serial number, pages numbered from
// 0) holding the fragment's OpusHead and OpusTags and then audio packets copied as they
// are. libogg makes the pages and their CRCs, except for the source's pages that the
// fragment takes whole: those are copied as they are, only their header rewritten. Until
// the file is opened, the pages made are kept in memory: a fragment's pre-roll is read
// before it is known that the fragment gets any audio of its own.
#pragma once

#include <ogg/ogg.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "opus/oggpage.h"

namespace zembrio {

class TOpusFragmentWriter {
 public:
  // Starts the stream with its two headers, each ending its pages.
  TOpusFragmentWriter(uint32_t serial, const std::vector<uint8_t>& head,
                      const std::vector<uint8_t>& tags);
  ~TOpusFragmentWriter();
  TOpusFragmentWriter(const TOpusFragmentWriter&) = delete;
  TOpusFragmentWriter& operator=(const TOpusFragmentWriter&) = delete;

  // Creates the file and writes what was made so far. Throws std::system_error.
  void Open(const std::string& path);
  bool IsOpen() const { return file_ != nullptr; }
  const std::string& Path() const { return path_; }
  // Appends a packet whose last sample is sample granule - 1 of the stream (the pre-skip
  // included). The last packet ends the stream; its granule may lie inside it: that trims
  // the end.
  void AddPacket(const uint8_t* data, size_t size, int64_t granule, bool last);
  // Appends a source page that holds packets whole packets and nothing else, as it is:
  // pages made from the packets before it end first. granule: the stream's samples up to
  // the end of its last packet.
  void AddPage(const TOggPage& page, int packets, int64_t granule);
  // Ends the stream on the page added last by AddPage: it becomes the stream's last page,
  // with granule (which may trim its last packet).
  void EndOnLastPage(int64_t granule);
  // Writes out the last pages and closes; throws std::system_error when a write or the
  // close fails. The stream must have been ended by a last packet.
  void Finish();
  int64_t PacketsWritten() const { return audioPackets_; }

 private:
  void AddHeader(const std::vector<uint8_t>& packet);
  // Takes out the pages libogg holds: full ones, or every one when flush is set.
  void TakePages(bool flush);
  void Put(const unsigned char* data, size_t size);

  ogg_stream_state stream_{};
  std::string path_;
  std::unique_ptr<TOutputFile> file_;
  std::vector<uint8_t> held_;  // pages made before Open
  int64_t packetNo_ = 0;
  int64_t audioPackets_ = 0;
  int64_t written_ = 0;  // bytes of pages made, held or written
  // The header of the page added last by AddPage, and where it lies.
  std::vector<uint8_t> copiedHeader_;
  size_t copiedBody_ = 0;
  int64_t copiedAt_ = -1;
};

}  // namespace zembrio
