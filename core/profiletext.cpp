#include "core/profiletext.h"

#include "core/textutil.h"

namespace zembrio {

namespace {

bool IsBlankLine(std::string_view line) {
  return TrimView(line).empty();
}

// The name between "[" and "]" when the line is a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
  const std::string_view trimmed = TrimView(line);
  if (trimmed.empty() || trimmed.front() != '[') {
    return std::nullopt;
  }
  return TrimView(trimmed.substr(1, trimmed.find(']') - 1));
}

bool IsKeyLine(std::string_view line, std::string_view key) {
  const size_t equals = line.find('=');
  return equals != std::string_view::npos &&
         SameTextAsciiCase(TrimView(line.substr(0, equals)), key);
}

std::string Unquote(std::string text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

// Cuts text to at most maxLength bytes without splitting a UTF-8 character.
std::string CutToLength(std::string text, size_t maxLength) {
  if (text.size() <= maxLength) {
    return text;
  }
  size_t length = maxLength;
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) {
    --length;
  }
  text.resize(length);
  return text;
}

std::string SingleLine(std::string_view value) {
  std::string line(value);
  std::erase_if(line, [](char c) { return c == '\n' || c == '\r'; });
  return line;
}

}  // namespace

TProfileText::TProfileText(std::string_view content) {
  size_t start = 0;
  while (start < content.size()) {
    size_t newline = content.find('\n', start);
    TLine line;
    if (newline == std::string_view::npos) {
      line.Content = content.substr(start);
      start = content.size();
    } else {
      line.Content = content.substr(start, newline - start);
      line.Ending = "\n";
      if (!line.Content.empty() && line.Content.back() == '\r') {
        line.Content.pop_back();
        line.Ending = "\r\n";
      }
      start = newline + 1;
    }
    lines_.push_back(std::move(line));
  }
}

std::optional<std::string> TProfileText::Read(std::string_view section,
                                              std::string_view key) const {
  const size_t header = FindSection(section);
  if (header == kNotFound) {
    return std::nullopt;
  }
  const size_t index = FindKey(header, key);
  if (index == kNotFound) {
    return std::nullopt;
  }
  const std::string& line = lines_[index].Content;
  return CleanValue(std::string_view(line).substr(line.find('=') + 1));
}

std::string TProfileText::CleanValue(std::string_view raw) {
  return CutToLength(Unquote(std::string(TrimView(raw))), kMaxValueLength);
}

void TProfileText::Write(std::string_view section, std::string_view key, std::string_view value) {
  std::string content = std::string(key) + "=" + SingleLine(value);
  size_t header = FindSection(section);
  if (header == kNotFound) {
    if (!lines_.empty() && !IsBlankLine(lines_.back().Content)) {
      InsertLine(lines_.size(), "");
    }
    InsertLine(lines_.size(), "[" + std::string(section) + "]");
    header = lines_.size() - 1;
  }
  const size_t index = FindKey(header, key);
  if (index != kNotFound) {
    lines_[index].Content = std::move(content);
  } else {
    InsertLine(SectionInsertPoint(header), std::move(content));
  }
}

std::string TProfileText::Text() const {
  std::string text;
  for (const TLine& line : lines_) {
    text += line.Content;
    text += line.Ending;
  }
  return text;
}

size_t TProfileText::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    const std::optional<std::string_view> name = SectionName(lines_[i].Content);
    if (name && SameTextAsciiCase(*name, section)) {
      return i;
    }
  }
  return kNotFound;
}

size_t TProfileText::FindKey(size_t header, std::string_view key) const {
  for (size_t i = header + 1; i < lines_.size() && !SectionName(lines_[i].Content); ++i) {
    if (IsKeyLine(lines_[i].Content, key)) {
      return i;
    }
  }
  return kNotFound;
}

size_t TProfileText::SectionInsertPoint(size_t header) const {
  size_t insertPoint = header + 1;
  for (size_t i = header + 1; i < lines_.size() && !SectionName(lines_[i].Content); ++i) {
    if (!IsBlankLine(lines_[i].Content)) {
      insertPoint = i + 1;
    }
  }
  return insertPoint;
}

void TProfileText::InsertLine(size_t index, std::string content) {
  // The line before a new one must end, or the two would run together.
  if (index > 0 && lines_[index - 1].Ending.empty()) {
    lines_[index - 1].Ending = "\n";
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(index),
                TLine{std::move(content), "\n"});
}

}  // namespace zembrio
