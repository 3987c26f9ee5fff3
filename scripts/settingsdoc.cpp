// Writes the table of settings into the README and the command-line tool's manual page, from
// the table the program reads its settings file with, so that neither can fall behind it.
//   zembrio_settingsdoc check|update README.md zembrio-cli.1.in
// check fails (exit 1) when a file's table differs from the one made now; update rewrites it.
// Each table sits between two marker lines that the files hold once.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "core/settingstable.h"

using namespace zembrio;

namespace {

constexpr std::string_view kMarkdownBegin = "<!-- settings table: scripts/settings-doc.sh -->\n";
constexpr std::string_view kMarkdownEnd = "<!-- end of the settings table -->\n";
constexpr std::string_view kRoffBegin = ".\\\" settings table: scripts/settings-doc.sh\n";
constexpr std::string_view kRoffEnd = ".\\\" end of the settings table\n";

std::string ValuesOf(const TSettingRow& row) {
  if (IsTextSetting(row))
    return "text";
  if (!IsNumberSetting(row))
    return "list of pairs";
  if (row.Range)
    return std::to_string(row.Range->Low) + " to " + std::to_string(row.Range->High);
  if (row.Choices)
    return std::string(row.Choices->Meaning);
  if (std::holds_alternative<bool TSettings::*>(row.Field))
    return "0 or 1";
  return "any number";
}

// The default as the settings file holds it; nothing for an empty text or the pair list.
std::string DefaultOf(const TSettingRow& row) {
  if (IsNumberSetting(row))
    return std::to_string(row.NumberDefault);
  if (!IsTextSetting(row) || (row.TextDefault.empty() && !row.Quoted))
    return "";
  return row.Quoted ? '"' + std::string(row.TextDefault) + '"' : std::string(row.TextDefault);
}

std::string MarkdownTable() {
  std::string table =
      "| Key | Section | Values | Default | What it sets |\n"
      "|---|---|---|---|---|\n";
  for (const TSettingRow& row : SettingRows()) {
    const std::string byDefault = DefaultOf(row);
    table += "| `" + std::string(row.Name) + "` | " + std::string(row.Section) + " | " +
             ValuesOf(row) + " | " + (byDefault.empty() ? "" : "`" + byDefault + "`") + " | " +
             std::string(row.Meaning) + " |\n";
  }
  return table;
}

// Text safe in a roff line: backslashes and hyphens escaped, no request at its start.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\')
      out += "\\e";
    else if (c == '-')
      out += "\\-";
    else
      out += c;
  }
  if (!out.empty() && (out.front() == '.' || out.front() == '\''))
    out.insert(0, "\\&");
  return out;
}

std::string RoffTable() {
  std::string table;
  for (const TSettingRow& row : SettingRows()) {
    const std::string byDefault = DefaultOf(row);
    table += ".TP\n.BR " + std::string(row.Name) + " \" (" + std::string(row.Section) + ")\"\n";
    table += Roff(std::string(row.Meaning)) + ".\n";
    table += "Values: " + Roff(ValuesOf(row));
    table += byDefault.empty() ? ".\n" : "; default: " + Roff(byDefault) + ".\n";
  }
  return table;
}

// The file's text with what lies between its markers replaced; empty when a marker is missing.
std::string WithTable(const std::string& text, std::string_view begin, std::string_view end,
                      const std::string& table) {
  const size_t from = text.find(begin);
  const size_t to = text.find(end);
  if (from == std::string::npos || to == std::string::npos || to < from)
    return "";
  return text.substr(0, from + begin.size()) + table + text.substr(to);
}

bool Process(const std::string& path, bool update, std::string_view begin, std::string_view end,
             const std::string& table) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  const std::string text = read.str();
  const std::string made = WithTable(text, begin, end, table);
  if (made.empty()) {
    std::cerr << path << ": the settings table's markers are missing\n";
    return false;
  }
  if (made == text)
    return true;
  if (!update) {
    std::cerr << path << ": the settings table is out of date; run scripts/settings-doc.sh\n";
    return false;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << made;
  out.close();
  if (!out) {
    std::cerr << path << ": cannot be written\n";
    return false;
  }
  std::cout << path << ": settings table updated\n";
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 4 ? argv[1] : "";
  if (mode != "check" && mode != "update") {
    std::cerr << "usage: zembrio_settingsdoc check|update README.md zembrio-cli.1.in\n";
    return 2;
  }
  const bool update = mode == "update";
  const bool readme = Process(argv[2], update, kMarkdownBegin, kMarkdownEnd, MarkdownTable());
  const bool manual = Process(argv[3], update, kRoffBegin, kRoffEnd, RoffTable());
  return readme && manual ? 0 : 1;
}
