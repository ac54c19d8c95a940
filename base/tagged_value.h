// The platform's tagged value: what a Windows build passes as a VARIANT.
//
// Record identifiers, record and preference bytes and the conduit's
// information answers travel as tagged values. Only the kinds the conduit
// uses exist here; the Windows glue maps each onto its VARIANT type.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace bolvarin {

using Bytes = std::vector<uint8_t>;

class TaggedValue {
 public:
  enum class Kind { kEmpty, kInt32, kDouble, kText, kBytes, kBool };

  TaggedValue() = default;
  static TaggedValue Int32(int32_t v) { return TaggedValue(Storage(v)); }
  static TaggedValue Double(double v) { return TaggedValue(Storage(v)); }
  static TaggedValue Text(std::string v) { return TaggedValue(Storage(std::move(v))); }
  static TaggedValue FromBytes(Bytes v) { return TaggedValue(Storage(std::move(v))); }
  static TaggedValue Bool(bool v) { return TaggedValue(Storage(v)); }

  Kind kind() const { return static_cast<Kind>(value_.index()); }
  bool IsEmpty() const { return kind() == Kind::kEmpty; }
  void Clear() { value_ = std::monostate{}; }

  // Each accessor raises a type-mismatch error naming the kinds when the
  // value holds another kind (AsInt32 also accepts a text of digits, as the
  // platform's own coercion does for record identifiers).
  int32_t AsInt32() const;
  double AsDouble() const;
  const std::string& AsText() const;
  const Bytes& AsBytes() const;
  bool AsBool() const;

  static const char* KindName(Kind kind);
  bool operator==(const TaggedValue&) const = default;

 private:
  using Storage = std::variant<std::monostate, int32_t, double, std::string, Bytes, bool>;
  explicit TaggedValue(Storage v) : value_(std::move(v)) {}
  Storage value_;
};

}  // namespace bolvarin
