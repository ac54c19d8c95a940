#include "store/record_codec.h"

#include "base/error.h"

namespace bolvarin {

std::string DecodeRecord(PlatformUtility&, const TaggedValue&, int32_t, int32_t, std::string_view) {
  Raise(err::kPlatform, "DecodeRecord is not built yet");
}
void EncodeRecord(PlatformUtility&, std::string_view, TaggedValue&, int32_t&, int32_t&,
                  std::string&) {
  Raise(err::kPlatform, "EncodeRecord is not built yet");
}
int32_t LineAttributes(std::string_view) {
  Raise(err::kPlatform, "LineAttributes is not built yet");
}
DateTime BytesToDate(std::string_view) { Raise(err::kPlatform, "BytesToDate is not built yet"); }
int64_t BytesToLong(std::string_view) { Raise(err::kPlatform, "BytesToLong is not built yet"); }
std::string BytesToBits(std::string_view) { Raise(err::kPlatform, "BytesToBits is not built yet"); }
int64_t BitsToLong(std::string_view) { Raise(err::kPlatform, "BitsToLong is not built yet"); }
std::string BlankControls(std::string_view) {
  Raise(err::kPlatform, "BlankControls is not built yet");
}
std::string DateToBytes(const DateTime&, bool) {
  Raise(err::kPlatform, "DateToBytes is not built yet");
}
std::string LongToBytes(int32_t) { Raise(err::kPlatform, "LongToBytes is not built yet"); }

}  // namespace bolvarin
