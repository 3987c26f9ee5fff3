// The report that ends a statistics run or a finished cut run, and the per-frame listing
// of a statistics run with detail.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "core/fileio.h"
#include "cutlist/cutpoint.h"
#include "mpeg/mpgfile.h"

namespace zembrio {

// The figures of a walked source that the report shows.
struct TStreamFigures {
  std::string VersionText;
  int32_t Layer = 0;  // RefLayer (layer code: 3 = I ... 1 = III)
  int32_t SampleRate = 0;
  int32_t FrameCount = 0;
  int64_t EndSample = 0;
  bool HasVBRHeader = false;
  bool HasTag = false;
  TBitrateTable BitrateTable{};
  std::array<int32_t, 16> BitrateCount{};

  static TStreamFigures Of(const TMPGFile& source);
};

struct TReportInput {
  bool Cut = true;
  std::string SourcePath;
  TStreamFigures Figures;
  std::chrono::milliseconds Elapsed{0};
  std::vector<std::string> ErrorLines;  // statistics run: frame errors before any cut point
  const TCPList* List = nullptr;        // cut run: the fragments
};

std::vector<std::string> BuildReport(const TReportInput& input);

// The rule under a report's titles.
constexpr const char* kReportRule = "---------------------";
// How every report begins: the processing time, then "Info fich:" with the source's name.
std::vector<std::string> ReportHead(std::chrono::milliseconds elapsed,
                                    const std::string& sourcePath);
// A cut's report ends with its fragments, each with its row's report.
void AddFragmentReports(const TCPList& list, std::vector<std::string>& lines);

// FormatPosition that stays defined before any frame gave a rate: 0 s then.
std::string PositionText(int32_t rate, int64_t position);
// One decimal with the given separator ("100.0", "12,5").
std::string FormatOneDecimal(double value, const std::string& separator);
// The locale's decimal separator (localeconv()).
std::string LocaleDecimalSeparator();
// The locale's long time of day of elapsed (hours wrap at 24), then "." and 3-digit ms.
std::string FormatElapsed(std::chrono::milliseconds elapsed);
// One line of the frame statistics: the bar, then bitrate, count and share.
std::string BitrateLine(int32_t bitrate, int32_t count, int32_t frameCount,
                        const std::string& separator);
// One line of the per-frame listing, without its line end.
std::string DetailLine(const TFrameDetail& frame, int32_t sampleRate);

// The detail file of a statistics run: one listing line per accepted frame, then the
// report, every line ended by CR LF. Writes and the close are checked (they throw).
class TDetailListing : public IFrameDetailSink {
 public:
  TDetailListing(const std::string& path, const TMPGFile& source);
  void OnFrame(const TFrameDetail& frame) override;
  void WriteLines(const std::vector<std::string>& lines);
  void Close() { file_.Close(); }

 private:
  void WriteLine(const std::string& line);

  TOutputFile file_;
  const TMPGFile& source_;
};

}  // namespace zembrio
