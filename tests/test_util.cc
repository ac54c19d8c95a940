// The test helpers every test program shares: temporary folders and files.
#include "tests/test_util.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace bolvarin::testing {

namespace fs = std::filesystem;

// The folder is claimed by creating it: a name another test or process took
// first is passed over.
TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  const auto clock = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000007;
  std::error_code ec;
  for (int attempt = 0; attempt < 1000 && path_.empty(); ++attempt) {
    const fs::path candidate =
        fs::temp_directory_path() /
        ("syncbolvarin-test-" + std::to_string(clock) + "-" + std::to_string(counter++));
    if (fs::create_directory(candidate, ec)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

std::string TempDir::File(const std::string& name) const { return path_ + "/" + name; }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out << contents;
}

bool Exists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

std::string Recorded(const TempDir& dir, const std::string& name, const std::string& what) {
  const std::string path = dir.File(name + "." + what);
  if (!Exists(path)) return "";
  std::string text = ReadFile(path);
  std::erase(text, '\r');  // a batch file's lines end in CR LF
  return text;
}

}  // namespace bolvarin::testing
