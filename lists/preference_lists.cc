#include "lists/preference_lists.h"

#include "base/error.h"

namespace bolvarin {

std::vector<colEnregistrement> ModeList;
std::vector<colEnregistrement> TypeList;
std::vector<colEnregistrement> DescList;

void ParsePreferenceBlock(std::string_view, bool) {
  Raise(err::kPlatform, "ParsePreferenceBlock is not built yet");
}

std::string BuildPreferenceBlock(std::string_view, const std::vector<std::string>&,
                                 const std::vector<std::string>&, const std::vector<std::string>&) {
  Raise(err::kPlatform, "BuildPreferenceBlock is not built yet");
}

}  // namespace bolvarin
