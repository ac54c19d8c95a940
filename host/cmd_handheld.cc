// syncbolvarin handheld: creates, shows, exports, imports and edits the image
// of the simulated handheld, the way the handheld application itself would
// change its records, categories and preference lists between two syncs.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/error.h"
#include "base/hex.h"
#include "base/tagged_value.h"
#include "conduit/conduit_info.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "host/commands.h"
#include "host/image_lock.h"
#include "lists/preference_lists.h"
#include "store/record_codec.h"

namespace bolvarin::host {

namespace {

namespace fs = std::filesystem;
using handheld::Database;
using handheld::Device;
using handheld::Record;

// Runs a command body, turning the image's and the platform's errors into the
// host's one-line command errors.
void Guard(const std::string& command, const std::function<void()>& body) {
  try {
    body();
  } catch (const handheld::ImageError& e) {
    throw CommandError(e.what());
  } catch (const ConduitError& e) {
    throw CommandError("handheld " + command + ": " + e.description());
  }
}

Device LoadImage(const std::string& path) {
  if (!fs::exists(path)) {
    throw CommandError(path + ": no such handheld image (make one with `handheld create`)");
  }
  return Device::Load(path);
}

Database& FindDatabase(Device& device, const std::string& image, const std::string& name) {
  Database* db = device.FindDatabase(name);
  if (db == nullptr) throw CommandError(image + ": no database \"" + name + "\"");
  return *db;
}

Record& FindRecord(Database& db, const std::string& image, int32_t id) {
  Record* rec = db.Find(id);
  if (rec == nullptr) {
    throw CommandError(image + ": no record " + std::to_string(id) + " in database \"" + db.name +
                       "\"");
  }
  return *rec;
}

// Hex digit pairs; blanks between them are allowed on the command line.
Bytes ParseHexOption(const std::string& option, const std::string& text) {
  std::string bytes;
  if (auto problem = ParseHex(text, /*allowBlanks=*/true, bytes)) {
    throw CommandError(option + ": " + problem->Describe());
  }
  return Bytes(bytes.begin(), bytes.end());
}

// "12", "0x40", "0XC0": decimal or hexadecimal, within lo..hi.
int32_t ParseNumber(const std::string& option, const std::string& text, int64_t lo, int64_t hi) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::optional<long long> value = WholeInteger(hex ? text.substr(2) : text, hex ? 16 : 10);
  if (value && *value >= lo && *value <= hi) return static_cast<int32_t>(*value);
  throw CommandError(option + ": \"" + text + "\" is not a number from " + std::to_string(lo) +
                     " to " + std::to_string(hi));
}

std::string AttributeNames(int32_t attributes) {
  std::string names;
  auto add = [&](const char* name) { names += names.empty() ? name : std::string(", ") + name; };
  if (attributes & handheld::kAttrDeleted) add("deleted");
  if (attributes & handheld::kAttrDirty) add("changed");
  if (attributes & handheld::kAttrArchived) add("archived");
  return names;
}

std::string HexByte(int32_t value) { return HexText(std::string(1, static_cast<char>(value))); }

// ---------------------------------------------------------------------------
// Preference lists

PreferenceListTexts ParseLists(const Bytes& block) {
  return ParsePreferenceLists(std::string(block.begin(), block.end()));
}

// "a,b,c" into entries; "\," stands for a comma inside an entry and "\\"
// for a backslash. The empty text is the empty list.
std::vector<std::string> SplitList(const std::string& option, const std::string& text) {
  std::vector<std::string> entries;
  if (text.empty()) return entries;
  std::string current;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == ',' || text[i + 1] == '\\')) {
      current += text[++i];
    } else if (text[i] == ',') {
      entries.push_back(current);
      current.clear();
    } else {
      current += text[i];
    }
  }
  entries.push_back(current);
  for (size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].empty()) {
      throw CommandError(option + ": entry " + std::to_string(i + 1) +
                         " is empty; the handheld's lists cannot hold empty entries");
    }
  }
  return entries;
}

std::string JoinList(const std::vector<std::string>& entries) {
  std::string out;
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) out += ", ";
    out += "\"" + entries[i] + "\"";
  }
  return out.empty() ? "(none)" : out;
}

// ---------------------------------------------------------------------------
// create, show, export, import

Device NewImage() {
  Device device;
  Database db;
  db.name = kLedgerDatabase;
  db.creator = kLedgerCreator;
  db.type = "Data";
  device.databases.push_back(std::move(db));
  // A header of zeros followed by three empty lists and the final 0.
  Bytes block(kPreferenceHeaderSize, 0);
  block.insert(block.end(), {0, 0, 0, 0});
  device.preferences.push_back(handheld::Preference{kLedgerCreator, 0, 1, block});
  return device;
}

void Show(Device& device, const std::string& image, std::ostream& out) {
  handheld::SimPlatform platform(device, handheld::RunRequest{});
  auto utility = platform.NewPlatformUtility();
  out << "Handheld image " << image << "\n";
  for (Database& db : device.databases) {
    out << "\nDatabase \"" << db.name << "\" (creator " << db.creator << ", type " << db.type
        << "), " << db.RecordCount() << " record" << (db.RecordCount() == 1 ? "" : "s") << "\n";
    out << "  Categories:\n";
    for (size_t i = 0; i < db.categories.size(); ++i) {
      const auto& cat = db.categories[i];
      std::string index = std::to_string(i);
      out << "    " << std::string(2 - std::min<size_t>(2, index.size()), ' ') << index << "  id "
          << cat.id
          << (cat.id < 10    ? "  "
              : cat.id < 100 ? " "
                             : "")
          << "  " << (cat.name.empty() ? "(free)" : "\"" + cat.name + "\"")
          << (cat.dirty ? "  dirty" : "") << "\n";
    }
    out << "  Records (in the handheld's order):\n";
    if (db.RecordCount() == 0) out << "    (none)\n";
    for (const Record& rec : db.Records()) {
      out << "    id " << rec.id << "  category " << rec.category << "  attributes "
          << HexByte(rec.attributes);
      if (std::string names = AttributeNames(rec.attributes); !names.empty()) {
        out << " (" << names << ")";
      }
      out << "  " << rec.data.size() << " byte" << (rec.data.size() == 1 ? "" : "s") << "\n";
      std::string bytes(rec.data.begin(), rec.data.end());
      try {
        out << "      "
            << DecodeRecord(*utility, TaggedValue::Int32(rec.id), rec.category, rec.attributes,
                            bytes)
            << "\n";
      } catch (const ConduitError& e) {
        out << "      hex " << handheld::ToHex(rec.data)
            << "  (not a ledger line: " << e.description() << ")\n";
      }
    }
  }
  for (const auto& pref : device.preferences) {
    out << "\nPreference " << pref.number << " of creator " << pref.creator << ", version "
        << pref.version << ", " << pref.data.size() << " bytes\n";
    bool lists = pref.creator == kLedgerCreator && pref.number == 0;
    if (lists) {
      try {
        PreferenceListTexts parsed = ParseLists(pref.data);
        out << "  modes: " << JoinList(parsed.modes) << "\n";
        out << "  types: " << JoinList(parsed.types) << "\n";
        out << "  descriptions: " << JoinList(parsed.descriptions) << "\n";
        continue;
      } catch (const ConduitError& e) {
        out << "  (the lists do not parse: " << e.description() << ")\n";
      }
    }
    out << "  hex " << handheld::ToHex(pref.data) << "\n";
  }
}

std::string ReadInput(const std::string& file) {
  if (file == "-") {
    std::ostringstream text;
    text << std::cin.rdbuf();
    return text.str();
  }
  std::ifstream in(file, std::ios::binary);
  if (!in) throw CommandError(file + ": cannot read: " + std::strerror(errno));
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// ---------------------------------------------------------------------------
// Record editing

struct RecordOptions {
  std::string image;
  std::string database = kLedgerDatabase;
  std::optional<int32_t> id;
  std::optional<std::string> hex;
  std::optional<std::string> line;
  std::optional<int32_t> category;
  std::string value;
};

// The bytes (and the category of the line, if any) that --hex or --line give.
struct NewContent {
  Bytes data;
  std::optional<int32_t> lineCategory;
};

NewContent ContentFrom(Device& device, const RecordOptions& o) {
  if (o.hex.has_value() == o.line.has_value()) {
    throw CommandError("give the record as either --hex or --line");
  }
  NewContent content;
  if (o.hex) {
    content.data = ParseHexOption("--hex", *o.hex);
    return content;
  }
  handheld::SimPlatform platform(device, handheld::RunRequest{});
  auto utility = platform.NewPlatformUtility();
  TaggedValue id;
  int32_t category = 0, attributes = 0;
  std::string record;
  try {
    EncodeRecord(*utility, *o.line, id, category, attributes, record);
  } catch (const ConduitError& e) {
    throw CommandError("--line: " + e.description());
  }
  if (category < 0 || category > handheld::kMaxRecordCategory) {
    throw CommandError("--line: category " + std::to_string(category) + " is outside 0..15");
  }
  content.data.assign(record.begin(), record.end());
  content.data.push_back(0);  // the record's terminator
  content.lineCategory = category;
  return content;
}

void AddRecordOptions(CLI::App* cmd, RecordOptions& o, bool withId) {
  cmd->add_option("--image", o.image, "Handheld image file")->required();
  cmd->add_option("--database", o.database, "Database name")->capture_default_str();
  if (withId) cmd->add_option("--id", o.id, "Record identifier")->required();
}

void AddContentOptions(CLI::App* cmd, RecordOptions& o) {
  cmd->add_option("--hex", o.hex,
                  "The record's bytes in hex, terminating 00 included (blanks allowed)");
  cmd->add_option("--line", o.line,
                  "The record as a desktop line (id;category;attributes;date;amount;status;"
                  "mode;type;numberA;date2;link;numberB;note); its id and attributes are "
                  "not used");
  cmd->add_option("--category", o.category, "Category index (default: the line's, else kept)")
      ->check(CLI::Range(0, 15));
}

// Marks a record the way the handheld application does when the user acts on
// it, and saves the image.
void SetAttributes(const RecordOptions& o, const std::string& command, int32_t attributes) {
  Guard(command, [&] {
    ImageLock lock(o.image, "syncbolvarin handheld " + command);
    Device device = LoadImage(o.image);
    Database& db = FindDatabase(device, o.image, o.database);
    FindRecord(db, o.image, *o.id).attributes = attributes;
    device.Save(o.image);
  });
}

// ---------------------------------------------------------------------------
// Categories and preferences

struct CategoryOptions {
  std::string image;
  std::string database = kLedgerDatabase;
  int32_t index = 0;
  std::optional<std::string> name;
  std::optional<int32_t> id;
  bool dirty = false;
  bool clean = false;
};

struct PrefOptions {
  std::string image;
  std::string creator = kLedgerCreator;
  int32_t number = 0;
  std::optional<int32_t> version;
  std::optional<std::string> hex;
  std::optional<std::string> header;
  std::optional<std::string> modes, types, descs;
};

void EditPreference(const PrefOptions& o) {
  Device device = LoadImage(o.image);
  if (o.creator.size() != 4) {
    throw CommandError("--creator: \"" + o.creator + "\" is not a 4-character code");
  }
  handheld::Preference* pref = device.FindPreference(o.creator, o.number);
  bool listsGiven = o.modes || o.types || o.descs || o.header;
  if (o.hex && listsGiven) {
    throw CommandError("give either --hex or the lists (--modes, --types, --descs, --header)");
  }
  if (!o.hex && !listsGiven && !o.version) {
    throw CommandError(
        "nothing to change: give --hex, --modes, --types, --descs, --header or "
        "--version");
  }

  std::optional<Bytes> block;
  if (o.hex) {
    block = ParseHexOption("--hex", *o.hex);
  } else if (listsGiven) {
    // Lists not given are kept from the block the handheld holds now.
    PreferenceListTexts lists;
    bool allGiven = o.modes && o.types && o.descs;
    if (pref != nullptr && !allGiven) {
      try {
        lists = ParseLists(pref->data);
      } catch (const ConduitError& e) {
        throw CommandError(o.image + ": preference " + std::to_string(o.number) + " of " +
                           o.creator + ": " + e.description() +
                           "; give all three lists or --hex to replace it");
      }
    }
    if (o.modes) lists.modes = SplitList("--modes", *o.modes);
    if (o.types) lists.types = SplitList("--types", *o.types);
    if (o.descs) lists.descriptions = SplitList("--descs", *o.descs);

    Bytes header(kPreferenceHeaderSize, 0);
    if (o.header) {
      Bytes given = ParseHexOption("--header", *o.header);
      if (given.size() != kPreferenceHeaderSize) {
        throw CommandError("--header: " + std::to_string(given.size()) + " bytes; the header has " +
                           std::to_string(kPreferenceHeaderSize));
      }
      header = given;
    } else if (pref != nullptr) {
      // Kept from the current block; a shorter block is padded with zeros.
      std::copy_n(pref->data.begin(), std::min(pref->data.size(), kPreferenceHeaderSize),
                  header.begin());
    }
    std::string built;
    try {
      built = BuildPreferenceBlock(std::string(header.begin(), header.end()), lists.modes,
                                   lists.types, lists.descriptions);
    } catch (const ConduitError& e) {
      throw CommandError(e.description());
    }
    block = Bytes(built.begin(), built.end());
  }

  if (pref == nullptr) {
    device.preferences.push_back(
        handheld::Preference{o.creator, o.number, o.version.value_or(1), block.value_or(Bytes{})});
  } else {
    if (block) pref->data = *block;
    if (o.version) pref->version = *o.version;
  }
  device.Save(o.image);
}

// handheld create: a new image.
void AddCreate(CLI::App* hh) {
  auto image = std::make_shared<std::string>();
  auto force = std::make_shared<bool>(false);
  auto* cmd = hh->add_subcommand(
      "create",
      "Write a new image: an empty \"MaBolvarin Data\" database (creator Bolv, type Data, 16 "
      "free categories) and preference 0 of Bolv holding three empty lists");
  cmd->add_option("--image", *image, "Handheld image file to create")->required();
  cmd->add_flag("--force", *force, "Replace an existing file");
  cmd->callback([image, force] {
    Guard("create", [&] {
      ImageLock lock(*image, "syncbolvarin handheld create");
      if (!*force && fs::exists(*image)) {
        throw CommandError(*image + " already exists; use --force to replace it");
      }
      NewImage().Save(*image);
    });
  });
}

// handheld show: a summary of an image.
void AddShow(CLI::App* hh) {
  auto image = std::make_shared<std::string>();
  auto* cmd = hh->add_subcommand(
      "show",
      "Summarise an image: databases, categories, records (as desktop lines where they "
      "convert, otherwise in hex) and preferences");
  cmd->add_option("--image", *image, "Handheld image file")->required();
  cmd->callback([image] {
    Guard("show", [&] {
      Device device = LoadImage(*image);
      Show(device, *image, std::cout);
    });
  });
}

// handheld export: the image as JSON.
void AddExport(CLI::App* hh) {
  auto image = std::make_shared<std::string>();
  auto* cmd = hh->add_subcommand("export", "Print the image as JSON on standard output");
  cmd->add_option("--image", *image, "Handheld image file")->required();
  cmd->callback([image] { Guard("export", [&] { std::cout << LoadImage(*image).ToJson(); }); });
}

// handheld import: a checked JSON image becomes the image file.
void AddImport(CLI::App* hh) {
  auto image = std::make_shared<std::string>();
  auto file = std::make_shared<std::string>();
  auto* cmd = hh->add_subcommand(
      "import",
      "Check a JSON image and write it as the image file (replacing it). Nothing is written "
      "when FILE is not a valid image");
  cmd->add_option("--image", *image, "Handheld image file to write")->required();
  cmd->add_option("FILE", *file, "JSON image to read, or - for standard input")->required();
  cmd->callback([image, file] {
    Guard("import", [&] {
      std::string text = ReadInput(*file);
      ImageLock lock(*image, "syncbolvarin handheld import");
      Device::FromJson(text, *file == "-" ? "standard input" : *file).Save(*image);
    });
  });
}

// handheld add: a new record, marked changed.
void AddAddRecord(CLI::App* hh) {
  auto o = std::make_shared<RecordOptions>();
  auto* cmd = hh->add_subcommand(
      "add",
      "Add a record at the end, marked changed (attributes 40 hex), as the handheld "
      "application does; prints its new identifier");
  AddRecordOptions(cmd, *o, false);
  AddContentOptions(cmd, *o);
  cmd->callback([o] {
    Guard("add", [&] {
      ImageLock lock(o->image, "syncbolvarin handheld add");
      Device device = LoadImage(o->image);
      Database& db = FindDatabase(device, o->image, o->database);
      NewContent content = ContentFrom(device, *o);
      int32_t category = o->category.value_or(content.lineCategory.value_or(0));
      int32_t id = db.Append(Record{0, category, handheld::kAttrDirty, content.data});
      device.Save(o->image);
      std::cout << id << "\n";
    });
  });
}

// handheld change: new bytes for a record, marked changed.
void AddChangeRecord(CLI::App* hh) {
  auto o = std::make_shared<RecordOptions>();
  auto* cmd = hh->add_subcommand(
      "change", "Replace a record's bytes and mark it changed (attributes 40 hex)");
  AddRecordOptions(cmd, *o, true);
  AddContentOptions(cmd, *o);
  cmd->callback([o] {
    Guard("change", [&] {
      ImageLock lock(o->image, "syncbolvarin handheld change");
      Device device = LoadImage(o->image);
      Database& db = FindDatabase(device, o->image, o->database);
      Record& rec = FindRecord(db, o->image, *o->id);
      NewContent content = ContentFrom(device, *o);
      rec.category = o->category.value_or(content.lineCategory.value_or(rec.category));
      rec.attributes = handheld::kAttrDirty;
      rec.data = content.data;
      device.Save(o->image);
    });
  });
}

// handheld delete: a record marked deleted and changed, purged by the next sync.
void AddDeleteRecord(CLI::App* hh) {
  auto o = std::make_shared<RecordOptions>();
  auto* cmd = hh->add_subcommand(
      "delete",
      "Delete a record as the handheld application does: it is marked deleted and changed "
      "(attributes C0 hex) and stays until a sync purges it");
  AddRecordOptions(cmd, *o, true);
  cmd->callback(
      [o] { SetAttributes(*o, "delete", handheld::kAttrDeleted | handheld::kAttrDirty); });
}

// handheld archive: a record marked deleted and archived.
void AddArchiveRecord(CLI::App* hh) {
  auto a = std::make_shared<RecordOptions>();
  auto* archive = hh->add_subcommand(
      "archive",
      "Archive a record: marked deleted and archived (attributes 88 hex); a sync leaves its "
      "desktop line alone and purges it from the handheld");
  AddRecordOptions(archive, *a, true);
  archive->callback(
      [a] { SetAttributes(*a, "archive", handheld::kAttrDeleted | handheld::kAttrArchived); });
}

// handheld set-attributes: a record's attribute byte.
void AddSetAttributes(CLI::App* hh) {
  auto o = std::make_shared<RecordOptions>();
  auto* cmd = hh->add_subcommand("set-attributes",
                                 "Set a record's attribute byte to VALUE (decimal or 0x..)");
  AddRecordOptions(cmd, *o, true);
  cmd->add_option("VALUE", o->value, "Attributes, 0..255 (e.g. 64 or 0x40)")->required();
  cmd->callback([o] {
    int32_t value = ParseNumber("VALUE", o->value, 0, handheld::kMaxRecordAttributes);
    SetAttributes(*o, "set-attributes", value);
  });
}

// handheld category: one category slot.
void AddCategory(CLI::App* hh) {
  auto o = std::make_shared<CategoryOptions>();
  auto* cmd = hh->add_subcommand(
      "category",
      "Edit a category slot as the handheld application does: the slot is marked dirty "
      "unless --clean is given");
  cmd->add_option("--image", o->image, "Handheld image file")->required();
  cmd->add_option("--database", o->database, "Database name")->capture_default_str();
  cmd->add_option("--index", o->index, "Slot, 0..15")->required()->check(CLI::Range(0, 15));
  cmd->add_option("--name", o->name, "New name, at most 15 characters (empty frees the slot)");
  cmd->add_option("--id", o->id, "New category identifier, 0..255")->check(CLI::Range(0, 255));
  auto* dirty = cmd->add_flag("--dirty", o->dirty, "Mark the slot dirty (the default)");
  cmd->add_flag("--clean", o->clean, "Mark the slot clean")->excludes(dirty);
  cmd->callback([o] {
    Guard("category", [&] {
      if (o->name) {
        if (const std::string why = handheld::CategoryNameProblem(*o->name); !why.empty()) {
          throw CommandError("--name: \"" + *o->name + "\" " + why);
        }
      }
      ImageLock lock(o->image, "syncbolvarin handheld category");
      Device device = LoadImage(o->image);
      Database& db = FindDatabase(device, o->image, o->database);
      auto& slot = db.categories[static_cast<size_t>(o->index)];
      if (o->name) slot.name = *o->name;
      if (o->id) slot.id = *o->id;
      slot.dirty = !o->clean;
      device.Save(o->image);
    });
  });
}

// handheld pref: a preference, whole or list by list.
void AddPref(CLI::App* hh) {
  auto o = std::make_shared<PrefOptions>();
  auto* cmd = hh->add_subcommand(
      "pref",
      "Set a preference: its bytes (--hex), or for the ledger's preference 0 its lists; lists "
      "not given and the 24-byte header are kept. Entries are separated by commas (\\, for a "
      "comma inside an entry); an empty text is an empty list");
  cmd->add_option("--image", o->image, "Handheld image file")->required();
  cmd->add_option("--creator", o->creator, "Creator code")->capture_default_str();
  cmd->add_option("--number", o->number, "Preference number")->capture_default_str();
  cmd->add_option("--version", o->version, "Version number to store (default: kept, 1 when new)");
  cmd->add_option("--hex", o->hex, "The whole preference in hex (blanks allowed)");
  cmd->add_option("--header", o->header, "The 24-byte header in hex (default: kept, or zeros)");
  cmd->add_option("--modes", o->modes, "Mode list, e.g. \"Cash,Card,Cheque\"");
  cmd->add_option("--types", o->types, "Type list (at most 63 entries)");
  cmd->add_option("--descs", o->descs, "Description list");
  cmd->callback([o] {
    Guard("pref", [&] {
      ImageLock lock(o->image, "syncbolvarin handheld pref");
      EditPreference(*o);
    });
  });
}

}  // namespace

void AddHandheldCommand(CLI::App& app) {
  auto* hh = app.add_subcommand(
      "handheld", "Create, inspect, export, import and edit a simulated handheld's image");
  hh->require_subcommand(1);
  AddCreate(hh);
  AddShow(hh);
  AddExport(hh);
  AddImport(hh);
  AddAddRecord(hh);
  AddChangeRecord(hh);
  AddDeleteRecord(hh);
  AddArchiveRecord(hh);
  AddSetAttributes(hh);
  AddCategory(hh);
  AddPref(hh);
}

}  // namespace bolvarin::host
