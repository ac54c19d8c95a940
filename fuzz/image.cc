// The handheld image: loading it, exporting it and loading the export.
//
// Every failure of the loader is an image error. An image that loads exports
// as a document that loads again and exports the same.
#include "fuzz/fuzz_support.h"
#include "handheld/device.h"

using namespace bolvarin;
using handheld::Device;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  Device device;
  // A refusal comes with a message naming the place.
  if (fuzz::Refused<handheld::ImageError>([&] { device = Device::FromJson(input, "fuzz.json"); })) {
    return 0;
  }
  const std::string exported = device.ToJson();
  std::string again;
  fuzz::Require(!fuzz::Refused<handheld::ImageError>(
                    [&] { again = Device::FromJson(exported, "exported.json").ToJson(); }),
                "the export of an image that loads does not load");
  fuzz::Require(again == exported,
                "an exported image loads as another image:\n" + exported + "\n" + again);
  return 0;
}
