// The stored form of the replacement pairs, as an edited settings file may hold it:
// decoding never fails, and whatever text is encoded decodes back unchanged (but for NUL,
// which the stored form drops: a name can hold none).
#include <string>

#include "core/textutil.h"
#include "fuzzinput.h"

using namespace zembrio;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = fuzz::AsText(data, size);
  (void)HexDecode(text);
  const TPair pair = DecodePair(text);
  fuzz::Check(DecodePair(EncodePair(pair)).Source == pair.Source, "pair source round trip");
  fuzz::Check(DecodePair(EncodePair(pair)).Replacement == pair.Replacement,
              "pair replacement round trip");
  std::string withoutNul(text);
  std::erase(withoutNul, '\0');
  fuzz::Check(HexDecode(HexEncode(text)) == withoutNul, "hex round trip");
  (void)ApplyReplacementsWith({std::string(text)}, "Piste 01 - Titre / Face A");
  return 0;
}
