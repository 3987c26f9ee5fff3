#include "core/codepages.h"

#include <algorithm>

namespace zembrio {

namespace {

const TCodePageChoice kCodePageChoices[] = {
    {kDetectCodePage, "0 : détecter"},
    {874, "874 : thaï"},
    {932, "932 : japonais"},
    {936, "936 : chinois simplifié"},
    {949, "949 : coréen"},
    {950, "950 : chinois traditionnel"},
    {1250, "1250 : Europe centrale"},
    {1251, "1251 : cyrillique"},
    {1252, "1252 : Europe occidentale"},
    {1253, "1253 : grec"},
    {1254, "1254 : turc"},
    {1255, "1255 : hébreu"},
    {1256, "1256 : arabe"},
    {1257, "1257 : balte"},
    {1258, "1258 : vietnamien"},
};

}  // namespace

std::span<const TCodePageChoice> ListCodePageChoices() {
  return kCodePageChoices;
}

bool IsListCodePage(int32_t number) {
  return std::ranges::any_of(kCodePageChoices,
                             [number](const TCodePageChoice& c) { return c.Number == number; });
}

}  // namespace zembrio
