// The splitter's whole run over any source. The first four bytes are the run (settings, two
// cut times, which stretches are named, cut or statistics), the rest is the source file.
// Any source ends as a finished or failed run; nothing is ever written outside the folder.
#include <filesystem>

#include "cut/splitter.h"
#include "fuzzinput.h"
#include "recordingfeedback.h"

using namespace zembrio;

namespace {

void AddPoint(TCPList& list, int32_t ms, const char* name) {
  TCutPoint& point = list.Add();
  SetMilliseconds(point, ms / 1000, ms % 1000);
  point.Name = name;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4)
    return 0;
  const uint8_t config = data[0];
  const uint8_t names = data[3];
  fuzz::ResetSettings();
  Settings().ID3V1TAG = config & 3;
  Settings().ADJUSTSTART = (config >> 2) & 3;
  Settings().SKIPVBRHEADER = (config & 0x10) != 0;
  Settings().XINGHEADER = (config & 0x80) == 0;

  const std::string source = fuzz::Scratch().File("source.mp3");
  const std::string outDir = fuzz::Scratch().File("out");
  fuzz::WriteBytes(source, data + 4, size - 4);
  std::error_code ignored;
  std::filesystem::remove_all(outDir, ignored);

  TCPList list;
  AddPoint(list, 0, (names & 1) ? "un" : "");
  AddPoint(list, data[1] * 20, (names & 2) ? "deux" : "");
  AddPoint(list, data[1] * 20 + data[2] * 20, (names & 4) ? "trois" : "");
  AddPoint(list, 3600000, (names & 8) ? "fin" : "");

  test::RecordingContext rc;
  TMpegRun run;
  run.SourcePath = source;
  run.Cut = (config & 0x20) == 0;
  run.Detail = !run.Cut && (config & 0x40) != 0;
  run.OutputDir = outDir;
  run.DetailPath = fuzz::Scratch().File("detail.txt");
  const TRunOutcome outcome = ProcessMPEG(rc.Context, list, run);
  fuzz::Check(outcome == RunEndOfData || outcome == RunFailed, "a run ends or fails");
  fuzz::Check(rc.State.Idle, "the run leaves the busy state");
  std::filesystem::remove_all(outDir, ignored);
  return 0;
}
