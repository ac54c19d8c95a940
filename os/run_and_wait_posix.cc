#include "base/error.h"
#include "os/run_and_wait.h"

namespace bolvarin {

bool RunAndWait(const std::string&, const std::string&) {
  Raise(err::kPlatform, "RunAndWait is not built yet");
}

}  // namespace bolvarin
