#include "core/textutil.h"

#include <array>

#include "core/casefold.h"
#include "core/fileio.h"

namespace zembrio {

namespace {

constexpr std::string_view kForbiddenFileNameChars = "*?\"/\\<>:|";
constexpr char kPairSeparator = '=';
constexpr int64_t kOggSampleRateOffset = 40;

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

bool IsControlChar(char c) {
  return static_cast<unsigned char>(c) < 32;
}

std::string ReplaceControlChars(const std::string& name, const std::string& replacement) {
  std::string result;
  result.reserve(name.size());
  for (char c : name) {
    if (IsControlChar(c)) {
      result += replacement;
    } else {
      result += c;
    }
  }
  return result;
}

// Every occurrence of source, found left to right without regard to letter case, becomes
// replacement; inserted text is never searched again.
std::string ReplaceIgnoringCase(const std::string& name, const std::string& source,
                                const std::string& replacement) {
  // Folding keeps every byte in place, so positions in the folded name are positions in name.
  const std::string foldedName = FoldCase(name);
  const std::string foldedSource = FoldCase(source);
  std::string result;
  size_t pos = 0;
  for (size_t hit = foldedName.find(foldedSource); hit != std::string::npos;
       hit = foldedName.find(foldedSource, pos)) {
    result.append(name, pos, hit - pos);
    result += replacement;
    pos = hit + foldedSource.size();
  }
  result.append(name, pos, std::string::npos);
  return result;
}

std::string ControlCharReplacement(const TPairList& list) {
  for (const std::string& entry : list) {
    TPair pair = DecodePair(entry);
    if (pair.Source.empty()) {
      return pair.Replacement;
    }
  }
  return {};
}

}  // namespace

TPairList& ReplacementList() {
  static TPairList list;
  return list;
}

void RemoveChars(std::string_view chars, std::string& text) {
  for (char c : chars) {
    std::erase(text, c);
  }
}

bool CleanFileName(std::string& text) {
  const size_t before = text.size();
  RemoveChars(kForbiddenFileNameChars, text);
  return text.size() < before;
}

std::string ApplyReplacements(const std::string& name) {
  return ApplyReplacementsWith(ReplacementList(), name);
}

std::string ApplyReplacementsWith(const TPairList& list, const std::string& name) {
  std::string result = ReplaceControlChars(name, ControlCharReplacement(list));
  for (const std::string& entry : list) {
    TPair pair = DecodePair(entry);
    if (!pair.Source.empty()) {
      result = ReplaceIgnoringCase(result, pair.Source, pair.Replacement);
    }
  }
  return result;
}

std::string ReplaceControlCharacters(const std::string& text) {
  return ReplaceControlChars(text, ControlCharReplacement(ReplacementList()));
}

std::string OutputFileName(const std::string& name) {
  TPairList fileNameRules;
  for (const std::string& entry : ReplacementList()) {
    const TPair pair = DecodePair(entry);
    if (pair.Source.empty() ||
        (pair.Source.size() == 1 &&
         kForbiddenFileNameChars.find(pair.Source[0]) != std::string_view::npos)) {
      fileNameRules.push_back(entry);
    }
  }
  std::string result = ApplyReplacementsWith(fileNameRules, name);
  for (char& c : result) {
    if (c == '/' || c == '\0')
      c = '-';
  }
  return result;
}

std::string HexEncode(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(text.size() * 2);
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0x0F];
  }
  return hex;
}

std::string HexDecode(std::string_view text) {
  std::string bytes;
  bytes.reserve(text.size() / 2);
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int high = HexDigitValue(text[i]);
    const int low = HexDigitValue(text[i + 1]);
    // A pair that is not hexadecimal can only come from a hand-edited file: it is passed
    // over, like the pair 00, which stands for no character.
    if (high < 0 || low < 0) {
      continue;
    }
    const int value = high * 16 + low;
    if (value != 0) {
      bytes += static_cast<char>(value);
    }
  }
  return bytes;
}

TPair DecodePair(std::string_view entry) {
  const size_t separator = entry.find(kPairSeparator);
  if (separator == std::string_view::npos) {
    return {HexDecode(entry), {}};
  }
  return {HexDecode(entry.substr(0, separator)), HexDecode(entry.substr(separator + 1))};
}

std::string EncodePair(const TPair& pair) {
  return HexEncode(pair.Source) + kPairSeparator + HexEncode(pair.Replacement);
}

std::string ChooseText(bool condition, const std::string& text1, const std::string& text2) {
  return condition ? text1 : text2;
}

int32_t ReadOggSampleRate(const std::string& path) {
  TInputFile file(path, 64);
  std::array<unsigned char, 4> bytes{};
  if (file.Size() > kOggSampleRateOffset) {
    file.Seek(kOggSampleRateOffset);
    file.Read(bytes.data(), bytes.size());
  }
  const uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) | (uint32_t{bytes[3]} << 24);
  return static_cast<int32_t>(value);
}

std::string Trim(std::string_view text) {
  return std::string(TrimView(text));
}

std::string_view TrimView(std::string_view text) {
  auto isBlank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  while (!text.empty() && isBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string FoldCase(std::string_view text) {
  return FoldUtf8Case(text);
}

bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && FoldCase(a) == FoldCase(b);
}

bool SameTextAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiChar(a[i]) != FoldAsciiChar(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace zembrio
