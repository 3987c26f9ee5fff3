#include "import/codepage.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <system_error>

namespace zembrio {

namespace {

void AppendUtf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The five bytes Windows-1252 leaves unassigned, which iconv refuses.
char32_t Windows1252Unassigned(uint8_t byte) {
  constexpr std::array<uint8_t, 5> kUnassigned = {0x81, 0x8D, 0x8F, 0x90, 0x9D};
  return std::ranges::find(kUnassigned, byte) != kUnassigned.end() ? char32_t{byte}
                                                                   : kReplacementCharacter;
}

std::string CodePageCharset(int32_t codePage) {
  return "CP" + std::to_string(codePage);
}

std::string ConvertCharset(std::string_view bytes, const std::string& charset,
                           TUnconvertible unconvertible) {
  const std::optional<TIconvToUtf8> converter = TIconvToUtf8::Open(charset);
  if (!converter) {
    throw std::system_error(EINVAL, std::generic_category(), "iconv " + charset);
  }
  return converter->Convert(bytes, unconvertible);
}

struct TDeleteDetector {
  void operator()(uchardet* detector) const { uchardet_delete(detector); }
};

// uchardet names an ISO 8859 set (or TIS-620) for a text in the Windows code page of the same
// script as readily as for one in the set itself. The sets give the bytes 0x80..0x9F no
// letters, the code pages do: a text that holds such bytes is in the code page.
struct TWindowsTwin {
  std::string_view Charset;
  int32_t CodePage;
};
constexpr TWindowsTwin kWindowsTwins[] = {
    {"ISO-8859-1", 1252},  {"ISO-8859-15", 1252}, {"ISO-8859-2", 1250},
    {"ISO-8859-7", 1253},  {"ISO-8859-9", 1254},  {"ISO-8859-8", 1255},
    {"ISO-8859-13", 1257}, {"TIS-620", 874},      {"ISO-8859-11", 874},
};

bool HoldsC1Bytes(std::string_view bytes) {
  return std::ranges::any_of(bytes, [](char c) {
    const auto byte = static_cast<uint8_t>(c);
    return byte >= 0x80 && byte <= 0x9F;
  });
}

}  // namespace

char32_t ReplaceUnconvertible(uint8_t /*byte*/) {
  return kReplacementCharacter;
}

std::optional<TIconvToUtf8> TIconvToUtf8::Open(const std::string& charset) {
  const iconv_t handle = iconv_open("UTF-8", charset.c_str());
  if (handle != reinterpret_cast<iconv_t>(-1)) {
    return TIconvToUtf8(handle);
  }
  if (errno == EINVAL) {
    return std::nullopt;
  }
  throw std::system_error(errno, std::generic_category(), "iconv " + charset);
}

std::string TIconvToUtf8::Convert(std::string_view bytes, TUnconvertible unconvertible) const {
  iconv_t handle = handle_.get();
  iconv(handle, nullptr, nullptr, nullptr, nullptr);  // the initial shift state
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 2);
  std::array<char, 4096> buffer{};
  // iconv's input is not const, yet it never writes to it.
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  bool flushed = false;
  while (!flushed) {
    char* outAt = buffer.data();
    size_t outLeft = buffer.size();
    // With the input consumed, a last call writes whatever ends a shift sequence.
    flushed = inLeft == 0;
    const size_t result = flushed ? iconv(handle, nullptr, nullptr, &outAt, &outLeft)
                                  : iconv(handle, &in, &inLeft, &outAt, &outLeft);
    const int error = result == static_cast<size_t>(-1) ? errno : 0;
    out.append(buffer.data(), static_cast<size_t>(outAt - buffer.data()));
    if (error == 0 || error == E2BIG) {
      flushed = flushed && error == 0;
    } else if (error == EILSEQ) {
      AppendUtf8(out, unconvertible(static_cast<uint8_t>(*in)));
      ++in;
      --inLeft;
    } else if (error == EINVAL) {
      AppendUtf8(out, kReplacementCharacter);  // a sequence cut short by the end of the file
      inLeft = 0;
    } else {
      throw std::system_error(error, std::generic_category(), "iconv");
    }
  }
  return out;
}

std::string CodePageToUtf8(std::string_view bytes, int32_t codePage) {
  return ConvertCharset(bytes, CodePageCharset(codePage),
                        codePage == 1252 ? Windows1252Unassigned : ReplaceUnconvertible);
}

std::string DetectCharset(std::string_view bytes) {
  const std::unique_ptr<uchardet, TDeleteDetector> detector(uchardet_new());
  if (!detector) {
    throw std::system_error(ENOMEM, std::generic_category(), "uchardet");
  }
  if (uchardet_handle_data(detector.get(), bytes.data(), bytes.size()) != 0) {
    return {};
  }
  uchardet_data_end(detector.get());
  const char* found = uchardet_get_charset(detector.get());
  std::string charset = found != nullptr ? found : "";
  if (charset == "ASCII") {
    return {};
  }
  if (charset.starts_with("WINDOWS-")) {
    return "CP" + charset.substr(8);  // the name CodePageToUtf8 knows it by
  }
  if (HoldsC1Bytes(bytes)) {
    for (const TWindowsTwin& twin : kWindowsTwins) {
      if (twin.Charset == charset) {
        return CodePageCharset(twin.CodePage);
      }
    }
  }
  return charset;
}

std::string TrackListTextToUtf8(std::string_view bytes, int32_t codePage) {
  if (codePage != 0) {
    return CodePageToUtf8(bytes, codePage);
  }
  const std::string charset = DetectCharset(bytes);
  // uchardet may name UTF-8 for a text that is mostly UTF-8, and iconv's UTF-8 reader lets
  // sequences beyond U+10FFFF through unchanged: a text that is not valid UTF-8 (the only
  // kind read here) is read in 1252 instead, so that every name comes out valid.
  if (charset.empty() || charset == "UTF-8" || charset == CodePageCharset(1252)) {
    return CodePageToUtf8(bytes, 1252);
  }
  const std::optional<TIconvToUtf8> converter = TIconvToUtf8::Open(charset);
  return converter ? converter->Convert(bytes) : CodePageToUtf8(bytes, 1252);
}

}  // namespace zembrio
