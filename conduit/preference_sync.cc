// CSync's exchange of the handheld's three preference lists with the desktop
// files "mode.txt", "type.txt" and "desc.txt": RestorePreference (desktop to
// handheld), SavePreference (handheld to desktop) and SyncPreference (merge).
//
// Every file is replaced whole, and everything that can fail is checked
// before the first write, so a failure leaves both sides as they were or,
// part-way through the writes, each file either old or new.
#include <algorithm>
#include <array>

#include "base/error.h"
#include "base/mod_public.h"
#include "base/text.h"
#include "conduit/conduit_info.h"
#include "conduit/csync.h"
#include "lists/preference_lists.h"

namespace bolvarin {

namespace {

constexpr std::array<PreferenceFile, 3> kListFiles{kModeFile, kTypeFile, kDescFile};

TaggedValue Creator() { return TaggedValue::Text(kLedgerCreator); }

struct Block {
  int32_t version = 0;
  std::string text;  // one character per byte
};

Block ReadBlock(PlatformSystem& system) {
  Block block;
  TaggedValue data;
  system.ReadPreference(Creator(), kPreferenceNumber, true, block.version, data);
  const Bytes& bytes = data.AsBytes();
  block.text.assign(bytes.begin(), bytes.end());
  return block;
}

void WriteBlock(PlatformSystem& system, int32_t version, const std::string& text) {
  system.WritePreference(Creator(), kPreferenceNumber, true, version,
                         TaggedValue::FromBytes(Bytes(text.begin(), text.end())));
}

std::string_view Header(const std::string& block) {
  return std::string_view(block).substr(0, std::min(block.size(), kPreferenceHeaderSize));
}

std::vector<std::string> Texts(const std::vector<colEnregistrement>& list) {
  std::vector<std::string> texts;
  texts.reserve(list.size());
  for (const colEnregistrement& entry : list) texts.push_back(entry.Texte);
  return texts;
}

std::array<std::vector<colEnregistrement>*, 3> WorkingLists() {
  return {&ModeList, &TypeList, &DescList};
}

}  // namespace

void CSync::RestorePreference() {
  try {
    std::shared_ptr<PlatformSystem> system = platform_.NewPlatformSystem();
    Block block = ReadBlock(*system);
    std::array<std::vector<std::string>, 3> lists;
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      std::string folder = context_->DesktopPath();
      if (!ReadPreferenceFile(folder, kListFiles[i], lists[i])) {
        Raise(err::kFileNotFound, JoinDesktopPath(folder, kListFiles[i].readName) +
                                      " does not exist; the handheld's lists are left as they are");
      }
    }
    WriteBlock(*system, block.version,
               BuildPreferenceBlock(Header(block.text), lists[0], lists[1], lists[2]));
  } catch (const std::exception& e) {
    LogError(" - RestorePreference - ", e);
  }
}

void CSync::SavePreference() {
  try {
    std::shared_ptr<PlatformSystem> system = platform_.NewPlatformSystem();
    Block block = ReadBlock(*system);
    ParsePreferenceBlock(block.text, false);
    std::array<std::string, 3> contents;
    auto lists = WorkingLists();
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      contents[i] = PreferenceFileContents(kListFiles[i], Texts(*lists[i]));
    }
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      WritePreferenceFile(context_->DesktopPath(), kListFiles[i], contents[i], DeleteDefinitively);
    }
  } catch (const std::exception& e) {
    LogError(" - SavePreference - ", e);
  }
}

void CSync::SyncPreference() {
  try {
    std::shared_ptr<PlatformSystem> system = platform_.NewPlatformSystem();
    ParsePreferenceBlock(ReadBlock(*system).text, true);

    // Merge by position: line i of a file replaces entry i of its list,
    // further lines are appended, further entries stay. A missing file
    // leaves its list as the handheld has it.
    auto lists = WorkingLists();
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      std::vector<std::string> lines;
      if (!ReadPreferenceFile(context_->DesktopPath(), kListFiles[i], lines)) continue;
      std::vector<colEnregistrement>& list = *lists[i];
      for (size_t line = 0; line < lines.size(); ++line) {
        if (line < list.size()) {
          list[line].Texte = std::move(lines[line]);
        } else {
          colEnregistrement entry;
          entry.Texte = std::move(lines[line]);
          list.push_back(std::move(entry));
        }
      }
    }

    // The header and the version come from a fresh read, just before the write.
    Block current = ReadBlock(*system);
    std::string merged = BuildPreferenceBlock(Header(current.text), Texts(ModeList),
                                              Texts(TypeList), Texts(DescList));
    std::array<std::string, 3> contents;
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      contents[i] = PreferenceFileContents(kListFiles[i], Texts(*lists[i]));
    }

    WriteBlock(*system, current.version, merged);
    for (size_t i = 0; i < kListFiles.size(); ++i) {
      WritePreferenceFile(context_->DesktopPath(), kListFiles[i], contents[i], DeleteDefinitively);
    }
  } catch (const std::exception& e) {
    LogError(" - SyncPreference - ", e);
  }
}

}  // namespace bolvarin
