// Track lists that are not UTF-8 are read in a code page (LISTCODEPAGE), or in the character
// set that uchardet finds in them; iconv makes them UTF-8.
#pragma once

#include <iconv.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace zembrio {

constexpr char32_t kReplacementCharacter = 0xFFFD;

// What stands for a byte that the character set cannot convert.
using TUnconvertible = char32_t (*)(uint8_t byte);
char32_t ReplaceUnconvertible(uint8_t byte);

// An open iconv conversion from one character set to UTF-8.
class TIconvToUtf8 {
 public:
  // Nothing when iconv knows no such character set; a refusal of the system (no memory, too
  // many open files) throws std::system_error.
  static std::optional<TIconvToUtf8> Open(const std::string& charset);

  // The whole text in UTF-8, nothing dropped: a byte that cannot be converted gives
  // unconvertible(byte), a sequence cut short at the end U+FFFD.
  std::string Convert(std::string_view bytes,
                      TUnconvertible unconvertible = ReplaceUnconvertible) const;

 private:
  struct TClose {
    void operator()(std::remove_pointer_t<iconv_t>* handle) const { iconv_close(handle); }
  };
  explicit TIconvToUtf8(iconv_t handle) : handle_(handle) {}

  std::unique_ptr<std::remove_pointer_t<iconv_t>, TClose> handle_;
};

// The text in a Windows code page, as UTF-8. Bytes the code page leaves unassigned become
// U+FFFD, except the five of 1252 (0x81, 0x8D, 0x8F, 0x90, 0x9D), which stay the control
// characters of the same code as track lists have always read them. A code page that this
// system's iconv does not know throws std::system_error.
std::string CodePageToUtf8(std::string_view bytes, int32_t codePage);

// The character set uchardet finds in the text as iconv names it: the Windows code page of
// its script when the text holds bytes that only such a page gives letters to. Empty when
// uchardet is not sure.
std::string DetectCharset(std::string_view bytes);

// The text, which is not valid UTF-8, in the code page (0: in the character set detected;
// 1252 when detection is not sure, finds UTF-8 or finds a set that iconv does not know), as
// UTF-8.
std::string TrackListTextToUtf8(std::string_view bytes, int32_t codePage);

}  // namespace zembrio
