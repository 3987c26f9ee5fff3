// The report of a WAV source: what its header says, its chunks and tags (statistics), or
// the tracks written (a cut). Lines for IRunFeedback::ShowReport, laid out like the MPEG
// report.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cutlist/cutpoint.h"
#include "wav/wavfile.h"

namespace zembrio {

struct TWavReportInput {
  bool Cut = true;
  const TWavFile* Source = nullptr;
  std::chrono::milliseconds Elapsed{0};
  const TCPList* List = nullptr;  // a cut: the tracks
};

std::vector<std::string> BuildWavReport(const TWavReportInput& input);

// The chunks in file order, "fmt " and "data" included: "fmt , LIST/INFO, data".
std::string WavChunkList(const TWavLayout& layout);

}  // namespace zembrio
