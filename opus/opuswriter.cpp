#include "opus/opuswriter.h"

#include <algorithm>

namespace zembrio {

TOpusFragmentWriter::TOpusFragmentWriter(uint32_t serial, const std::vector<uint8_t>& head,
                                         const std::vector<uint8_t>& tags) {
  ogg_stream_init(&stream_, static_cast<int>(serial));
  AddHeader(head);
  AddHeader(tags);
}

TOpusFragmentWriter::~TOpusFragmentWriter() {
  ogg_stream_clear(&stream_);
}

// Readers expect OpusHead alone on the first page and the audio to begin on a fresh page.
void TOpusFragmentWriter::AddHeader(const std::vector<uint8_t>& packet) {
  ogg_packet op{};
  op.packet = const_cast<unsigned char*>(packet.data());
  op.bytes = static_cast<long>(packet.size());
  op.b_o_s = packetNo_ == 0 ? 1 : 0;
  op.granulepos = 0;
  op.packetno = packetNo_++;
  ogg_stream_packetin(&stream_, &op);
  TakePages(true);
}

void TOpusFragmentWriter::Open(const std::string& path) {
  path_ = path;
  file_ = std::make_unique<TOutputFile>(path, kOggReadBuffer);
  file_->Write(held_.data(), held_.size());
  held_.clear();
  held_.shrink_to_fit();
}

void TOpusFragmentWriter::AddPacket(const uint8_t* data, size_t size, int64_t granule, bool last) {
  ogg_packet op{};
  op.packet = const_cast<unsigned char*>(data);
  op.bytes = static_cast<long>(size);
  op.e_o_s = last ? 1 : 0;
  op.granulepos = granule;
  op.packetno = packetNo_++;
  ogg_stream_packetin(&stream_, &op);
  ++audioPackets_;
  TakePages(last);
}

void TOpusFragmentWriter::AddPage(const TOggPage& page, int packets, int64_t granule) {
  TakePages(true);
  copiedHeader_.assign(page.Bytes, page.Bytes + page.HeaderSize);
  copiedBody_ = page.BodySize;
  RewriteOggHeader(
      copiedHeader_.data(), copiedHeader_.size(), copiedBody_,
      {0, granule, static_cast<uint32_t>(stream_.serialno), static_cast<uint32_t>(stream_.pageno)});
  ++stream_.pageno;
  packetNo_ += packets;
  audioPackets_ += packets;
  copiedAt_ = written_;
  Put(copiedHeader_.data(), copiedHeader_.size());
  Put(page.Body(), page.BodySize);
}

void TOpusFragmentWriter::EndOnLastPage(int64_t granule) {
  RewriteOggHeader(copiedHeader_.data(), copiedHeader_.size(), copiedBody_,
                   {kOggLast, granule, static_cast<uint32_t>(stream_.serialno),
                    static_cast<uint32_t>(stream_.pageno - 1)});
  if (file_) {
    file_->WriteAt(copiedAt_, copiedHeader_.data(), copiedHeader_.size());
  } else {
    std::copy(copiedHeader_.begin(), copiedHeader_.end(),
              held_.begin() + static_cast<std::ptrdiff_t>(copiedAt_));
  }
}

void TOpusFragmentWriter::Finish() {
  TakePages(true);
  if (file_)
    file_->Close();
}

void TOpusFragmentWriter::TakePages(bool flush) {
  ogg_page page;
  while ((flush ? ogg_stream_flush(&stream_, &page) : ogg_stream_pageout(&stream_, &page)) != 0) {
    Put(page.header, static_cast<size_t>(page.header_len));
    Put(page.body, static_cast<size_t>(page.body_len));
  }
}

void TOpusFragmentWriter::Put(const unsigned char* data, size_t size) {
  written_ += static_cast<int64_t>(size);
  if (file_)
    file_->Write(data, size);
  else
    held_.insert(held_.end(), data, data + size);
}

}  // namespace zembrio
