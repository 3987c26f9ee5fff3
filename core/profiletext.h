// The text of a profile file of [SECTION] headers and KEY=value lines, read and edited in
// memory. Section and key names match without regard to ASCII letter case; the first
// matching section and key win. Writing a key touches only that key's line (or adds one),
// so every other line, unknown keys and sections included, comes back out as it went in.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zembrio {

class TProfileText {
 public:
  // Values are read up to this many bytes.
  static constexpr size_t kMaxValueLength = 2047;

  explicit TProfileText(std::string_view content);

  // A raw value as Read gives it: blanks around it removed, then one pair of enclosing
  // double (or single) quotes, then cut to kMaxValueLength bytes.
  static std::string CleanValue(std::string_view raw);

  // The cleaned value of key in section; nothing when the key is absent.
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;
  // Replaces the key's line, adds the key at the end of its section, or adds the section
  // at the end of the text. Line breaks in value are dropped: a value is one line.
  void Write(std::string_view section, std::string_view key, std::string_view value);

  std::string Text() const;

 private:
  struct TLine {
    std::string Content;
    std::string Ending;  // "\n", "\r\n", or "" for a last line without one
  };
  static constexpr size_t kNotFound = static_cast<size_t>(-1);

  // Index of the section's header line.
  size_t FindSection(std::string_view section) const;
  // Index of the key's line inside the section that starts at header.
  size_t FindKey(size_t header, std::string_view key) const;
  // Index just past the last non-blank line of the section that starts at header.
  size_t SectionInsertPoint(size_t header) const;
  void InsertLine(size_t index, std::string content);

  std::vector<TLine> lines_;
};

}  // namespace zembrio
