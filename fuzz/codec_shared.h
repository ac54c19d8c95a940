// The record codec's platform side, shared by the two codec targets.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "base/platform.h"
#include "handheld/sim_platform.h"

namespace bolvarin::fuzz {

inline PlatformUtility& Utility() {
  static handheld::Device device;
  static handheld::SimPlatform platform(device, {});
  static std::shared_ptr<PlatformUtility> utility = platform.NewPlatformUtility();
  return *utility;
}

struct Encoded {
  TaggedValue id;
  int32_t category = 0;
  int32_t attributes = 0;
  std::string record;  // without the terminator
};

inline std::string Hex(const std::string& bytes) {
  return handheld::ToHex(Bytes(bytes.begin(), bytes.end()));
}

}  // namespace bolvarin::fuzz
