// Measures the record procedures at realistic sizes: a fast sync, a copy to
// the desktop and a copy to the handheld at 20,000, 65,535 and 200,000
// records, on the simulated handheld in memory and a real data file.
//
// Each case runs in a child process so its peak memory is its own. Printed
// per case: engine time (BeginProcess, including reading and writing the
// data file), time per record, peak resident memory, the data file's size,
// and the time this binary takes merely to read and rewrite that file line by
// line. The targets are checked and reported at the end.
//
// The end-to-end case runs the host program, `syncbolvarin sync`, as a
// process on a saved handheld image and a data file of the same records
// (loading and saving the image included), at 20,000 and 200,000 records.
// It works in a folder of its own: HOME and XDG_* point there, so the
// replaced files go to a trash inside it, and it has its own settings file.
//
// The link case counts the platform calls of a fast sync at 5,000 and
// 65,535 records, both sides in step but for 1% of the records changed on
// each side and 0.5% new desktop lines, with and without the skipping of
// records the handheld already holds, and the time those calls would take
// on a link of 10 ms a call.
//
// The export case runs `syncbolvarin export` in each format and `syncbolvarin
// report` on a data file of 20,000 and 200,000 records (the same fixture).
//
// Usage: record_sync_bench [N...]   (default: 20000 65535 200000)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/date_time.h"
#include "conduit/cnotify.h"
#include "conduit/csync.h"
#include "config/settings.h"
#include "config/settings_file.h"
#include "handheld/device.h"
#include "handheld/sim_platform.h"
#include "lists/preference_lists.h"
#include "store/record_codec.h"

namespace fs = std::filesystem;
using namespace bolvarin;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// A realistic ledger line (fields 3..12) for record k.
std::string Fields(std::mt19937& rng, int k) {
  static const char* kNotes[] = {
      "Groceries", "Fuel",         "Rent",       "Salary", "Cinema with friends",
      "Pharmacy",  "Train ticket", "Restaurant", "Books",  ""};
  DateTime d;
  d.year = 2020 + static_cast<int>(rng() % 7);
  d.month = 1 + static_cast<int>(rng() % 12);
  d.day = 1 + static_cast<int>(rng() % 28);
  if (rng() % 2) {
    d.hour = static_cast<int>(rng() % 24);
    d.minute = static_cast<int>(rng() % 60);
  }
  std::string f = FormatDate(d) + ";" + std::to_string(static_cast<int>(rng() % 200000) - 150000) +
                  ";" + std::to_string(rng() % 4) + ";" +
                  (rng() % 5 ? std::to_string(rng() % 30) : "") + ";" +
                  (rng() % 5 ? std::to_string(rng() % 62) : "") + ";";
  f += (k % 7 == 0 ? std::to_string(rng() % 100000) : "") + ";";
  f += (k % 11 == 0 ? "15/06/2026" : "") + std::string(";");
  f += (k % 13 == 0 ? "A" : "") + std::string(";");
  f += (k % 17 == 0 ? std::to_string(rng() % 1000) : "") + std::string(";");
  f += kNotes[rng() % 10];
  return f;
}

struct Fixture {
  handheld::Device device;
  std::string dataFile;
};

// Handheld: n records, about half changed there, 2% deleted there.
// Desktop: a line for most of them, 2% deleted on the desktop, 2% new (id 0).
void Prepare(int n, const std::string& folder, Fixture& fx) {
  std::mt19937 rng(12345);
  handheld::Database db;
  db.name = "MaBolvarin Data";
  db.creator = "Bolv";
  db.type = "Data";
  handheld::SimPlatform tmp(fx.device, handheld::RunRequest{});
  auto utility = tmp.NewPlatformUtility();
  std::string text;
  text.reserve(static_cast<size_t>(n) * 80);
  for (int k = 0; k < n; ++k) {
    const int32_t id = 1000 + k;
    std::string fields = Fields(rng, k);
    const int roll = static_cast<int>(rng() % 100);
    const bool newOnDesktop = roll < 2;
    if (!newOnDesktop) {
      TaggedValue rid;
      int32_t category = 0, attributes = 0;
      std::string record;
      EncodeRecord(*utility, "0;0; 0;" + fields, rid, category, attributes, record);
      record.push_back('\0');
      handheld::Record r;
      r.id = id;
      r.category = static_cast<int32_t>(rng() % 16);
      r.attributes = roll < 4 ? 0xC0 : (roll < 52 ? 0x40 : 0);
      r.data.assign(record.begin(), record.end());
      db.Append(std::move(r));
    }
    const bool deletedOnDesktop = roll >= 4 && roll < 6;
    std::string idText = newOnDesktop ? "0" : std::to_string(id);
    text += idText + ";" + std::to_string(rng() % 16) + "; " + (deletedOnDesktop ? "128" : "0") +
            ";" + fields + "\r\n";
  }
  fx.device.databases.push_back(std::move(db));
  // The application's preference lists on both sides, partly shared, so that
  // every kind of run also merges or copies them as it does on a real device.
  const std::string block = BuildPreferenceBlock(std::string(24, '\0'), {"Cash", "Card", "Cheque"},
                                                 {"Food", "Car", "Home", "Leisure"}, {"Rent"});
  fx.device.preferences.push_back({"Bolv", 0, 1, Bytes(block.begin(), block.end())});
  std::ofstream(folder + "/mode.txt", std::ios::binary) << "Cash\r\nTransfer\r\n";
  std::ofstream(folder + "/type.txt", std::ios::binary) << "Food\r\nHealth\r\n";
  std::ofstream(folder + "/desc.txt", std::ios::binary) << "Rent\r\nSalary\r\n";
  fx.dataFile = folder + "/MaBolvarin.txt";
  std::ofstream(fx.dataFile, std::ios::binary) << text;
}

// Reads the file line by line and writes it back: the floor for any sync.
double ReadRewrite(const std::string& path) {
  auto start = Clock::now();
  std::vector<std::string> lines;
  {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    while (std::getline(in, line, '\r')) {
      if (in.peek() == '\n') in.get();
      lines.push_back(std::move(line));
    }
  }
  {
    std::ofstream out(path + ".copy", std::ios::binary);
    for (const auto& l : lines) out << l << "\r\n";
  }
  double s = Seconds(Clock::now() - start);
  fs::remove(path + ".copy");
  return s;
}

struct Result {
  double engine = 0;
  double readRewrite = 0;
  long fileBytes = 0;
  long peakKb = 0;
  long baseKb = 0;
  int logLines = 0;
  bool ok = false;
};

long MaxRssKb() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss;
}

Result RunCase(int n, int32_t syncType) {
  int pipefd[2];
  if (pipe(pipefd) != 0) std::abort();
  pid_t pid = fork();
  if (pid == 0) {
    close(pipefd[0]);
    std::string folder =
        fs::temp_directory_path() / ("syncbolvarin-bench-" + std::to_string(getpid()));
    fs::create_directories(folder);
    setenv("XDG_DATA_HOME", (folder + "/xdg").c_str(), 1);
    FileSettings settings(folder + "/settings");
    SetActiveSettings(&settings);
    Result r;
    {
      Fixture fx;
      Prepare(n, folder, fx);
      r.fileBytes = static_cast<long>(fs::file_size(fx.dataFile));
      r.readRewrite = ReadRewrite(fx.dataFile);
      r.baseKb = MaxRssKb();
      handheld::RunRequest run;
      run.syncType = syncType;
      run.desktopPath = folder;
      handheld::SimPlatform platform(fx.device, run);
      CNotify notify(platform);
      auto start = Clock::now();
      notify.BeginProcess();
      r.engine = Seconds(Clock::now() - start);
      r.peakKb = MaxRssKb();
      r.logLines = static_cast<int>(platform.log().size());
      r.ok = !platform.log().empty() && platform.log().back().text.rfind("Ok ", 0) == 0 &&
             platform.log().size() == 3;
      if (!r.ok) {
        for (const auto& e : platform.log()) std::fprintf(stderr, "log: %s\n", e.text.c_str());
      }
    }
    fs::remove_all(folder);
    if (write(pipefd[1], &r, sizeof r) != sizeof r) _exit(2);
    _exit(0);
  }
  close(pipefd[1]);
  Result r;
  if (read(pipefd[0], &r, sizeof r) != sizeof r) r.ok = false;
  close(pipefd[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  return r;
}

struct EndToEnd {
  double seconds = 0;
  long peakKb = 0;
  long imageBytes = 0;
  bool ok = false;
};

struct Spawned {
  double seconds = 0;
  long peakKb = 0;
  int status = -1;  // the wait status
};

// Runs the host program with `args` in an environment of `home`, standard
// output to `out`, and measures it.
Spawned SpawnHost(std::vector<std::string> args, const std::string& home, const std::string& out) {
  args.insert(args.begin(), BOLVARIN_HOST_BINARY);
  std::vector<std::string> env = {"HOME=" + home,
                                  "XDG_DATA_HOME=" + home + "/.local/share",
                                  "XDG_CONFIG_HOME=" + home + "/.config",
                                  "XDG_CACHE_HOME=" + home + "/.cache",
                                  "XDG_STATE_HOME=" + home + "/.local/state",
                                  "XDG_RUNTIME_DIR=" + home + "/run",
                                  "SYNCBOLVARIN_SETTINGS=" + home + "/settings",
                                  "PATH=/usr/bin:/bin"};
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Spawned r;
  pid_t pid = 0;
  auto start = Clock::now();
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
    rusage usage{};
    wait4(pid, &r.status, 0, &usage);
    r.seconds = Seconds(Clock::now() - start);
    r.peakKb = usage.ru_maxrss;
  } else {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
  }
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

// A folder of its own with a desktop of n records (and their handheld image
// at `image` when that is not empty), built in a child so this process
// stays small. Returns false when the child failed.
bool PrepareFolder(int n, const std::string& folder, const std::string& image) {
  const std::string home = folder + "/home";
  fs::create_directories(folder + "/desktop");
  fs::create_directories(home);
  pid_t prep = fork();
  if (prep == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    Fixture fx;
    Prepare(n, folder + "/desktop", fx);
    if (!image.empty()) fx.device.Save(image);
    _exit(0);
  }
  int status = 0;
  waitpid(prep, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string BenchFolder(const char* what) {
  return fs::temp_directory_path() /
         ("syncbolvarin-bench-" + std::string(what) + "-" + std::to_string(getpid()));
}

// `syncbolvarin sync` (fast) of an image and a data file of n records.
EndToEnd RunHostSync(int n) {
  EndToEnd r;
  const std::string folder = BenchFolder("e2e");
  const std::string image = folder + "/handheld.json";
  if (PrepareFolder(n, folder, image)) {
    r.imageBytes = static_cast<long>(fs::file_size(image));
    const std::string out = folder + "/out.txt";
    const Spawned run = SpawnHost({"sync", "--handheld", image, "--desktop", folder + "/desktop",
                                   "--type", "fast", "--settings", folder + "/settings.ini"},
                                  folder + "/home", out);
    r.seconds = run.seconds;
    r.peakKb = run.peakKb;
    std::ifstream log(out);
    std::string line, last;
    while (std::getline(log, line)) last = line;
    r.ok = WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0 && last.rfind("Ok ", 0) == 0;
    if (!r.ok)
      std::fprintf(stderr, "sync: status %d, last line \"%s\"\n", run.status, last.c_str());
  }
  fs::remove_all(folder);
  return r;
}

// The export case: `syncbolvarin export` in each format and `syncbolvarin
// report`, each a whole run of the host on a data file of n records.
const char* const kExportCases[] = {"csv", "qif", "ofx", "ledger", "beancount", "report"};
struct ExportRow {
  double seconds = 0;
  long peakKb = 0;
  long outputBytes = 0;
  bool ok = false;
};
std::vector<ExportRow> RunHostExports(int n) {
  std::vector<ExportRow> rows(std::size(kExportCases));
  const std::string folder = BenchFolder("export");
  if (PrepareFolder(n, folder, "")) {
    for (size_t i = 0; i < rows.size(); ++i) {
      const std::string kind = kExportCases[i], output = folder + "/output";
      std::vector<std::string> args = {"export", "--format", kind};
      if (kind == "report") args = {"report", "--language", "en"};
      args.insert(args.end(), {"--output", output, folder + "/desktop/MaBolvarin.txt"});
      const Spawned run = SpawnHost(args, folder + "/home", folder + "/out.txt");
      rows[i] = {run.seconds, run.peakKb, 0, WIFEXITED(run.status) && WEXITSTATUS(run.status) == 0};
      if (rows[i].ok) rows[i].outputBytes = static_cast<long>(fs::file_size(output));
      if (!rows[i].ok) std::fprintf(stderr, "%s: status %d\n", kind.c_str(), run.status);
    }
  }
  fs::remove_all(folder);
  return rows;
}

// The link case: n records in step on both sides (a copy to the handheld),
// then 1% changed on the handheld, 1% changed on the desktop and 0.5% new
// desktop lines; the calls of one fast sync.
struct LinkResult {
  handheld::CallCounts calls;
  uint64_t total = 0;
  int changed = 0, added = 0;
  bool ok = false;
};

LinkResult RunLinkCase(int n, bool rewriteUnchanged) {
  LinkResult r;
  const std::string folder =
      fs::temp_directory_path() / ("syncbolvarin-bench-link-" + std::to_string(getpid()));
  fs::create_directories(folder);
  setenv("XDG_DATA_HOME", (folder + "/xdg").c_str(), 1);
  FileSettings settings(folder + "/settings");
  SetActiveSettings(&settings);
  std::mt19937 rng(777);
  const std::string dataFile = folder + "/MaBolvarin.txt";
  {
    std::string text;
    for (int k = 0; k < n; ++k)
      text += "0;" + std::to_string(k % 16) + "; 0;" + Fields(rng, k) + "\r\n";
    std::ofstream(dataFile, std::ios::binary) << text;
  }
  handheld::Device device;
  const std::string block =
      BuildPreferenceBlock(std::string(24, '\0'), {"Cash"}, {"Food"}, {"Rent"});
  device.preferences.push_back({"Bolv", 0, 1, Bytes(block.begin(), block.end())});
  auto run = [&](int32_t type, bool rewrite) {
    handheld::SimPlatform platform(device, handheld::RunRequest{type, folder});
    {
      CSync engine(platform);
      engine.RewriteUnchangedRecords(rewrite);
      engine.SYNCHRONIZE();
    }
    return std::make_pair(platform.calls(), platform.log());
  };
  run(3, false);  // copy to the handheld: both sides in step
  handheld::Database& db = device.databases.at(0);
  handheld::SimPlatform codec(device, handheld::RunRequest{});
  auto utility = codec.NewPlatformUtility();
  std::ifstream in(dataFile, std::ios::binary);
  std::string text, line;
  for (int k = 0; std::getline(in, line); ++k) {
    line.pop_back();  // the '\r' of "\r\n"
    const int32_t id = std::stoi(line);
    if (k % 100 == 0) {  // changed on the handheld
      TaggedValue rid;
      int32_t category = 0, attributes = 0;
      std::string record;
      EncodeRecord(*utility, "0;0; 0;" + Fields(rng, k), rid, category, attributes, record);
      record.push_back('\0');
      handheld::Record* rec = db.Find(id);
      rec->data.assign(record.begin(), record.end());
      rec->attributes = 0x40;
      ++r.changed;
    } else if (k % 100 == 50) {  // changed on the desktop
      line = std::to_string(id) + ";" + std::to_string(k % 16) + "; 0;" + Fields(rng, k);
      ++r.changed;
    }
    text += line + "\r\n";
    if (k % 200 == 0) {
      text += "0;1; 0;" + Fields(rng, k) + "\r\n";
      ++r.added;
    }
  }
  in.close();
  std::ofstream(dataFile, std::ios::binary) << text;
  const auto [calls, log] = run(0, rewriteUnchanged);
  r.calls = calls;
  for (const auto& [operation, count] : r.calls) r.total += count;
  r.ok = log.size() == 3 && log.back().text.rfind("Ok ", 0) == 0;
  if (!r.ok) {
    for (const auto& e : log) std::fprintf(stderr, "log: %s\n", e.text.c_str());
  }
  SetActiveSettings(nullptr);
  fs::remove_all(folder);
  return r;
}

uint64_t Count(const handheld::CallCounts& calls, const char* operation) {
  auto it = calls.find(operation);
  return it == calls.end() ? 0 : it->second;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {20000, 65535, 200000};

  struct Kind {
    const char* name;
    int32_t type;
  };
  const Kind kinds[] = {{"fast sync", 0}, {"copy to desktop", 2}, {"copy to handheld", 3}};

  std::printf("%-17s %8s %10s %12s %10s %10s %12s\n", "case", "records", "engine s", "us/record",
              "peak MB", "file MB", "read+write s");
  bool allOk = true;
  std::vector<std::vector<Result>> table;
  for (const Kind& kind : kinds) {
    std::vector<Result> row;
    for (int n : sizes) {
      Result r = RunCase(n, kind.type);
      allOk = allOk && r.ok;
      std::printf("%-17s %8d %10.3f %12.2f %10.1f %10.1f %12.3f%s\n", kind.name, n, r.engine,
                  1e6 * r.engine / n, r.peakKb / 1024.0, r.fileBytes / 1048576.0, r.readRewrite,
                  r.ok ? "" : "  (run did not complete: see log above)");
      std::fflush(stdout);
      row.push_back(r);
    }
    table.push_back(row);
  }

  // The host program end to end, at the two sizes its target compares.
  const int e2eSizes[] = {20000, 200000};
  EndToEnd e2e[2];
  for (int i = 0; i < 2; ++i) {
    e2e[i] = RunHostSync(e2eSizes[i]);
    allOk = allOk && e2e[i].ok;
    std::printf("%-17s %8d %10.3f %12.2f %10.1f %10.1f %12s%s\n", "syncbolvarin sync", e2eSizes[i],
                e2e[i].seconds, 1e6 * e2e[i].seconds / e2eSizes[i], e2e[i].peakKb / 1024.0,
                e2e[i].imageBytes / 1048576.0, "(image MB)",
                e2e[i].ok ? "" : "  (run did not complete: see above)");
    std::fflush(stdout);
  }

  // Export and report, whole runs of the host.
  std::printf("\n%-26s %8s %10s %12s %10s %12s\n", "export / report", "records", "run s",
              "us/record", "peak MB", "output MB");
  const int exportSizes[] = {20000, 200000};
  std::vector<ExportRow> exports[2];
  for (int i = 0; i < 2; ++i) {
    exports[i] = RunHostExports(exportSizes[i]);
    for (size_t k = 0; k < std::size(kExportCases); ++k) {
      const ExportRow& r = exports[i][k];
      allOk = allOk && r.ok;
      std::printf("%-26s %8d %10.3f %12.2f %10.1f %12.3f%s\n", kExportCases[k], exportSizes[i],
                  r.seconds, 1e6 * r.seconds / exportSizes[i], r.peakKb / 1024.0,
                  r.outputBytes / 1048576.0, r.ok ? "" : "  (run failed: see above)");
    }
    std::fflush(stdout);
  }

  // The link: calls of a fast sync, and their time on a 10 ms link.
  std::printf("\n%-26s %8s %8s %8s %8s %8s %12s\n", "link case (fast sync)", "records", "calls",
              "ReadNext", "Write", "other", "10 ms link s");
  struct LinkRow {
    int n;
    LinkResult every, changedOnly;
  };
  std::vector<LinkRow> links;
  for (int n : {5000, 65535}) {
    LinkRow row{n, RunLinkCase(n, true), RunLinkCase(n, false)};
    for (const auto& [name, r] :
         {std::pair<const char*, const LinkResult*>{"writing every record", &row.every},
          {"skipping unchanged", &row.changedOnly}}) {
      allOk = allOk && r->ok;
      const uint64_t reads = Count(r->calls, "ReadNext"), writes = Count(r->calls, "WriteRecord");
      std::printf("%-26s %8d %8llu %8llu %8llu %8llu %12.1f%s\n", name, n,
                  static_cast<unsigned long long>(r->total), static_cast<unsigned long long>(reads),
                  static_cast<unsigned long long>(writes),
                  static_cast<unsigned long long>(r->total - reads - writes), r->total * 0.010,
                  r->ok ? "" : "  (run did not complete: see log above)");
    }
    links.push_back(row);
  }

  std::printf("\nTargets\n");
  for (const LinkRow& row : links) {
    const LinkResult& r = row.changedOnly;
    const uint64_t writes = Count(r.calls, "WriteRecord");
    const uint64_t limit = static_cast<uint64_t>(r.changed + r.added + row.n / 100);
    const bool pass = writes <= limit;
    allOk = allOk && pass;
    std::printf(
        "  link, fast sync at %d records: %llu writes <= changed %d + new %d + 1%% = %llu: %s\n",
        row.n, static_cast<unsigned long long>(writes), r.changed, r.added,
        static_cast<unsigned long long>(limit), pass ? "yes" : "NO");
  }
  for (size_t k = 0; k < std::size(kinds); ++k) {
    for (size_t i = 0; i < sizes.size(); ++i) {
      const Result& r = table[k][i];
      double limitMb = 4.0 * r.fileBytes / 1048576.0 + 50.0;
      bool pass = r.peakKb / 1024.0 < limitMb;
      allOk = allOk && pass;
      std::printf("  %-17s %7d records: peak %.1f MB < 4 x file + 50 MB = %.1f MB: %s\n",
                  kinds[k].name, sizes[i], r.peakKb / 1024.0, limitMb, pass ? "yes" : "NO");
    }
    auto find = [&](int n) -> const Result* {
      for (size_t i = 0; i < sizes.size(); ++i)
        if (sizes[i] == n) return &table[k][i];
      return nullptr;
    };
    if (const Result* small = find(20000), *large = find(200000); small && large) {
      double ratio = (large->engine / 200000) / (small->engine / 20000);
      bool pass = ratio <= 1.5;
      allOk = allOk && pass;
      std::printf("  %-17s time per record at 200,000 / at 20,000 = %.2f (<= 1.5): %s\n",
                  kinds[k].name, ratio, pass ? "yes" : "NO");
    }
    if (kinds[k].type == 0) {
      if (const Result* mid = find(65535)) {
        bool pass = mid->engine <= 0.5;
        allOk = allOk && pass;
        std::printf("  fast sync at 65,535 records: %.3f s (<= 0.5 s): %s\n", mid->engine,
                    pass ? "yes" : "NO");
      }
    }
  }
  {
    double ratio = (e2e[1].seconds / 200000) / (e2e[0].seconds / 20000);
    bool pass = e2e[0].ok && e2e[1].ok && ratio <= 1.5;
    allOk = allOk && pass;
    std::printf("  syncbolvarin sync: whole run %.3f s at 20,000, %.3f s at 200,000 records\n",
                e2e[0].seconds, e2e[1].seconds);
    std::printf("  syncbolvarin sync time per record at 200,000 / at 20,000 = %.2f (<= 1.5): %s\n",
                ratio, pass ? "yes" : "NO");
  }
  for (size_t k = 0; k < std::size(kExportCases); ++k) {
    const ExportRow &small = exports[0][k], &large = exports[1][k];
    const double ratio = (large.seconds / 200000) / (small.seconds / 20000);
    bool pass = small.ok && large.ok && large.seconds < 1.0 && ratio <= 1.5;
    std::printf(
        "  %-9s at 200,000 records: %.3f s (< 1 s), time per record / at 20,000 = %.2f "
        "(<= 1.5): %s\n",
        kExportCases[k], large.seconds, ratio, pass ? "yes" : "NO");
    if (std::string(kExportCases[k]) == "report") {
      // The same months and categories: the page must not grow with the records.
      const bool same = large.outputBytes <= small.outputBytes * 11 / 10;
      std::printf("  report size %ld bytes at 20,000, %ld at 200,000 records (within 10%%): %s\n",
                  small.outputBytes, large.outputBytes, same ? "yes" : "NO");
      pass = pass && same;
    }
    allOk = allOk && pass;
  }
  std::printf("\n%s\n", allOk ? "all targets met" : "SOME TARGETS MISSED");
  return allOk ? 0 : 1;
}
