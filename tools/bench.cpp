// Throughput and memory benchmark of the polvane command:
//   polvane_bench POLVANE_EXECUTABLE [WORK_DIR] [SIZE_MB]
// Generates large logs with the test-side builders (SIZE_MB of Tarvik fast records and of Tarvik
// scan records), converts and indexes them in child processes, and compares each run with a
// raw-I/O baseline of the same bytes in the same run.
// Every case runs three times and keeps its run of least CPU time. It prints numbers and never
// fails.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tarvik_log.h"

namespace {

namespace fs = std::filesystem;
using namespace polvane::testing;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 3;  // runs of each case; the one of least CPU time counts

struct RunResult {
  double seconds = 0;     // wall time
  double cpuSeconds = 0;  // user + system time
  long peakKb = 0;
  int status = -1;
};

// Runs the command as a child process and measures its wall time and peak resident memory.
RunResult Spawn(const std::vector<std::string>& args, int interruptAfterMs = -1) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const auto start = Clock::now();
  pid_t pid = fork();
  if (pid == 0) {
    int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  RunResult r;
  if (pid < 0) return r;
  auto interruptedAt = start;
  if (interruptAfterMs >= 0) {
    usleep(static_cast<useconds_t>(interruptAfterMs) * 1000);
    interruptedAt = Clock::now();
    kill(pid, SIGINT);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = Clock::now();
  r.seconds =
      std::chrono::duration<double>(end - (interruptAfterMs >= 0 ? interruptedAt : start)).count();
  r.peakKb = usage.ru_maxrss;
  r.cpuSeconds = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
                 usage.ru_stime.tv_usec / 1e6;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

double SelfCpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_utime.tv_sec + u.ru_utime.tv_usec / 1e6 + u.ru_stime.tv_sec +
         u.ru_stime.tv_usec / 1e6;
}

std::uint64_t SizeOf(const std::string& path) {
  std::error_code ec;
  const std::uintmax_t n = fs::file_size(path, ec);
  return ec ? 0 : n;
}

// Reads `input` once; returns a value that depends on every block, so that no read is skipped.
std::uint64_t ReadOnce(const std::string& input, std::vector<char>& buffer) {
  std::FILE* in = std::fopen(input.c_str(), "rb");
  if (!in) return 0;
  std::uint64_t sum = 0;
  while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in)) sum += buffer[n - 1];
  std::fclose(in);
  return sum;
}

// Reads `input` once and writes `outputBytes` bytes with large buffered writes; returns the
// CPU time it took (wall time suffers from whatever else the machine runs).
double Baseline(const std::string& input, std::uint64_t outputBytes, const std::string& output) {
  std::vector<char> buffer(1 << 20);
  const double start = SelfCpu();
  const std::uint64_t sum = ReadOnce(input, buffer);
  std::FILE* out = std::fopen(output.c_str(), "wb");
  if (!out) return SelfCpu() - start;
  std::memset(buffer.data(), 'x' + static_cast<int>(sum & 1), buffer.size());
  for (std::uint64_t left = outputBytes; left > 0;) {
    const std::size_t n = left < buffer.size() ? left : buffer.size();
    std::fwrite(buffer.data(), 1, n, out);
    left -= n;
  }
  std::fflush(out);
  fsync(fileno(out)) == 0 ? void() : void();
  std::fclose(out);
  return SelfCpu() - start;
}

// Reads `input` once; returns the CPU time it took.
double PlainRead(const std::string& input) {
  std::vector<char> buffer(1 << 20);
  const double start = SelfCpu();
  const std::uint64_t sum = ReadOnce(input, buffer);
  return SelfCpu() - start + (sum == 1 ? 1e-12 : 0);
}

// ---------------------------------------------------------------------------------------------
// Generated logs

// A log as written: `start` once (identification and set-up), then `block`, a few hundred varied
// records, over and over until the file is big enough.
struct GeneratedLog {
  std::vector<std::uint8_t> start, block;
};

// `whole` with its first `startSize` bytes written once and the rest repeated.
GeneratedLog Cut(const std::vector<std::uint8_t>& whole, std::size_t startSize) {
  const auto at = whole.begin() + static_cast<std::ptrdiff_t>(startSize);
  return {{whole.begin(), at}, {at, whole.end()}};
}

void WriteLog(const std::string& path, const GeneratedLog& log, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(log.start.data(), 1, log.start.size(), f);
  for (std::uint64_t written = 0; written < bytes; written += log.block.size())
    std::fwrite(log.block.data(), 1, log.block.size(), f);
  std::fclose(f);
}

// Tarvik, firmware before 1.27: only fast or only scan records of four receivers.
GeneratedLog TarvikLog(bool fast) {
  TarvikLogBuilder log;
  log.Identification("QVX TARVIK", "1.25");
  const std::size_t start = log.Data().size();
  for (int i = 0; i < 200; ++i) {
    TarvikHeader h;
    h.gps = {i / 3600 % 24, i / 60 % 60, i % 60};
    h.latitude = 40.5 + i * 1e-4;
    h.longitude = -74.2 + i * 1e-4;
    h.velocityCmPerS = static_cast<std::uint16_t>(1000 + i);
    if (fast) {
      std::array<TarvikFastBlock, 4> b;
      for (int r = 0; r < 4; ++r) {
        b[r].channel = static_cast<std::uint16_t>(100 + r + i % 7);
        for (int s = 0; s < 512; ++s)
          b[r].samples[s] = static_cast<std::uint8_t>(60 + (s + i) % 40);
      }
      log.Fast(h, b);
    } else {
      std::array<TarvikScanReceiver, 4> rx;
      for (int r = 0; r < 4; ++r)
        for (int e = 0; e < 80; ++e)
          rx[r].entries.push_back({static_cast<std::uint16_t>(1 + e + r * 100),
                                   static_cast<std::uint8_t>(50 + (e * 7 + i) % 60)});
      log.Scan(h, rx);
    }
  }
  return Cut(log.Data(), start);
}

// ---------------------------------------------------------------------------------------------
// Cases and rows

double Mb(std::uint64_t bytes) {
  return bytes / 1e6;
}

// Lines ended by LF, CR LF or (as the Grayson layout ends them) a lone CR.
std::uint64_t Lines(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return 0;
  std::vector<char> buffer(1 << 20);
  std::uint64_t n = 0;
  char previous = 0;
  while (std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f))
    for (std::size_t i = 0; i < got; ++i) {
      n += buffer[i] == '\n' ? previous != '\r' : buffer[i] == '\r';
      previous = buffer[i];
    }
  std::fclose(f);
  return n;
}

enum class Mode {
  kConvert,  // a single file: the index pass, then the conversion
  kFolder,   // the conversion pass alone: folder mode builds no index
  kIndex,    // `polvane index`, against a plain read
};

struct Case {
  std::string name;
  std::string input;
  Mode mode = Mode::kConvert;
  std::vector<std::string> options;
};

const int kNameWidth = 40;

void Separator() {
  std::printf("|%s|%s|%s|%s|%s|%s|%s|%s|\n", std::string(kNameWidth + 2, '-').c_str(),
              std::string(10, '-').c_str(), std::string(10, '-').c_str(),
              std::string(13, '-').c_str(), std::string(9, '-').c_str(),
              std::string(9, '-').c_str(), std::string(8, '-').c_str(),
              std::string(8, '-').c_str());
}

// One row; `out` is empty for a run that writes no output.
void Row(const Case& c, const std::string& out, const RunResult& r, double baseline) {
  std::string name = c.name;
  if (r.status != 0) name += " (exit " + std::to_string(r.status) + ")";
  const double in = Mb(SizeOf(c.input)) / r.cpuSeconds;
  char outRate[32] = "-", lineRate[32] = "-";
  if (!out.empty()) {
    std::snprintf(outRate, sizeof outRate, "%.1f", Mb(SizeOf(out)) / r.cpuSeconds);
    std::snprintf(lineRate, sizeof lineRate, "%.0f", Lines(out) / r.cpuSeconds);
  }
  std::printf("| %-*s | %8.1f | %8s | %11s | %7.2f | %7.2f | %6.2f | %6.1f |\n", kNameWidth,
              name.c_str(), in, outRate, lineRate, r.seconds, r.cpuSeconds, r.cpuSeconds / baseline,
              r.peakKb / 1024.0);
}

// Runs a case kRuns times and prints the row of its run of least CPU time against the least
// CPU time of kRuns baselines.
void Measure(const Case& c, const std::string& polvane, const fs::path& work) {
  const fs::path in(c.input);
  std::string out = (work / "run.out").string();
  std::vector<std::string> args = {polvane, "convert", c.input, out, "-q", "--no-header"};
  if (c.mode == Mode::kFolder) {
    out = (work / "out" / in.stem()).string() + ".out";
    args = {polvane,        "convert",
            "--folder",     in.parent_path().string(),
            "--out-folder", (work / "out").string(),
            "--ext",        "*" + in.extension().string(),
            "-q",           "--no-header"};
  } else if (c.mode == Mode::kIndex) {
    out.clear();
    args = {polvane, "index", c.input, "-q"};
  }
  args.insert(args.end(), c.options.begin(), c.options.end());
  RunResult best;
  for (int k = 0; k < kRuns; ++k) {
    const RunResult r = Spawn(args);
    if (k == 0 || r.cpuSeconds < best.cpuSeconds) best = r;
  }
  const std::string baseOut = (work / "baseline.out").string();
  const std::uint64_t outBytes = out.empty() ? 0 : SizeOf(out);
  double base = 0;
  for (int k = 0; k < kRuns; ++k) {
    const double b =
        c.mode == Mode::kIndex ? PlainRead(c.input) : Baseline(c.input, outBytes, baseOut);
    if (k == 0 || b < base) base = b;
  }
  fs::remove(baseOut);
  Row(c, out, best, base);
}

}  // namespace

int main(int argc, char** argv) try {
  if (argc < 2) {
    std::fprintf(stderr, "usage: polvane_bench POLVANE [WORK_DIR] [SIZE_MB]\n");
    return 0;
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string polvane = fs::absolute(argv[1]).string();
  const fs::path work = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "polvane-bench";
  const std::uint64_t size = (argc > 3 ? std::stoull(argv[3]) : 512) * 1000000ULL;
  fs::create_directories(work / "out");
  fs::create_directories(work / "fast");
  fs::create_directories(work / "scan");
  const std::string fast = (work / "fast" / "fast.tvf").string(),
                    scan = (work / "scan" / "scan.tvf").string();
  std::printf("generating %.0f MB of Tarvik fast records and %.0f MB of scan records in %s\n",
              Mb(size), Mb(size), work.c_str());
  WriteLog(fast, TarvikLog(true), size);
  WriteLog(scan, TarvikLog(false), size);

  const std::vector<std::string> position = {"--fields", "18,5,11,0"};
  auto with = [&](std::initializer_list<std::string> more) {
    std::vector<std::string> v = position;
    v.insert(v.end(), more);
    return v;
  };
  std::vector<Case> cases = {
      {"fast, data group + position", fast, Mode::kConvert, with({"-r", "1,2,3,4"})},
      {"scan, data group + position", scan, Mode::kConvert,
       with({"-r", "1,2,3,4", "--scan-type", "table"})},
      {"scan, best server", scan, Mode::kConvert, with({"-r", "1,2,3,4", "--best-server"})},
      {"fast, Grayson IQ Analyzer", fast, Mode::kConvert, {"-f", "3", "-r", "1"}},
      {"fast, conversion pass alone", fast, Mode::kFolder, with({"-r", "1,2,3,4"})},
      {"scan, conversion pass alone", scan, Mode::kFolder,
       with({"-r", "1,2,3,4", "--scan-type", "table"})},
      {"index, fast records (vs plain read)", fast, Mode::kIndex, {}},
  };

  std::printf(
      "\nrates are per CPU second; \"x base\" is CPU time over the raw-I/O baseline's;\n"
      "each case is the least CPU time of %d runs, each baseline the least of %d\n",
      kRuns, kRuns);
  std::printf("\n| %-*s | %8s | %8s | %11s | %7s | %7s | %6s | %6s |\n", kNameWidth, "run",
              "in MB/s", "out MB/s", "lines/s", "wall s", "CPU s", "x base", "RSS MB");
  Separator();
  for (const Case& c : cases) Measure(c, polvane, work);

  {
    const RunResult r = Spawn({polvane, "convert", scan, (work / "cancel.out").string(), "-q",
                               "--fields", "0", "-r", "1,2,3,4"},
                              300);
    std::printf("\ncancellation: the run ended %.1f ms after SIGINT (exit %d)\n", r.seconds * 1000,
                r.status);
  }
  {
    const fs::path in = work / "many", out = work / "many-out";
    fs::create_directories(in);
    fs::create_directories(out);
    TarvikLogBuilder small;
    small.Identification("QVX TARVIK", "1.25");
    for (int i = 0; i < 5; ++i) small.Fast({}, {});
    for (int i = 0; i < 1000; ++i)
      small.WriteTo((in / ("log" + std::to_string(i) + ".tvf")).string());
    const RunResult r = Spawn({polvane, "convert", "--folder", in.string(), "--out-folder",
                               out.string(), "--ext", "*.tvf", "-q"});
    std::printf("multiple files: 1000 small files in %.2f s, %.0f files per second\n", r.seconds,
                1000 / r.seconds);
  }
  if (!std::getenv("BENCH_KEEP")) fs::remove_all(work);
  return 0;
} catch (const std::exception& e) {
  std::printf("benchmark stopped: %s\n", e.what());
  return 0;
}
