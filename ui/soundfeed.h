// A stretch of a source as 16-bit PCM for the audio output to pull: decoded block by block
// as the output asks for it, from a start sample up to an end sample.
#pragma once

#include <QIODevice>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sound/decoder.h"

namespace zembrio {

class TSoundFeed : public QIODevice {
  Q_OBJECT

 public:
  // Opens path and goes to fromMs; toMs < 0 plays to the end. Throws as OpenSoundDecoder
  // does.
  TSoundFeed(const std::string& path, int64_t fromMs, int64_t toMs, QObject* parent = nullptr);
  ~TSoundFeed() override;

  TPcmFormat Format() const { return format_; }
  int64_t FromSample() const { return from_; }
  bool AtEnd() const { return ended_ && pendingAt_ >= pending_.size(); }

  // Called once, as the output takes the first samples (the player times its start by it).
  void SetFirstReadHandler(std::function<void()> handler) { firstRead_ = std::move(handler); }

  bool isSequential() const override { return true; }
  qint64 bytesAvailable() const override;

 protected:
  qint64 readData(char* data, qint64 maxSize) override;
  qint64 writeData(const char* data, qint64 maxSize) override;

 private:
  bool Refill();

  std::unique_ptr<TSoundDecoder> decoder_;
  TPcmFormat format_;
  int64_t from_ = 0;
  int64_t to_ = -1;
  bool ended_ = false;
  std::vector<int16_t> pending_;
  size_t pendingAt_ = 0;
  std::function<void()> firstRead_;
};

}  // namespace zembrio
