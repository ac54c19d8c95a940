#include "base/error.h"
#include "os/run_and_wait.h"

namespace bolvarin {

std::vector<std::string> SplitCommandLine(const std::string&) {
  Raise(err::kPlatform, "SplitCommandLine is not built yet");
}

}  // namespace bolvarin
