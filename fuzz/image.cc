// The handheld image: loading it, exporting it and loading the export.
//
// Every failure of the loader is an image error. An image that loads exports
// as a document that loads again and exports the same.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "handheld/device.h"

using namespace bolvarin;
using handheld::Device;
using handheld::ImageError;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Device device;
  try {
    device = Device::FromJson(input, "fuzz.json");
  } catch (const ImageError&) {
    return 0;  // refused with a message naming the place
  }
  const std::string exported = device.ToJson();
  Device again;
  try {
    again = Device::FromJson(exported, "exported.json");
  } catch (const ImageError& e) {
    fuzz::Require(false, std::string("the export of an image that loads does not load: ") +
                             e.what() + "\n" + exported);
  }
  fuzz::Require(again.ToJson() == exported,
                "an exported image loads as another image:\n" + exported + "\n" + again.ToJson());
  return 0;
}
