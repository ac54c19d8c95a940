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

}  // namespace bolvarin
