#include "handheld/device.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>

#include "base/error.h"
#include "base/hex.h"
#include "os/files.h"

namespace bolvarin::handheld {

using nlohmann::json;

// ---------------------------------------------------------------------------
// Database: records in order, an id index, tombstones for cheap removal.

size_t Database::RecordCount() const { return records_.size() - removedCount_; }

const Record* Database::Find(int32_t id) const {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : &records_[it->second];
}

Record* Database::Find(int32_t id) {
  auto it = index_.find(id);
  return it == index_.end() ? nullptr : &records_[it->second];
}

int32_t Database::Append(Record record) {
  if (record.id == 0) {
    record.id = NewId();
  } else if (index_.count(record.id) != 0) {
    Raise(err::kPlatform,
          "record " + std::to_string(record.id) + " already exists in database \"" + name + "\"");
  }
  if (record.id > nextId_) nextId_ = record.id;
  index_[record.id] = records_.size();
  records_.push_back(std::move(record));
  removed_.push_back(false);
  return records_.back().id;
}

bool Database::Remove(int32_t id) {
  auto it = index_.find(id);
  if (it == index_.end()) return false;
  size_t slot = it->second;
  index_.erase(it);
  removed_[slot] = true;
  records_[slot].data.clear();
  records_[slot].data.shrink_to_fit();
  ++removedCount_;
  return true;
}

void Database::RemoveAll() {
  records_.clear();
  removed_.clear();
  index_.clear();
  removedCount_ = 0;
  ++generation_;
}

void Database::PurgeDeleted() {
  for (size_t slot = 0; slot < records_.size(); ++slot) {
    if (!removed_[slot] && (records_[slot].attributes & kAttrDeleted) != 0) {
      index_.erase(records_[slot].id);
      removed_[slot] = true;
      ++removedCount_;
    }
  }
  // No compaction here: a reader walking the slots keeps its place.
}

const std::vector<Record>& Database::Records() {
  Compact();
  return records_;
}

size_t Database::SlotCount() const { return records_.size(); }

const Record* Database::Slot(size_t slot) const {
  if (slot >= records_.size() || removed_[slot]) return nullptr;
  return &records_[slot];
}

std::optional<size_t> Database::SlotOf(int32_t id) const {
  auto it = index_.find(id);
  if (it == index_.end()) return std::nullopt;
  return it->second;
}

int32_t Database::NewId() {
  // The counter only grows, so an identifier is never handed out twice while
  // the database is loaded, even after the record that held it is removed.
  if (nextId_ < std::numeric_limits<int32_t>::max()) return ++nextId_;
  // Every identifier up to the largest has been handed out: take the lowest
  // free positive one instead.
  for (int32_t id = 1; id < std::numeric_limits<int32_t>::max(); ++id) {
    if (index_.count(id) == 0) return id;
  }
  Raise(err::kPlatform, "database \"" + name + "\" has no free record identifier left");
}

void Database::Compact() {
  if (removedCount_ == 0) return;
  size_t out = 0;
  for (size_t slot = 0; slot < records_.size(); ++slot) {
    if (removed_[slot]) continue;
    if (out != slot) records_[out] = std::move(records_[slot]);
    ++out;
  }
  records_.resize(out);
  removed_.assign(out, false);
  removedCount_ = 0;
  index_.clear();
  index_.reserve(out);
  for (size_t slot = 0; slot < out; ++slot) index_[records_[slot].id] = slot;
  ++generation_;
}

// ---------------------------------------------------------------------------
// Device

Database* Device::FindDatabase(const std::string& name) {
  for (auto& db : databases) {
    if (db.name == name) return &db;
  }
  return nullptr;
}

Preference* Device::FindPreference(const std::string& creator, int32_t number) {
  for (auto& pref : preferences) {
    if (pref.creator == creator && pref.number == number) return &pref;
  }
  return nullptr;
}

int32_t PackCode(const std::string& code) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v = (v << 8) | (i < code.size() ? static_cast<uint8_t>(code[i]) : uint8_t{0x20});
  }
  return static_cast<int32_t>(v);
}

std::string UnpackCode(int32_t code) {
  std::string s(4, ' ');
  uint32_t v = static_cast<uint32_t>(code);
  for (int i = 3; i >= 0; --i, v >>= 8) s[static_cast<size_t>(i)] = static_cast<char>(v & 0xFF);
  return s;
}

std::string ToHex(const Bytes& bytes) {
  return HexText(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

// ---------------------------------------------------------------------------
// What the device can store

std::string TextProblem(const std::string& text, size_t maxBytes) {
  if (text.find('\0') != std::string::npos) {
    return "holds the character 0, which the handheld's texts cannot hold";
  }
  if (text.size() > maxBytes) {
    return "is " + std::to_string(text.size()) + " characters long; at most " +
           std::to_string(maxBytes) + " fit";
  }
  return "";
}

std::string DatabaseNameProblem(const std::string& name) {
  if (name.empty()) return "is empty; a database needs a name";
  return TextProblem(name, kMaxDatabaseName);
}

std::string CodeProblem(const std::string& code) {
  std::string problem = TextProblem(code, 4);
  if (problem.empty() && code.size() != 4) problem = "is not a 4-character code";
  return problem;
}

std::string CategoryNameProblem(const std::string& name) {
  return TextProblem(name, kMaxCategoryName);
}

std::string RangeProblem(int64_t value, int64_t lo, int64_t hi) {
  if (value >= lo && value <= hi) return "";
  return "is outside " + std::to_string(lo) + ".." + std::to_string(hi);
}

std::string RecordIdProblem(int64_t id) {
  if (id == 0) return "is not a record identifier (it means \"not numbered\")";
  return RangeProblem(id, INT32_MIN, INT32_MAX);
}

std::string RecordCategoryProblem(int64_t category) {
  return RangeProblem(category, 0, kMaxRecordCategory);
}

std::string RecordAttributesProblem(int64_t attributes) {
  return RangeProblem(attributes, 0, kMaxRecordAttributes);
}

std::string CategoryIdProblem(int64_t id) { return RangeProblem(id, 0, 255); }

// ---------------------------------------------------------------------------
// Image: JSON text <-> Device

namespace {

// The device's texts are 8-bit. In the image each byte is the character of
// the same code (U+0000..U+00FF), written as UTF-8, so every name survives a
// round trip whatever bytes it holds.
std::string BytesToJsonText(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string Int32Problem(int64_t value) { return RangeProblem(value, INT32_MIN, INT32_MAX); }

class ImageReader {
 public:
  explicit ImageReader(std::string source) : source_(std::move(source)) {}

  [[noreturn]] void Fail(const std::string& place, const std::string& what) const {
    throw ImageError(source_ + ": " + (place.empty() ? "" : place + ": ") + what);
  }

  const json& Member(const json& obj, const std::string& place, const char* key) const {
    auto it = obj.find(key);
    if (it == obj.end()) Fail(place, std::string("missing \"") + key + "\"");
    return *it;
  }

  void OnlyKeys(const json& obj, const std::string& place,
                std::initializer_list<const char*> keys) const {
    for (auto it = obj.begin(); it != obj.end(); ++it) {
      bool known =
          std::any_of(keys.begin(), keys.end(), [&](const char* k) { return it.key() == k; });
      if (!known) Fail(place, "unknown field \"" + it.key() + "\"");
    }
  }

  const json& Object(const json& v, const std::string& place) const {
    if (!v.is_object()) Fail(place, std::string("expected an object, found ") + v.type_name());
    return v;
  }

  const json& Array(const json& v, const std::string& place) const {
    if (!v.is_array()) Fail(place, std::string("expected an array, found ") + v.type_name());
    return v;
  }

  // A JSON integer the device can store, as `problem` (one of the device's
  // checks) tells.
  int64_t Integer(const json& v, const std::string& place, std::string (*problem)(int64_t)) const {
    if (!v.is_number_integer()) {
      Fail(place, "expected an integer, found " +
                      (v.is_number() ? "the number " + v.dump() +
                                           " (integers have no fraction or exponent and fit in "
                                           "64 bits)"
                                     : std::string(v.type_name())));
    }
    if (v.is_number_unsigned() &&
        v.get<uint64_t>() > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) {
      Fail(place, v.dump() + " is too large");
    }
    int64_t value = v.get<int64_t>();
    if (std::string why = problem(value); !why.empty()) Fail(place, v.dump() + " " + why);
    return value;
  }

  bool Boolean(const json& v, const std::string& place) const {
    if (!v.is_boolean()) Fail(place, std::string("expected true or false, found ") + v.type_name());
    return v.get<bool>();
  }

  // A text of the image back to the device's bytes (see BytesToJsonText),
  // refused when the device could not store it (`problem`).
  std::string Text(const json& v, const std::string& place,
                   std::string (*problem)(const std::string&)) const {
    if (!v.is_string()) Fail(place, std::string("expected a text, found ") + v.type_name());
    const std::string& utf8 = v.get_ref<const std::string&>();
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
      unsigned char c = static_cast<unsigned char>(utf8[i]);
      if (c < 0x80) {
        out += static_cast<char>(c);
      } else if ((c == 0xC2 || c == 0xC3) && i + 1 < utf8.size()) {
        unsigned char d = static_cast<unsigned char>(utf8[++i]);
        out += static_cast<char>(((c & 0x03) << 6) | (d & 0x3F));
      } else {
        Fail(place, "character " + std::to_string(out.size() + 1) +
                        " is beyond U+00FF; the handheld's texts are 8-bit");
      }
    }
    if (std::string why = problem(out); !why.empty()) Fail(place, v.dump() + " " + why);
    return out;
  }

  Bytes Hex(const json& v, const std::string& place) const {
    if (!v.is_string()) {
      Fail(place, std::string("expected a text of hex digits, found ") + v.type_name());
    }
    const std::string& text = v.get_ref<const std::string&>();
    // An odd count is reported before a stray character, as the image
    // has always been read.
    if (text.size() % 2 != 0) Fail(place, HexProblem{}.Describe());
    std::string bytes;
    if (auto problem = ParseHex(text, /*allowBlanks=*/false, bytes))
      Fail(place, problem->Describe());
    return Bytes(bytes.begin(), bytes.end());
  }

  Device Read(const json& root) const {
    Object(root, "");
    auto fmt = root.find("format");
    if (fmt == root.end()) Fail("", "missing \"format\"; not a handheld image");
    if (!fmt->is_string() || fmt->get<std::string>() != kImageFormat) {
      Fail("format", "unknown image format version " + fmt->dump() + " (this program reads \"" +
                         kImageFormat + "\")");
    }
    OnlyKeys(root, "", {"format", "databases", "preferences"});

    Device device;
    const json& dbs = Array(Member(root, "", "databases"), "databases");
    std::set<std::string> dbNames;
    for (size_t d = 0; d < dbs.size(); ++d) {
      std::string place = "databases[" + std::to_string(d) + "]";
      device.databases.push_back(ReadDatabase(dbs[d], place));
      if (!dbNames.insert(device.databases.back().name).second) {
        Fail(place + ".name", "a second database named " + dbs[d]["name"].dump());
      }
    }

    const json& prefs = Array(Member(root, "", "preferences"), "preferences");
    std::set<std::pair<std::string, int32_t>> prefKeys;
    for (size_t p = 0; p < prefs.size(); ++p) {
      std::string place = "preferences[" + std::to_string(p) + "]";
      const json& pj = Object(prefs[p], place);
      OnlyKeys(pj, place, {"creator", "number", "version", "data"});
      Preference pref;
      pref.creator = Text(Member(pj, place, "creator"), place + ".creator", CodeProblem);
      pref.number = static_cast<int32_t>(
          Integer(Member(pj, place, "number"), place + ".number", Int32Problem));
      pref.version = static_cast<int32_t>(
          Integer(Member(pj, place, "version"), place + ".version", Int32Problem));
      pref.data = Hex(Member(pj, place, "data"), place + ".data");
      if (!prefKeys.insert({pref.creator, pref.number}).second) {
        Fail(place, "a second preference " + std::to_string(pref.number) + " of creator " +
                        pj["creator"].dump());
      }
      device.preferences.push_back(std::move(pref));
    }
    return device;
  }

  Database ReadDatabase(const json& v, const std::string& place) const {
    const json& dj = Object(v, place);
    OnlyKeys(dj, place, {"name", "creator", "type", "categories", "records"});
    Database db;
    db.name = Text(Member(dj, place, "name"), place + ".name", DatabaseNameProblem);
    db.creator = Text(Member(dj, place, "creator"), place + ".creator", CodeProblem);
    db.type = Text(Member(dj, place, "type"), place + ".type", CodeProblem);

    const json& cats = Array(Member(dj, place, "categories"), place + ".categories");
    if (cats.size() != db.categories.size()) {
      Fail(place + ".categories", std::to_string(cats.size()) +
                                      " entries; a database has exactly " +
                                      std::to_string(db.categories.size()) + " category slots");
    }
    for (size_t c = 0; c < cats.size(); ++c) {
      std::string cp = place + ".categories[" + std::to_string(c) + "]";
      const json& cj = Object(cats[c], cp);
      OnlyKeys(cj, cp, {"name", "id", "dirty"});
      Category& cat = db.categories[c];
      cat.name = Text(Member(cj, cp, "name"), cp + ".name", CategoryNameProblem);
      cat.id = static_cast<int32_t>(Integer(Member(cj, cp, "id"), cp + ".id", CategoryIdProblem));
      cat.dirty = Boolean(Member(cj, cp, "dirty"), cp + ".dirty");
    }

    const json& recs = Array(Member(dj, place, "records"), place + ".records");
    for (size_t r = 0; r < recs.size(); ++r) {
      std::string rp = place + ".records[" + std::to_string(r) + "]";
      const json& rj = Object(recs[r], rp);
      OnlyKeys(rj, rp, {"id", "category", "attributes", "data"});
      Record rec;
      rec.id = static_cast<int32_t>(Integer(Member(rj, rp, "id"), rp + ".id", RecordIdProblem));
      rec.category = static_cast<int32_t>(
          Integer(Member(rj, rp, "category"), rp + ".category", RecordCategoryProblem));
      rec.attributes = static_cast<int32_t>(
          Integer(Member(rj, rp, "attributes"), rp + ".attributes", RecordAttributesProblem));
      rec.data = Hex(Member(rj, rp, "data"), rp + ".data");
      if (db.Find(rec.id) != nullptr) {
        Fail(rp + ".id", "record identifier " + std::to_string(rec.id) + " is used twice");
      }
      db.Append(std::move(rec));
    }
    return db;
  }

 private:
  std::string source_;
};

// Line and column of a byte offset, for JSON syntax errors.
std::string LineAndColumn(const std::string& text, size_t offset) {
  size_t line = 1, column = 1;
  for (size_t i = 0; i < offset && i < text.size(); ++i) {
    if (text[i] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
  return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// The JSON library's message without its "[json.exception...] " prefix.
std::string Explanation(const json::exception& e) {
  std::string what = e.what();
  if (auto syntax = what.find("syntax error"); syntax != std::string::npos) {
    return "not valid JSON (" + what.substr(syntax) + ")";
  }
  if (what.rfind("[json.exception.", 0) == 0) {
    if (auto end = what.find("] "); end != std::string::npos) what.erase(0, end + 2);
  }
  return what;
}

// Builds the document as the library's parser reads it, and refuses a key
// that appears twice in one object (the library would silently keep the
// last value). The map of the object being built answers that with one
// lookup per key, so reading stays linear in the size of the image.
class DocumentBuilder {
 public:
  DocumentBuilder(json& root, const std::string& text, const std::string& source)
      : root_(root), text_(text), source_(source) {}

  bool null() { return Add(nullptr) != nullptr; }
  bool boolean(bool value) { return Add(value) != nullptr; }
  bool number_integer(json::number_integer_t value) { return Add(value) != nullptr; }
  bool number_unsigned(json::number_unsigned_t value) { return Add(value) != nullptr; }
  bool number_float(json::number_float_t value, const json::string_t& /*text*/) {
    return Add(value) != nullptr;
  }
  bool string(json::string_t& value) { return Add(std::move(value)) != nullptr; }
  bool binary(json::binary_t& value) { return Add(json::binary(std::move(value))) != nullptr; }

  bool start_object(std::size_t /*size*/) {
    json* object = Add(json::value_t::object);
    open_.push_back({object, nullptr, nullptr});
    return true;
  }
  bool key(json::string_t& name) {
    Frame& top = open_.back();
    auto& members = top.container->get_ref<json::object_t&>();
    auto [it, added] = members.try_emplace(std::move(name));
    if (!added) {
      std::string place = Place();
      throw ImageError(source_ + ": " + (place.empty() ? "" : place + ": ") + "the field \"" +
                       it->first + "\" appears twice in one object");
    }
    top.member = &it->second;
    top.key = &it->first;
    return true;
  }
  bool end_object() {
    open_.pop_back();
    return true;
  }
  bool start_array(std::size_t /*size*/) {
    json* array = Add(json::value_t::array);
    open_.push_back({array, nullptr, nullptr});
    return true;
  }
  bool end_array() {
    open_.pop_back();
    return true;
  }

  bool parse_error(std::size_t position, const std::string& /*token*/, const json::exception& e) {
    throw ImageError(source_ + ": " + LineAndColumn(text_, position == 0 ? 0 : position - 1) +
                     ": " + Explanation(e));
  }

 private:
  struct Frame {
    json* container;
    json* member;            // objects: the value of the last key
    const std::string* key;  // objects: the last key
  };

  // Places the value in the innermost open container (or as the document).
  json* Add(json value) {
    if (open_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Frame& top = open_.back();
    if (top.container->is_array()) {
      auto& items = top.container->get_ref<json::array_t&>();
      items.push_back(std::move(value));
      return &items.back();
    }
    *top.member = std::move(value);
    return top.member;
  }

  // Where the innermost open container sits, as "databases[0].records[3]".
  std::string Place() const {
    std::string place;
    for (size_t i = 0; i + 1 < open_.size(); ++i) {
      const Frame& frame = open_[i];
      if (frame.container->is_array()) {
        place += "[" + std::to_string(frame.container->size() - 1) + "]";
      } else {
        place += (place.empty() ? "" : ".") + *frame.key;
      }
    }
    return place;
  }

  json& root_;
  const std::string& text_;
  const std::string& source_;
  std::vector<Frame> open_;
};

// {"a": 1, "b": "x"} on one line, members in their order.
std::string FlatObject(const nlohmann::ordered_json& object) {
  std::string out = "{";
  for (auto it = object.begin(); it != object.end(); ++it) {
    if (it != object.begin()) out += ", ";
    out += nlohmann::ordered_json(it.key()).dump() + ": " + it.value().dump();
  }
  return out + "}";
}

}  // namespace

Device Device::FromJson(const std::string& text, const std::string& source) {
  // Every failure comes out as an ImageError naming the source, whatever
  // the JSON library or the reader raised.
  try {
    // The library's reader takes a 0 byte for the end of the text and would
    // ignore whatever follows it; JSON text never holds one.
    if (size_t zero = text.find('\0'); zero != std::string::npos) {
      throw ImageError(source + ": " + LineAndColumn(text, zero) +
                       ": not valid JSON (the byte 0; an image is text)");
    }
    json root;
    DocumentBuilder builder(root, text, source);
    // Strict: anything but blanks after the document is refused.
    if (!json::sax_parse(text, &builder, json::input_format_t::json, /*strict=*/true)) {
      throw ImageError(source + ": not valid JSON");
    }
    return ImageReader(source).Read(root);
  } catch (const ImageError&) {
    throw;
  } catch (const json::exception& e) {
    throw ImageError(source + ": " + Explanation(e));
  } catch (const std::exception& e) {
    throw ImageError(source + ": cannot read the handheld image: " + e.what());
  }
}

std::string Device::ToJson() const {
  // Written by hand rather than by the library's pretty printer so that the
  // fields keep their documented order and each category, record and
  // preference stays on one line: images of many records remain readable.
  using ojson = nlohmann::ordered_json;
  std::string out = "{\n  \"format\": " + ojson(kImageFormat).dump() + ",\n  \"databases\": [";
  for (size_t d = 0; d < databases.size(); ++d) {
    const Database& db = databases[d];
    out += d == 0 ? "\n" : ",\n";
    out += "    {\n      \"name\": " + ojson(BytesToJsonText(db.name)).dump() +
           ",\n      \"creator\": " + ojson(BytesToJsonText(db.creator)).dump() +
           ",\n      \"type\": " + ojson(BytesToJsonText(db.type)).dump() +
           ",\n      \"categories\": [";
    for (size_t c = 0; c < db.categories.size(); ++c) {
      const Category& cat = db.categories[c];
      ojson cj = {{"name", BytesToJsonText(cat.name)}, {"id", cat.id}, {"dirty", cat.dirty}};
      out += (c == 0 ? "\n        " : ",\n        ") + FlatObject(cj);
    }
    out += "\n      ],\n      \"records\": [";
    // Slot by slot, so that writing the image leaves the database as it is.
    bool first = true;
    for (size_t slot = 0; slot < db.SlotCount(); ++slot) {
      const Record* rec = db.Slot(slot);
      if (rec == nullptr) continue;
      ojson rj = {{"id", rec->id},
                  {"category", rec->category},
                  {"attributes", rec->attributes},
                  {"data", ToHex(rec->data)}};
      out += (first ? "\n        " : ",\n        ") + FlatObject(rj);
      first = false;
    }
    out += first ? "]\n    }" : "\n      ]\n    }";
  }
  out += databases.empty() ? "],\n  \"preferences\": [" : "\n  ],\n  \"preferences\": [";
  for (size_t p = 0; p < preferences.size(); ++p) {
    const Preference& pref = preferences[p];
    ojson pj = {{"creator", BytesToJsonText(pref.creator)},
                {"number", pref.number},
                {"version", pref.version},
                {"data", ToHex(pref.data)}};
    out += (p == 0 ? "\n    " : ",\n    ") + FlatObject(pj);
  }
  out += preferences.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

Device Device::Load(const std::string& path) {
  // The same reader as the desktop files: only a regular file is read, and a
  // FIFO or a device never blocks or floods the host.
  std::string text;
  try {
    if (!ReadWholeFile(path, text)) {
      throw ImageError(path + ": cannot read the handheld image: the file does not exist");
    }
  } catch (const ConduitError& e) {
    throw ImageError(path + ": cannot read the handheld image: " + e.description());
  }
  return FromJson(text, path);
}

void Device::Save(const std::string& path) const {
  // An image is never put in the trash: it is the device's own memory, and
  // each sync would leave a copy behind. Through a symbolic link the file
  // it points to is replaced and the link stays.
  try {
    ReplaceFile(path, ToJson(), /*permanent=*/true);
  } catch (const ConduitError& e) {
    throw ImageError(path + ": cannot write the handheld image: " + e.description());
  }
}

}  // namespace bolvarin::handheld
