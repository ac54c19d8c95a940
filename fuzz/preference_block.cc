// The preference block: parsing it, and building it from the lists.
//
// A block that parses gives lists that a block can hold: built again behind
// the same 24-byte header, they parse back into the same lists.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/error.h"
#include "fuzz/fuzz_support.h"
#include "lists/preference_lists.h"

using namespace bolvarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  try {
    ParsePreferenceBlock(input, false);
  } catch (const ConduitError&) {
    return 0;  // an entry without its ending 0 is refused with a description
  }
  const std::vector<std::string> modes = fuzz::Texts(ModeList), types = fuzz::Texts(TypeList),
                                 descriptions = fuzz::Texts(DescList);
  std::string header = input.substr(0, kPreferenceHeaderSize);
  header.resize(kPreferenceHeaderSize, '\0');

  std::string block;
  try {
    block = BuildPreferenceBlock(header, modes, types, descriptions);
  } catch (const ConduitError& e) {
    fuzz::Require(false, "lists parsed from " + fuzz::Show(input) +
                             " cannot be built again: " + e.description());
  }
  ParsePreferenceBlock(block, false);
  fuzz::Require(fuzz::Texts(ModeList) == modes && fuzz::Texts(TypeList) == types &&
                    fuzz::Texts(DescList) == descriptions,
                "the block " + fuzz::Show(block) + " built from the lists of " + fuzz::Show(input) +
                    " parses back into other lists");
  fuzz::Require(BuildPreferenceBlock(header, modes, types, descriptions) == block,
                "building the same lists twice gives two blocks");
  return 0;
}
