#include "cut/stretchcounter.h"

namespace zembrio {

std::string CountCorruptStretch(TMPGFile& file, int64_t lastEnd, int64_t stretchEnd) {
  file.CountError();
  return "   Entête non trouvé dans la source à : " + std::to_string(lastEnd) + "  " +
         std::to_string(stretchEnd - lastEnd) + " octets sautés";
}

}  // namespace zembrio
