// The program-wide settings record: every user setting and the remembered window state,
// named by their INI keys, plus the fixed column numbers of the cut grid.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zembrio {

// One replacement pair per entry: HexEncode(search) + "=" + HexEncode(replacement).
using TPairList = std::vector<std::string>;

struct TSettings {
  // Section STATE.
  std::string LASTDIR;
  int32_t IMPIDX = 1;
  int32_t WNDLEFT = -1;
  int32_t WNDTOP = -1;
  int32_t WNDWIDTH = -1;
  int32_t WNDHEIGTH = -1;  // the key is spelt this way in stored files
  int32_t WNDSPLITTER = -1;
  bool WNDMAXIMIZED = false;

  // Section SETTINGS.
  int32_t ID3V1TAG = 1;
  int32_t ID3V2TAG = 1;  // 1: every MPEG fragment begins with an ID3v2.4 tag; 0: none
  bool ZEROINDEX = true;
  std::string MASK = "%N %T";
  bool ADDEXTENSION = true;
  bool SKIPVBRHEADER = true;
  bool XINGHEADER = true;  // MPEG Layer III outputs get a fresh Xing/LAME header frame
  std::string VCUTEXE;
  int32_t PLAINTEXTFMT = 0;
  std::string PLTXTSEP = "/";
  std::string XMCDSEPDISC = " / ";
  std::string XMCDSEPTRACK = " / ";
  int32_t ADJUSTSTART = 1;
  bool TIME_SHOWH = false;
  int32_t TIME_TYPE = 1;
  std::string TIME_H = "h ";
  std::string TIME_M = "m ";
  std::string TIME_S = "s ";
  std::string TIME_MS = "ms";
  std::string TIME_F = "f";
  std::string JOINNAME = "join_output";
  std::string CUTDIR;
  // Pause detection: level (dBFS) below which a stretch is a pause, its least length (ms),
  // where in it the next track starts (percent of the pause), least track length (ms).
  int32_t SILENCEDB = -48;
  int32_t SILENCEMIN = 1000;
  int32_t SILENCEPOS = 50;
  int32_t TRACKMIN = 10000;
  // The window's "Écouter la coupe": milliseconds heard on either side of the cut point.
  int32_t HEARCUT = 3000;
  // The code page of track lists that are not UTF-8 (core/codepages.h); 0 detects it.
  int32_t LISTCODEPAGE = 1252;
  // 1: a cut point placed on the strip (at the cursor, or where a marker is dropped) goes to
  // the quietest 10 ms of the half second around it; 0: it stays where it was put.
  int32_t SNAPQUIET = 0;
  // REPLACE lives in the global ReplacementList() (core/textutil.h).

  // Grid columns; not persisted.
  int ColStart = 0;
  int ColName = 1;
  int ColDuration = 2;
  int ColStatus = 3;
};

// The one settings record of the process. Every engine reads its fields directly.
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
