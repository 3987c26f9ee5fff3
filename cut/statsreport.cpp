#include "cut/statsreport.h"

#include <algorithm>
#include <charconv>
#include <clocale>
#include <cstdio>
#include <ctime>

#include "core/timevalue.h"
#include "cut/runfeedback.h"

namespace zembrio {

namespace {

constexpr int kBarWidth = 50;
constexpr int kFirstBitrateIndex = 1;
constexpr int kLastBitrateIndex = 14;

std::string Printf(const char* format, int32_t value) {
  char buffer[32];
  const int length = std::snprintf(buffer, sizeof buffer, format, value);
  return std::string(buffer, static_cast<size_t>(std::max(length, 0)));
}

std::string PresentText(bool present) {
  return present ? "présent" : "non présent";
}

// The share of count in total, as a fraction; 0 when nothing was counted.
double ShareOf(int64_t count, int64_t total) {
  return total > 0 ? static_cast<double>(count) / static_cast<double>(total) : 0.0;
}

void AddFileInfo(const TReportInput& input, std::vector<std::string>& lines) {
  const TStreamFigures& f = input.Figures;
  lines.push_back("MPEG Version: " + f.VersionText);
  lines.push_back("MPEG Layer: " + std::to_string(4 - f.Layer));
  lines.push_back("Fréquence: " + std::to_string(f.SampleRate) + " Hz");
  if (!input.Cut) {
    lines.push_back("Total frames: " + std::to_string(f.FrameCount));
    lines.push_back("Durée : " + PositionText(f.SampleRate, f.EndSample));
  }
  lines.push_back("Entête VBR: " + PresentText(f.HasVBRHeader));
  lines.push_back("TAG ID3v1: " + PresentText(f.HasTag));
}

void AddFrameErrors(const std::vector<std::string>& errorLines, std::vector<std::string>& lines) {
  if (errorLines.empty())
    return;
  lines.emplace_back();
  lines.emplace_back("Err.de frame:");
  lines.insert(lines.end(), errorLines.begin(), errorLines.end());
}

void AddFrameStatistics(const TStreamFigures& f, std::vector<std::string>& lines) {
  const std::string separator = LocaleDecimalSeparator();
  lines.emplace_back();
  lines.emplace_back("Stats frames:    ");
  lines.emplace_back(kReportRule);
  lines.emplace_back("Bitrate - Frames - Pourcent. ");
  int64_t weightedSum = 0;  // 64 bits: a long file at a high rate overflows 32
  for (int i = kFirstBitrateIndex; i <= kLastBitrateIndex; ++i) {
    lines.push_back(BitrateLine(f.BitrateTable[i], f.BitrateCount[i], f.FrameCount, separator));
    weightedSum += int64_t{f.BitrateTable[i]} * f.BitrateCount[i];
  }
  const double average = f.FrameCount > 0 ? static_cast<double>(weightedSum) / f.FrameCount : 0.0;
  lines.push_back("Bitrate moyen:   " + FormatOneDecimal(average, separator) + " kbps");
}

}  // namespace

TStreamFigures TStreamFigures::Of(const TMPGFile& source) {
  TStreamFigures f;
  f.VersionText = source.VersionText();
  f.Layer = source.RefLayer();
  f.SampleRate = source.RefSampleRate();
  f.FrameCount = source.FrameCount();
  f.EndSample = source.EndSample();
  f.HasVBRHeader = source.HasVBRHeader();
  f.HasTag = source.HasTag();
  f.BitrateTable = source.BitrateTable();
  f.BitrateCount = source.BitrateCount();
  return f;
}

std::vector<std::string> BuildReport(const TReportInput& input) {
  std::vector<std::string> lines = ReportHead(input.Elapsed, input.SourcePath);
  AddFileInfo(input, lines);
  if (input.Cut) {
    if (input.List != nullptr)
      AddFragmentReports(*input.List, lines);
  } else {
    AddFrameErrors(input.ErrorLines, lines);
    AddFrameStatistics(input.Figures, lines);
  }
  return lines;
}

std::vector<std::string> ReportHead(std::chrono::milliseconds elapsed,
                                    const std::string& sourcePath) {
  return {"Durée proc. : " + FormatElapsed(elapsed), "", "Info fich:", kReportRule,
          "Nom fich:  " + sourcePath};
}

void AddFragmentReports(const TCPList& list, std::vector<std::string>& lines) {
  lines.insert(lines.end(), {"", "Fragments:", kReportRule});
  for (int i = 0; i < list.Count(); ++i) {
    lines.emplace_back();
    lines.push_back("Fragment " + std::to_string(i + 1));
    const std::vector<std::string>& report = list[i].Report;
    lines.insert(lines.end(), report.begin(), report.end());
    lines.emplace_back();
  }
}

std::string PositionText(int32_t rate, int64_t position) {
  if (rate <= 0)
    return FormatTime(0, 0, 0);
  return FormatPosition(rate, position);
}

std::string FormatOneDecimal(double value, const std::string& separator) {
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
  std::string text(buffer, result.ptr);
  const size_t point = text.find('.');
  if (point != std::string::npos)
    text.replace(point, 1, separator);
  return text;
}

std::string LocaleDecimalSeparator() {
  const std::lconv* conv = std::localeconv();
  if (conv == nullptr || conv->decimal_point == nullptr || *conv->decimal_point == '\0') {
    return ".";
  }
  return conv->decimal_point;
}

std::string FormatElapsed(std::chrono::milliseconds elapsed) {
  const int64_t total = std::max<int64_t>(elapsed.count(), 0);
  std::tm timeOfDay{};
  timeOfDay.tm_hour = static_cast<int>(total / 3600000 % 24);
  timeOfDay.tm_min = static_cast<int>(total / 60000 % 60);
  timeOfDay.tm_sec = static_cast<int>(total / 1000 % 60);
  char buffer[64];
  const size_t length = std::strftime(buffer, sizeof buffer, "%X", &timeOfDay);
  return std::string(buffer, length) + "." + Printf("%03d", static_cast<int32_t>(total % 1000));
}

std::string BitrateLine(int32_t bitrate, int32_t count, int32_t frameCount,
                        const std::string& separator) {
  const double share = ShareOf(count, frameCount);
  const auto bar = static_cast<size_t>(std::max<int64_t>(RoundHalfToEven(share * kBarWidth), 0));
  return std::string(bar, '|') + "    " + std::to_string(bitrate) + " - " + std::to_string(count) +
         " - " + FormatOneDecimal(share * 100, separator) + "%";
}

std::string DetailLine(const TFrameDetail& frame, int32_t sampleRate) {
  const auto bar = static_cast<size_t>(std::clamp(frame.BitrateIndex, 0, 15));
  return Printf("Fr: %5d", frame.Number) + "  S " + PositionText(sampleRate, frame.StartSample) +
         " E " + PositionText(sampleRate, frame.EndSample) + Printf("  Br %3d  ", frame.Bitrate) +
         std::string(bar, '|');
}

TDetailListing::TDetailListing(const std::string& path, const TMPGFile& source)
    : file_(path), source_(source) {}

void TDetailListing::OnFrame(const TFrameDetail& frame) {
  WriteLine(DetailLine(frame, source_.RefSampleRate()));
}

void TDetailListing::WriteLines(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    WriteLine(line);
}

void TDetailListing::WriteLine(const std::string& line) {
  file_.Write(line);
  file_.Write("\r\n", 2);
}

}  // namespace zembrio
