// What the three track list readers share: the file-name mask that turns a track's fields
// into a fragment name, the separator split, the making of a stored name, and the reading of
// a number field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zembrio {

// The track fields a mask can use; each reader fills those it knows.
struct TTrackFields {
  std::string Number;      // %N
  std::string Title;       // %T
  std::string Performer;   // %P
  std::string DiscTitle;   // %D
  std::string DiscArtist;  // %A
};

// The CUE reader turns "%%" into "%" before the disc fields, the XMCD reader after them;
// so "100%%D" keeps a percent sign only with XMCD.
enum class TMaskOrder { Cue, Xmcd };

// Replaces each placeholder of mask in the reader's order, every occurrence, ignoring letter
// case. Each step works on the result of the one before.
std::string ExpandNameMask(std::string_view mask, TMaskOrder order, const TTrackFields& fields);

// Every occurrence of search (ASCII letters compared without case) replaced, left to right,
// without rescanning inserted text.
std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view search,
                                   std::string_view replacement);

struct TSplitText {
  std::string First;
  std::string Second;
};
// Splits text at the first (or last, fromEnd) occurrence of separator; both parts trimmed.
// When it is not found, First is empty and Second the whole text, untrimmed.
TSplitText SplitAtSeparator(std::string_view text, std::string_view separator, bool fromEnd);

// Track number as a name shows it: decimal, with a leading "0" when it has one digit.
std::string TrackNumberText(int number);

// An imported title made a fragment name: the replacement list, then every "/" or NUL that
// is left becomes "-", so that a track list can never place a fragment outside the
// destination folder, whatever the replacement list holds.
std::string ImportedName(const std::string& name);

// What the track list readers take from the settings: read once before an import starts,
// so that nothing changes under a reader while it runs.
struct TImportOptions {
  std::string Mask;                // MASK: the names of imported tracks
  bool ZeroIndex = true;           // ZEROINDEX: CUE track 1 starts at its INDEX 00
  int32_t CodePage = 0;            // LISTCODEPAGE: lists that are not UTF-8
  bool NameFirst = false;          // PLAINTEXTFMT 1: "name <separator> time"
  std::string PlainTextSeparator;  // PLTXTSEP
  std::string XmcdDiscSeparator;   // XMCDSEPDISC
  std::string XmcdTrackSeparator;  // XMCDSEPTRACK
  bool CdFrames = true;            // TIME_TYPE 1: plain text times count CD frames
  bool ShowHours = false;          // TIME_SHOWH: plain text times as the grid reads them
};
TImportOptions ImportOptionsFromSettings();

// What an import leaves to say once it is over.
struct TImportNotes {
  int NumberedTracks = 0;  // names the mask left empty, made of the track's number
};

// The name of an imported track: ExpandNameMask of mask, then ImportedName. A name that
// comes out empty or blank (a mask of "%T" over a list without titles) would skip the
// track: it becomes the track's number instead, and numbered is set.
std::string ImportedTrackName(std::string_view mask, TMaskOrder order, const TTrackFields& fields,
                              bool& numbered);

// A whole field read as a decimal number (leading blanks allowed); anything else, or a value
// beyond 32 bits, throws TConversionError.
int32_t ReadDecimal(std::string_view field);

}  // namespace zembrio
