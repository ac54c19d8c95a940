#include "base/error.h"

namespace bolvarin {

std::string ErrorText(const std::exception& e) {
  if (dynamic_cast<const std::bad_alloc*>(&e) != nullptr) return "Out of memory";
  return e.what();
}

}  // namespace bolvarin
