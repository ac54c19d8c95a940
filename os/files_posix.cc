#include "base/error.h"
#include "os/files.h"

namespace bolvarin {

bool IsRegularFile(const std::string&) { Raise(err::kPlatform, "IsRegularFile is not built yet"); }
bool ReadWholeFile(const std::string&, std::string&) {
  Raise(err::kPlatform, "ReadWholeFile is not built yet");
}
std::string FindFileNoCase(const std::string&, const std::string&) {
  Raise(err::kPlatform, "FindFileNoCase is not built yet");
}
void RemoveFile(const std::string&, bool) { Raise(err::kPlatform, "RemoveFile is not built yet"); }
void ReplaceFile(const std::string&, std::string_view, bool) {
  Raise(err::kPlatform, "ReplaceFile is not built yet");
}
void FailNextReplaceAfterForTesting(long long) {}

}  // namespace bolvarin
