// The preference block: parsing it, and building it from the lists.
//
// A block that parses gives lists that a block can hold: built again behind
// the same 24-byte header, they parse back into the same lists.
#include "fuzz/fuzz_support.h"

using namespace bolvarin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  fuzz::Lists lists;
  // An entry without its ending 0 is refused.
  if (fuzz::Refused([&] { lists = fuzz::Parsed(input); })) return 0;
  std::string header = input.substr(0, kPreferenceHeaderSize), block;
  header.resize(kPreferenceHeaderSize, '\0');
  fuzz::Require(!fuzz::Refused([&] { block = fuzz::Block(header, lists); }),
                "parsed lists cannot be built again");
  fuzz::Require(fuzz::Parsed(block) == lists, "the block built from the lists parses as others");
  fuzz::Require(fuzz::Block(header, lists) == block, "the same lists built twice differ");
  return 0;
}
