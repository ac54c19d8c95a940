#include "conduit/conduit_info.h"

#include <utility>

namespace bolvarin {

namespace {

std::string& Name() {
  static std::string name = kExeName;
  return name;
}

}  // namespace

const std::string& ExeName() { return Name(); }

void SetExeName(std::string name) { Name() = std::move(name); }

std::string VersionText() {
  return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
         std::to_string(kVersionRevision);
}

}  // namespace bolvarin
