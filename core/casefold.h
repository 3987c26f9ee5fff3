// Letter case folding of UTF-8 text for the comparisons users expect to ignore case: ASCII
// and the accented Latin letters (Latin-1 and Latin Extended-A: É/é, Ç/ç, Œ/œ, Ÿ/ÿ ...).
// Every mapping keeps the byte length of its letter, so a position in the folded text is
// the same position in the original.
#pragma once

#include <string>
#include <string_view>

namespace zembrio {

inline char FoldAsciiChar(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

// Lower-case form; bytes that are not a letter of the folded ranges (including broken
// UTF-8) are copied unchanged.
std::string FoldUtf8Case(std::string_view text);

}  // namespace zembrio
