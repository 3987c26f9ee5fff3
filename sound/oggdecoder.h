// The one place that sees libvorbisfile: an Ogg Vorbis source decoded into float blocks,
// positions counted in samples from the start of the stream as the Ogg cut counts them.
#pragma once

#include <vorbis/vorbisfile.h>

#include <memory>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "sound/decoder.h"

namespace zembrio {

class TOggDecoder : public TSoundDecoder {
 public:
  // Throws std::system_error when the file cannot be opened and TSoundError (with the
  // library's reason) when it is no Ogg Vorbis stream.
  explicit TOggDecoder(const std::string& path);

  TPcmFormat Format() const override { return format_; }
  bool Next(TPcmBlock& block) override;
  double Progress() const override;
  int64_t TotalSamples() const override { return total_; }
  // Goes on from sample first (from the start of the source on, first within it); false,
  // the position unchanged, when the library cannot seek there.
  bool SeekTo(int64_t first);

 private:
  // The library's struct, cleared with it once ov_open_callbacks succeeded.
  struct TVorbisHandle {
    OggVorbis_File File{};
    bool Open = false;
    TVorbisHandle() = default;
    TVorbisHandle(const TVorbisHandle&) = delete;
    TVorbisHandle& operator=(const TVorbisHandle&) = delete;
    ~TVorbisHandle();
  };

  std::unique_ptr<TInputFile> input_;
  std::unique_ptr<TVorbisHandle> vorbis_;
  TPcmFormat format_;
  int64_t total_ = 0;
  int64_t position_ = 0;
  bool ended_ = false;
  std::vector<float> out_;
};

// The library's text for an OV_ error code.
std::string VorbisErrorText(int code);

}  // namespace zembrio
