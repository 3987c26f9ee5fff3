// The format seam: one class per kind of source, behind one interface, so that the window,
// the command-line tool and the sound engine never ask a file's name what it holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "cut/runfeedback.h"
#include "cut/splitter.h"
#include "cutlist/cutpoint.h"
#include "format/sourcekind.h"
#include "join/join.h"
#include "sound/decoder.h"

namespace zembrio {

struct TCutJob {
  std::string SourcePath;
  std::string OutputDir;   // with a trailing "/"
  bool BatchMode = false;  // Ogg Vorbis: write the cutter's commands into a script
};

struct TStatsJob {
  std::string SourcePath;
  bool Detail = false;     // MPEG: the per-frame listing
  std::string DetailPath;  // where it goes
};

// What every format tells about a source before anything is cut.
struct TSourceInfo {
  int32_t SampleRate = 0;
  int32_t Channels = 0;
  int64_t TotalSamples = 0;
};

class TSourceFormat {
 public:
  virtual ~TSourceFormat() = default;
  virtual TSourceKind Kind() const = 0;
  // Cuts the source at the points of list (at least two, statuses already emptied).
  virtual TRunOutcome Cut(TRunContext& ctx, TCPList& list, const TCutJob& job) const = 0;
  // "Statistiques...": the report of the source, or the format's refusal.
  virtual TRunOutcome Statistics(TRunContext& ctx, TCPList& list, const TStatsJob& job) const = 0;
  // Whether the statistics can write a per-frame listing (the dialog asks for it).
  virtual bool HasStatisticsDetail() const { return false; }
  // How inputs of this kind are joined when the user asks for no raw copy.
  virtual TJoinMode JoinMode() const = 0;
  // Decoding for the envelope, the pauses, even splits and playback.
  virtual std::unique_ptr<TSoundDecoder> OpenDecoder(const std::string& path) const;
  TSourceInfo Probe(const std::string& path) const;
};

// The format of a kind; nullptr for Unknown.
const TSourceFormat* SourceFormatOf(TSourceKind kind);
// The format of the file at path, decided by its content; nullptr when no format takes it.
const TSourceFormat* SourceFormatOf(const std::string& path);

// "Couper maintenant!": refuses fewer than 2 cut points ("Spécifiez des points de coupe !!!")
// and sources no format takes (SourceRefusal's message), empties the status column and hands
// the cut to the source's format. A refusal is RunFailed.
TRunOutcome CutSource(TRunContext& ctx, TCPList& list, const std::string& sourcePath,
                      const std::string& outputDir, bool batchMode);

// "Statistiques...": refuses sources no format takes, then asks the source's format.
TRunOutcome SourceStatistics(TRunContext& ctx, TCPList& list, const TStatsJob& job);

// The join of inputs: the mode their kind gives when they are all of one kind (Ogg Vorbis and
// Opus are both Ogg: copied byte for byte, a chain players play); a raw copy when asked for
// or when the highlighted file is an Ogg one and the inputs are MPEG. Mixed kinds, or an input
// no format takes, are refused with a message naming the first file that differs.
struct TJoinChoice {
  bool Refused = false;
  std::string Refusal;
  TJoinMode Mode = TJoinMode::jmFrames;
};
TJoinChoice ChooseJoinMode(const std::vector<std::string>& inputs,
                           const std::string& highlightedSource, bool rawAsked);

// The join with the mode ChooseJoinMode gives for the rows' files; a refusal goes to
// ShowMessage and gives Refused, nothing written.
TJoinOutcome JoinSources(TRunContext& ctx, TJoinList& list, IJoinView& view,
                         const std::string& outputName, const std::string& highlightedSource,
                         bool rawAsked);

}  // namespace zembrio
