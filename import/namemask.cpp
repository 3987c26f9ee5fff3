#include "import/namemask.h"

#include <array>
#include <limits>
#include <utility>

#include "core/settings.h"
#include "core/textutil.h"
#include "core/timevalue.h"

namespace zembrio {

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool MatchesAt(std::string_view text, size_t pos, std::string_view search) {
  if (pos + search.size() > text.size()) {
    return false;
  }
  for (size_t i = 0; i < search.size(); ++i) {
    if (AsciiUpper(text[pos + i]) != AsciiUpper(search[i])) {
      return false;
    }
  }
  return true;
}

bool IsContinuationByte(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::string ReplaceAllIgnoringCase(std::string_view text, std::string_view search,
                                   std::string_view replacement) {
  if (search.empty()) {
    return std::string(text);
  }
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    if (MatchesAt(text, pos, search)) {
      out += replacement;
      pos += search.size();
    } else {
      out += text[pos++];
    }
  }
  return out;
}

std::string ExpandNameMask(std::string_view mask, TMaskOrder order, const TTrackFields& fields) {
  using Step = std::pair<std::string_view, const std::string*>;
  static const std::string percent = "%";
  const std::array<Step, 6> cue = {Step{"%N", &fields.Number},    Step{"%T", &fields.Title},
                                   Step{"%P", &fields.Performer}, Step{"%%", &percent},
                                   Step{"%D", &fields.DiscTitle}, Step{"%A", &fields.DiscArtist}};
  const std::array<Step, 6> xmcd = {Step{"%N", &fields.Number},     Step{"%T", &fields.Title},
                                    Step{"%P", &fields.Performer},  Step{"%D", &fields.DiscTitle},
                                    Step{"%A", &fields.DiscArtist}, Step{"%%", &percent}};
  std::string name(mask);
  for (const auto& [placeholder, value] : order == TMaskOrder::Cue ? cue : xmcd) {
    name = ReplaceAllIgnoringCase(name, placeholder, *value);
  }
  return name;
}

TSplitText SplitAtSeparator(std::string_view text, std::string_view separator, bool fromEnd) {
  size_t found = std::string_view::npos;
  if (!fromEnd) {
    if (!separator.empty()) {
      found = text.find(separator);
    }
  } else {
    // Start positions from the last character down, so an empty separator matches there;
    // only where a UTF-8 character begins, so that no character is cut in two.
    for (size_t start = text.size(); start-- > 0;) {
      if (!IsContinuationByte(text[start]) && text.substr(start, separator.size()) == separator) {
        found = start;
        break;
      }
    }
  }
  if (found == std::string_view::npos) {
    return {std::string(), std::string(text)};
  }
  return {Trim(text.substr(0, found)), Trim(text.substr(found + separator.size()))};
}

std::string TrackNumberText(int number) {
  return ZeroPad(number, 2);
}

std::string ImportedName(const std::string& name) {
  std::string result = ApplyReplacements(name);
  for (char& c : result) {
    if (c == '/' || c == '\0') {
      c = '-';
    }
  }
  return result;
}

TImportOptions ImportOptionsFromSettings() {
  const TSettings& s = Settings();
  TImportOptions options;
  options.Mask = s.MASK;
  options.ZeroIndex = s.ZEROINDEX;
  options.CodePage = s.LISTCODEPAGE;
  options.NameFirst = s.PLAINTEXTFMT == 1;
  options.PlainTextSeparator = s.PLTXTSEP;
  options.XmcdDiscSeparator = s.XMCDSEPDISC;
  options.XmcdTrackSeparator = s.XMCDSEPTRACK;
  options.CdFrames = s.TIME_TYPE == 1;
  options.ShowHours = s.TIME_SHOWH;
  return options;
}

std::string ImportedTrackName(std::string_view mask, TMaskOrder order, const TTrackFields& fields,
                              bool& numbered) {
  const std::string name = ImportedName(ExpandNameMask(mask, order, fields));
  numbered = TrimView(name).empty();
  return numbered ? ImportedName(fields.Number) : name;
}

int32_t ReadDecimal(std::string_view field) {
  const auto invalid = [&] {
    return TConversionError("« " + std::string(field) + " » n'est pas un nombre entier valide");
  };
  size_t pos = field.find_first_not_of(' ');
  if (pos == std::string_view::npos) {
    throw invalid();
  }
  const bool negative = field[pos] == '-';
  if (field[pos] == '-' || field[pos] == '+') {
    ++pos;
  }
  if (pos == field.size()) {
    throw invalid();
  }
  int64_t value = 0;
  for (; pos < field.size(); ++pos) {
    if (!IsDigit(field[pos])) {
      throw invalid();
    }
    value = value * 10 + (field[pos] - '0');
    if (value > int64_t{std::numeric_limits<int32_t>::max()} + 1) {
      throw invalid();
    }
  }
  value = negative ? -value : value;
  if (value > std::numeric_limits<int32_t>::max()) {
    throw invalid();
  }
  return static_cast<int32_t>(value);
}

}  // namespace zembrio
