// A settings backend that keeps the values of each key in one text file.
//
// File format, one line per value: KEY "\t" NAME "\t" VALUE, with "\\", "\t"
// and "\n" escaped in each part. Writes replace the file atomically; a
// missing or unreadable file reads as "no value".
#pragma once

#include <string>

#include "config/settings.h"

namespace bolvarin {

class FileSettings : public SettingsBackend {
 public:
  explicit FileSettings(std::string path) : path_(std::move(path)) {}
  bool CreateKey(const std::string& keyPath) override;
  std::optional<std::string> Query(const std::string& keyPath,
                                   const std::string& valueName) override;
  bool Set(const std::string& keyPath, const std::string& valueName,
           const std::string& text) override;
  bool Delete(const std::string& keyPath, const std::string& valueName) override;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bolvarin
