#include "base/tagged_value.h"

#include <charconv>

#include "base/error.h"

namespace bolvarin {

namespace {
[[noreturn]] void Mismatch(TaggedValue::Kind want, TaggedValue::Kind have) {
  Raise(err::kTypeMismatch, std::string("Type mismatch: expected a ") +
                                TaggedValue::KindName(want) + " value, found " +
                                TaggedValue::KindName(have));
}
}  // namespace

const char* TaggedValue::KindName(Kind kind) {
  switch (kind) {
    case Kind::kEmpty:
      return "empty";
    case Kind::kInt32:
      return "integer";
    case Kind::kDouble:
      return "double";
    case Kind::kText:
      return "text";
    case Kind::kBytes:
      return "byte array";
    case Kind::kBool:
      return "Boolean";
  }
  return "unknown";
}

int32_t TaggedValue::AsInt32() const {
  if (auto* v = std::get_if<int32_t>(&value_)) return *v;
  if (auto* s = std::get_if<std::string>(&value_)) {
    int32_t out = 0;
    const char* first = s->data();
    const char* last = s->data() + s->size();
    auto [ptr, ec] = std::from_chars(first, last, out);
    if (ec == std::errc() && ptr == last && first != last) return out;
    Raise(err::kTypeMismatch, "Type mismatch: \"" + *s + "\" is not a 32-bit integer");
  }
  Mismatch(Kind::kInt32, kind());
}

double TaggedValue::AsDouble() const {
  if (auto* v = std::get_if<double>(&value_)) return *v;
  if (auto* v = std::get_if<int32_t>(&value_)) return *v;
  Mismatch(Kind::kDouble, kind());
}

const std::string& TaggedValue::AsText() const {
  if (auto* v = std::get_if<std::string>(&value_)) return *v;
  Mismatch(Kind::kText, kind());
}

const Bytes& TaggedValue::AsBytes() const {
  if (auto* v = std::get_if<Bytes>(&value_)) return *v;
  Mismatch(Kind::kBytes, kind());
}

bool TaggedValue::AsBool() const {
  if (auto* v = std::get_if<bool>(&value_)) return *v;
  Mismatch(Kind::kBool, kind());
}

}  // namespace bolvarin
