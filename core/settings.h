// The program-wide settings record: every user setting and the remembered window state,
// named by their INI keys, plus the fixed column numbers of the cut grid. What each key
// takes and its default are in core/settingstable.h.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembrio {

// One replacement pair per entry: HexEncode(search) + "=" + HexEncode(replacement).
using TPairList = std::vector<std::string>;

struct TSettings {
  // Every stored field starts at its default (core/settingstable.h).
  TSettings();

  // Section STATE.
  std::string LASTDIR;
  int32_t IMPIDX{};
  int32_t WNDLEFT{};
  int32_t WNDTOP{};
  int32_t WNDWIDTH{};
  int32_t WNDHEIGTH{};  // the key is spelt this way in stored files
  int32_t WNDSPLITTER{};
  bool WNDMAXIMIZED{};

  // Section SETTINGS.
  int32_t ID3V1TAG{};
  int32_t ID3V2TAG{};  // 1: every MPEG fragment begins with an ID3v2.4 tag; 0: none
  bool ZEROINDEX{};
  std::string MASK;
  bool ADDEXTENSION{};
  bool SKIPVBRHEADER{};
  bool XINGHEADER{};  // MPEG Layer III outputs get a fresh Xing/LAME header frame
  std::string VCUTEXE;
  int32_t PLAINTEXTFMT{};
  std::string PLTXTSEP;
  std::string XMCDSEPDISC;
  std::string XMCDSEPTRACK;
  int32_t ADJUSTSTART{};
  bool TIME_SHOWH{};
  int32_t TIME_TYPE{};
  std::string TIME_H;
  std::string TIME_M;
  std::string TIME_S;
  std::string TIME_MS;
  std::string TIME_F;
  std::string JOINNAME;
  std::string CUTDIR;
  // Pause detection: level (dBFS) below which a stretch is a pause, its least length (ms),
  // where in it the next track starts (percent of the pause), least track length (ms).
  int32_t SILENCEDB{};
  int32_t SILENCEMIN{};
  int32_t SILENCEPOS{};
  int32_t TRACKMIN{};
  // The window's "Écouter la coupe": milliseconds heard on either side of the cut point.
  int32_t HEARCUT{};
  // The code page of track lists that are not UTF-8 (core/codepages.h); 0 detects it.
  int32_t LISTCODEPAGE{};
  // 1: a cut point placed on the strip (at the cursor, or where a marker is dropped) goes to
  // the quietest 10 ms of the half second around it; 0: it stays where it was put.
  int32_t SNAPQUIET{};
  // REPLACE lives in the global ReplacementList() (core/textutil.h).

  // Grid columns; not persisted.
  int ColStart = 0;
  int ColName = 1;
  int ColDuration = 2;
  int ColStatus = 3;
};

// The one settings record of the process, read and written on the window's thread (and
// the command-line tool's). An engine gets what it uses in a small options struct that its
// caller fills from here before it starts, so the dialog may change the record during a run.
TSettings& Settings();

// The ten default replacement pairs, in order, encoded as stored.
const TPairList& DefaultPairs();

// Puts each default pair into list: an entry with the same source gets the default
// replacement in place; a source not yet present is appended.
void AddDefaultPairs(TPairList& list);

// Sets every SETTINGS field to its default (VCUTEXE only when empty), then
// AddDefaultPairs on workingCopy and ReplacementList() := workingCopy.
void ApplyDefaults(TPairList& workingCopy);

}  // namespace zembrio
