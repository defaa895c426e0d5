// Throughput and memory benchmark of the polvane command:
//   polvane_bench POLVANE_EXECUTABLE [WORK_DIR] [SIZE_MB]
// Generates large logs with the test-side builders (SIZE_MB of Tarvik fast records and of Tarvik
// scan records, half as much of every other product), converts and indexes them in child
// processes, and compares each run with a raw-I/O baseline of the same bytes in the same run.
// Every case runs three times and keeps its run of least CPU time. It prints numbers and never
// fails. With BENCH_JSON=FILE it writes its rows also as JSON to FILE (tools/bench_compare
// compares two such files); with BENCH_OUT=DIR its outputs go to DIR instead of WORK_DIR.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
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

#include "support/drovel_log.h"
#include "support/kes_card_log.h"
#include "support/kes_dump_log.h"
#include "support/paging_encoder.h"
#include "support/pelmor_log.h"
#include "support/selvor_log.h"
#include "support/tarvik_ext_log.h"
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
// Whether `folder` holds an output under its temporary name (".pv" and six characters), as a
// conversion writes it until it is complete.
bool WritingIn(const fs::path& folder) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (it->path().filename().string().rfind(".pv", 0) == 0) return true;
  return false;
}

// With `startedIn`, the child is interrupted (SIGINT) interruptAfterMs after its output appears
// in that folder under its temporary name (the conversion proper has begun), and the time is
// counted from the signal.
RunResult Spawn(const std::vector<std::string>& args, int interruptAfterMs = -1,
                const fs::path& startedIn = {}) {
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
    for (int waited = 0; !startedIn.empty() && !WritingIn(startedIn) && waited < 60000; ++waited)
      usleep(1000);
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

// Reads `input` `reads` times and writes `outputBytes` bytes with large buffered writes;
// returns the CPU time it took (wall time suffers from whatever else the machine runs).
double Baseline(const std::string& input, std::uint64_t outputBytes, const std::string& output,
                int reads = 1) {
  std::vector<char> buffer(1 << 20);
  const double start = SelfCpu();
  std::uint64_t sum = 0;
  for (int k = 0; k < reads; ++k) sum += ReadOnce(input, buffer);
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
// The table as JSON (BENCH_JSON=FILE): one object per row, its numbers under fixed names, so
// that two builds' runs can be compared row by row (tools/bench_compare).

struct JsonRow {
  std::string run;
  std::vector<std::pair<std::string, double>> numbers;
};

std::vector<JsonRow> gJsonRows;

void Record(const std::string& run, std::vector<std::pair<std::string, double>> numbers) {
  gJsonRows.push_back({run, std::move(numbers)});
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (static_cast<unsigned char>(ch) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(ch));
      out += escaped;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// Writes the rows to `path`; false when it cannot be written.
bool WriteJson(const std::string& path, std::uint64_t megabytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fprintf(f, "{\n  \"size_mb\": %llu,\n  \"rows\": [",
               static_cast<unsigned long long>(megabytes));
  for (std::size_t i = 0; i < gJsonRows.size(); ++i) {
    const JsonRow& row = gJsonRows[i];
    std::fprintf(f, "%s\n    {\"run\": %s", i ? "," : "", JsonString(row.run).c_str());
    for (const auto& [name, value] : row.numbers)
      // Not a number (a rate of a run that wrote nothing) is left out: JSON has no NaN.
      if (std::isfinite(value)) std::fprintf(f, ", \"%s\": %.6g", name.c_str(), value);
    std::fputs("}", f);
  }
  std::fputs("\n  ]\n}\n", f);
  return std::fclose(f) == 0;
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

// The size WriteLog gives a log of `bytes`: its start and whole blocks up to at least `bytes`.
std::uint64_t LogSize(const GeneratedLog& log, std::uint64_t bytes) {
  const std::uint64_t block = log.block.size();
  return log.start.size() + (block == 0 ? 0 : (bytes + block - 1) / block * block);
}

// A log kept from an earlier run (BENCH_KEEP) of the size this one would write, which is used
// again: the builders write the same bytes every time.
bool KeptLog(const std::string& path, const GeneratedLog& log, std::uint64_t bytes) {
  std::error_code ec;
  const std::uint64_t size = fs::file_size(path, ec);
  return std::getenv("BENCH_KEEP") && !ec && size == LogSize(log, bytes);
}

void WriteLog(const std::string& path, const GeneratedLog& log, std::uint64_t bytes) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(log.start.data(), 1, log.start.size(), f);
  for (std::uint64_t written = 0; written < bytes; written += log.block.size())
    std::fwrite(log.block.data(), 1, log.block.size(), f);
  std::fclose(f);
}

struct DayTime {
  int hour = 0, minute = 0, second = 0;
};

// The time of day `seconds` after midnight.
DayTime At(int seconds) {
  return {seconds / 3600 % 24, seconds / 60 % 60, seconds % 60};
}

// A level as a dBm magnitude (52 to 93) of channel `k` in record `i`: each channel fades slowly
// along the drive, with a few dB of fast fading on top.
std::uint8_t Level(int i, int k) {
  const unsigned fast =
      (static_cast<unsigned>(i) * 2654435761u ^ static_cast<unsigned>(k) * 40503u);
  return static_cast<std::uint8_t>(52 + 30 * std::fabs(std::sin(0.05 * i + 0.9 * k)) +
                                   (fast >> 16) % 12);
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

// Tarvik, firmware 1.27 and later: runs of scan records, each followed by a second of single
// readings of the four receivers, between runs of fast records (receiver 4 in every other one).
GeneratedLog TarvikExtLog() {
  TarvikExtLogBuilder log;
  const std::size_t start = log.Data().size();
  const std::array<TarvikExtPlan, 4> plans = {{
      {0, 870, 300, 300, 1, 799, 0x40},     // cellular, voice channels with SAT and VMAC
      {0, 879, 9900, 300, 1, 799, 0x80},    // cellular, control channels with DCC
      {0, 450, 0, 62, 100, 900, 0x40},      // 6.25 kHz land mobile plan
      {0x40, 869, 100, 300, 1, 1023, 0x80}  // offset numbering
  }};
  auto header = [](int i) {
    TarvikExtHeader h;
    const DayTime t = At(8 * 3600 + 15 * 60 + i);
    h.gps = {t.hour, t.minute, t.second};
    h.rtcHour = t.hour, h.rtcMinute = t.minute, h.rtcSecond = t.second;
    h.latitude = 51.5072 + i * 0.0002;
    h.longitude = -0.1276 - i * 0.0003;
    h.altitudeCm = 3500 + (i % 40) * 5;
    h.velocityCmPerS = static_cast<std::uint16_t>(1100 + (i % 5) * 60);
    h.headingTenths = static_cast<std::int16_t>((2400 + i * 70) % 3600);
    h.marker = static_cast<std::int16_t>(i / 20);
    h.gpsValid = i % 29 != 4;
    return h;
  };
  int i = 0;
  for (int run = 0; run < 4; ++run) {
    for (int k = 0; k < 30; ++k, ++i) {
      log.Scan(header(i), plans);
      log.R(0, 1, 300 + i % 20, Level(i, 0));
      for (int g = 1; g < 6; ++g) log.R(0, 2, 300 + (i + g * 7) % 20, Level(i, g));
      log.S(1, 1, 330 + i % 12, Level(i, 6), i % 3);
      for (int g = 1; g < 4; ++g) log.S(1, 2, 330 + (i + g) % 12, Level(i, 6 + g), (i + g) % 3);
      log.V(2, 100 + (i * 13) % 800, Level(i, 10), i % 3, i % 8);
      log.C(3, 20 + (i * 5) % 30, Level(i, 11), (i * 7) % 4);
    }
    for (int k = 0; k < 20; ++k, ++i) {
      std::array<TarvikExtFastBlock, 4> blocks;
      for (int r = 0; r < 4; ++r) {
        blocks[r].plan = plans[r];
        blocks[r].present = r != 3 || i % 2 == 0;
        blocks[r].channel = static_cast<std::uint16_t>(r == 2 ? 140 + i % 50 : 320 + 4 * r + i % 3);
        blocks[r].value1 = static_cast<std::uint8_t>(i % 3);
        blocks[r].value2 = static_cast<std::uint8_t>(i % 8);
        for (int s = 0; s < 512; ++s) blocks[r].samples[s] = Level(i * 512 + s, r);
      }
      log.Fast(header(i), blocks);
    }
  }
  return Cut(log.Data(), start);
}

// Selvor: runs of scan records (48 and 64 channels) between runs of fast records, two
// receivers, the second one with the offset channel numbering.
GeneratedLog SelvorLog() {
  SelvorLogBuilder log;
  log.Identification("QVX SELVOR CW RECEIVER", "2.04");
  const std::size_t start = log.Data().size();
  const SelvorPlan plans[2] = {{0, 935, 2000, 2000, 1}, {0x40, 890, 0, 300, 34}};
  auto head = [](int i) {
    SelvorHead h;
    const DayTime t = At(9 * 3600 + 41 * 60 + i);
    h.gpsHour = t.hour, h.gpsMinute = t.minute, h.gpsSecond = t.second;
    h.rtcYear = 24, h.rtcMonth = 3, h.rtcDay = 8;
    h.rtcHour = t.hour, h.rtcMinute = t.minute, h.rtcSecond = t.second;
    h.latitude = SelvorDegrees(38.7223 - i * 0.0002, 'N', 'S');
    h.longitude = SelvorDegrees(-9.1393 - i * 0.0003, 'E', 'W');
    h.marker = static_cast<std::uint16_t>(i / 20);
    h.gpsValid = i % 31 != 4;
    return h;
  };
  int i = 0;
  for (int run = 0; run < 4; ++run) {
    for (int k = 0; k < 40; ++k, ++i) {
      std::array<SelvorScanReceiver, 2> rx;
      for (int r = 0; r < 2; ++r) {
        rx[r].plan = plans[r];
        for (int e = 0; e < 48 + 16 * r; ++e)
          rx[r].entries.push_back(
              {static_cast<std::uint16_t>(r == 0 ? 1 + 2 * e : 35 + 3 * e), Level(i, e + r)});
      }
      log.Scan(head(i), rx);
    }
    for (int k = 0; k < 20; ++k, ++i) {
      std::array<SelvorFastBlock, 2> blocks;
      for (int r = 0; r < 2; ++r) {
        blocks[r].plan = plans[r];
        blocks[r].code = static_cast<std::uint16_t>(r == 0 ? 60 + run : 40 + i % 4);
        for (int s = 0; s < 512; ++s) blocks[r].samples[s] = Level(i * 512 + s, r);
      }
      log.Fast(head(i), blocks);
    }
  }
  return Cut(log.Data(), start);
}

// Kes PC card: a 20-channel run with positions and GPS fixes, a cellular run with SAT/VMAC
// codes and two sweeps per record, a fast fade, POCSAG and FLEX captures and an 80-channel
// variable sweep.
GeneratedLog KesCardLog() {
  KesCardLogBuilder log("QVX KES CW RECEIVER V1.05");
  const std::size_t start = log.Data().size();
  auto gps = [&](int i) {
    KesGpsFix fix;
    fix.clock = fix.gps = KesDriveClock(i);
    fix.latitude = 41.8781 + i * 0.0002;
    fix.longitude = -87.6298 + i * 0.00025;
    fix.altitudeCm = static_cast<std::uint32_t>(18000 + (i % 50) * 15);
    fix.velocity = static_cast<std::uint16_t>(1200 + (i % 9) * 35);
    fix.locked = i % 37 != 3;
    log.Gps(fix);
  };
  auto data = [&](int i, int channels, int sweeps, bool cellular) {
    std::vector<std::uint8_t> samples;
    std::vector<KesSatVmac> triples;
    for (int s = 0; s < sweeps; ++s)
      for (int c = 0; c < channels; ++c) {
        samples.push_back(Level(i + s, c));
        triples.push_back({static_cast<std::uint8_t>(c % 3), static_cast<std::uint8_t>(c % 8)});
      }
    log.Data(KesDriveClock(i), samples, cellular ? triples : std::vector<KesSatVmac>{});
  };
  int i = 0;
  log.Clock(KesDriveClock(i));

  KesScan twenty;
  twenty.type = 4;
  for (int c = 0; c < 20; ++c) twenty.codes.push_back(static_cast<std::uint16_t>(101 + 4 * c));
  log.Scan(twenty);
  for (int k = 0; k < 80; ++k, ++i) {
    if (k % 4 == 0)
      log.Position(KesDriveClock(i), static_cast<std::uint16_t>(i * 12),
                   static_cast<std::uint16_t>(i / 5));
    gps(i);
    data(i, 20, 1, false);
  }

  KesScan cellular;
  cellular.type = 1;
  cellular.flags = 0x80;
  cellular.baseMhz = 870;
  cellular.fraction = 300;
  cellular.spacing = 300;
  cellular.codes = {334, 335, 336, 337, 338, 339};
  log.Scan(cellular);
  for (int k = 0; k < 60; ++k, ++i) {
    gps(i);
    data(i, 6, 2, true);
  }

  KesScan fade;
  fade.type = 8;
  fade.codes = {212};
  log.Scan(fade);
  for (int k = 0; k < 20; ++k, ++i) data(i, 1, 25, false);

  KesScan pocsag;
  pocsag.type = 7;
  pocsag.baseMhz = 929;
  pocsag.fraction = 125;
  pocsag.codes = {5};
  log.Scan(pocsag);
  for (const Bytes& capture : DrivePocsagCaptures()) {
    gps(i);
    log.Pocsag(capture).Data(KesDriveClock(i++), {1});
  }

  KesScan flex;
  flex.type = 15;
  flex.baseMhz = 929;
  flex.fraction = 125;
  flex.codes = {9};
  log.Scan(flex);
  for (const Bytes& capture : DriveFlexCaptures()) {
    gps(i);
    log.Flex(capture).Data(KesDriveClock(i++), {1});
  }

  KesScan eighty;
  eighty.type = 5;
  eighty.firmware = 106;
  eighty.coordinateMode = 1;
  for (int c = 0; c < 80; ++c) eighty.codes.push_back(static_cast<std::uint16_t>(1 + c));
  log.Scan(eighty);
  for (int k = 0; k < 60; ++k, ++i) {
    if (k % 4 == 0)
      log.Position(KesDriveClock(i), static_cast<std::uint16_t>(300 + k),
                   static_cast<std::uint16_t>(500 + 2 * k));
    gps(i);
    data(i, 80, 1, false);
  }
  return Cut(log.Data(), start);
}

// Kes PC dump: GPS records between the data records of a 20-channel run, a cellular run with
// SAT/VMAC codes on its own plan, POCSAG and FLEX captures, and a 40-channel run.
GeneratedLog KesDumpLog() {
  KesDumpLogBuilder log;
  const std::size_t start = log.Data().size();
  KesDumpSetup land;
  land.firstCode = 1;
  land.lastCode = 600;
  land.baseMhz = 851;
  land.fraction = 125;
  land.spacing = 250;  // 25 kHz
  KesDumpSetup amps;
  amps.firstCode = 1;
  amps.lastCode = 799;
  amps.baseMhz = 870;
  amps.fraction = 300;
  amps.spacing = 300;  // 30 kHz
  amps.flags = 0x80;
  auto gps = [&](int i) {
    KesDumpGps g;
    g.gps = KesDriveClock(i);
    g.latitude = 33.7490 + i * 0.0002;
    g.longitude = -84.3880 - i * 0.0003;
    g.altitudeCm = static_cast<std::uint32_t>(32000 + (i % 50) * 20);
    g.velocity = static_cast<std::uint32_t>(1100 + (i % 5) * 60);
    g.navigation = i % 41 == 4 ? 0x00 : 0x20;
    log.Gps(g);
  };
  auto record = [](int i, int type, int channels, int firstCode, int step) {
    KesDumpRecord r;
    r.type = type;
    r.clock = KesDriveClock(i);
    r.odometerOrY = static_cast<std::uint16_t>(i * 9);
    r.markerOrX = static_cast<std::uint16_t>(i / 20);
    for (int c = 0; c < channels; ++c)
      r.channels.push_back({static_cast<std::uint16_t>(firstCode + step * c), Level(i, c),
                            static_cast<std::uint8_t>(c % 3), static_cast<std::uint8_t>(c % 8)});
    return r;
  };
  int i = 0;
  log.Setup(land);
  for (int k = 0; k < 100; ++k, ++i) {
    gps(i);
    log.Data(record(i, 4, 20, 101, 4));
  }
  log.Setup(amps);
  for (int k = 0; k < 60; ++k, ++i) {
    gps(i);
    KesDumpRecord r = record(i, 1, 6, 334, 1);
    r.flags = 0x80;
    log.Data(r);
  }
  log.Setup(land);
  for (const Bytes& capture : DrivePocsagCaptures()) {
    gps(i);
    KesDumpRecord r = record(i++, 7, 0, 0, 0);
    r.declaredCount = 1;
    r.paging = capture;
    log.Data(r);
  }
  for (const Bytes& capture : DriveFlexCaptures()) {
    gps(i);
    KesDumpRecord r = record(i++, 15, 0, 0, 0);
    r.declaredCount = 1;
    r.paging = capture;
    r.paging.Zeros(2);
    log.Data(r);
  }
  for (int k = 0; k < 60; ++k, ++i) {
    gps(i);
    log.Data(record(i, 5, 40, 201, 2));
  }
  return Cut(log.Data(), start);
}

// Drovel: one record a second on a 12.5 kHz UHF plan, in one-channel, three-channel and scan
// runs, the marker stepping every 40 records.
GeneratedLog DrovelLog() {
  DrovelLogBuilder log;
  log.Identification("QVX DROVEL CW RECEIVER", "1.30");
  log.Setup({451, 250, 125, 1});
  const std::size_t start = log.Log().size();
  int i = 0;
  auto run = [&](std::uint8_t flags, int readings, int records) {
    for (int k = 0; k < records; ++k, ++i) {
      const DayTime t = At(13 * 3600 + 12 * 60 + i);
      DrovelData d;
      d.hour = t.hour, d.minute = t.minute, d.second = t.second;
      d.marker = static_cast<std::int16_t>(i / 40);
      d.flags = flags;
      for (int e = 0; e < readings; ++e)
        d.readings[e] = {static_cast<std::uint16_t>(40 + 16 * e + (i / 25) % 4), Level(i, e)};
      log.Data(d);
    }
  };
  run(kDrovelOneChannel, 1, 100);
  run(kDrovelThreeChannel, 3, 120);
  run(kDrovelScan, 3, 100);
  run(kDrovelOneChannel, 1, 80);
  return Cut(log.Log(), start);
}

// Pelmor: single-frequency samples between GPS fixes, a channel list timed by GPS, then (GPS
// lost) single-frequency samples and channel-table sweeps timed by the receiver's clock; both
// receivers on the 30 kHz cellular plan.
GeneratedLog PelmorLog() {
  PelmorLogBuilder log(false, "QVXPELMOR 2.10");
  log.DataEnd(0);  // to the end of the file, whatever its size
  PelmorPlan plan;
  plan.first = 28968;  // channel 991 of the wrapped numbering
  plan.last = 29833;
  plan.stepKhz = 30;
  plan.wrapped = true;
  log.Configuration(3, plan, plan);
  const std::size_t start = log.Data().size();
  auto steps = [](int channel) {
    return static_cast<std::uint32_t>(28968 + (channel < 991 ? channel + 34 : channel - 990) - 1);
  };
  auto dbm = [](int i, int k) { return -static_cast<int>(Level(i, k)); };
  int t = 9 * 3600 + 41 * 60;
  double lat = 51.5007, lon = -0.1246;
  auto fix = [&] {
    PelmorFix f;
    f.month = 5, f.day = 14, f.year = 2024;
    const DayTime d = At(t);
    f.hour = d.hour, f.minute = d.minute, f.second = d.second;
    f.latitude = lat;
    f.longitude = lon;
    f.altitudeCm = 2100 + (t % 17) * 10;
    f.velocityCmPerS = static_cast<std::int16_t>(1100 + (t % 9) * 35);
    f.status = t % 23 == 0 ? 6 : 7;
    log.Fix(f);
  };
  auto clock = [&](int marker) {
    const DayTime d = At(t);
    log.Clock({d.hour, d.minute, d.second, 14, 5, 24, marker});
  };

  // Single frequency on GPS time: ten samples records between fixes, a fix every 5 s.
  fix();
  log.SingleSetup(steps(333), steps(691));
  for (int f = 0; f < 24; ++f) {
    for (int s = 0; s < 10; ++s) {
      std::vector<int> rssi;
      for (int k = 0; k < 4; ++k) rssi.push_back(dbm(f * 10 + s, k));
      log.Samples(1 + s % 2, rssi);
    }
    t += 5, lat += 0.00021, lon += 0.00034;
    fix();
  }
  log.TpPositionTime({9, 43, 3, 14, 5, 2024, 'N', 51, 502404, 'W', 0, 116400});
  log.TpMotion(38, 72);

  // Channel list on GPS time: a list record every half second.
  std::array<std::uint32_t, 10> list1{}, list2{};
  for (int j = 0; j < 10; ++j) {
    list1[j] = steps(300 + 3 * j);
    list2[j] = j < 7 ? steps(680 + 3 * j) : 0;  // receiver 2 lists seven channels
  }
  log.ListSetup(list1, list2);
  for (int i = 0; i < 60; ++i) {
    std::vector<PelmorListEntry> entries;
    for (int e = 0; e < 5; ++e) {
      const int j = (i * 5 + e) % 10;
      entries.push_back({(i + e) % 2, j, dbm(i, j)});
    }
    log.ListData(entries);
    if (i % 2 == 1) {
      t += 1, lat += 0.00005, lon += 0.00008;
      fix();
    }
  }

  // GPS lost: single frequency on the receiver's clock, one sample per receiver a second.
  clock(3);
  log.SingleSetup(steps(1015), steps(12));
  for (int i = 0; i < 40; ++i) {
    ++t;
    clock(3 + i / 20);
    log.Samples(1, {dbm(i, 1), dbm(i, 2)});
    log.Samples(2, {dbm(i, 3), dbm(i, 4)});
  }

  // Channel table on the clock: each receiver sweeps channels 1 to 40, four entries a record,
  // the two receivers taking turns; the log starts in the last three channels of a sweep.
  std::vector<int> stream = {38, 39, 40};
  for (int pass = 0; pass < 4; ++pass)
    for (int ch = 1; ch <= 40; ++ch) stream.push_back(ch);
  for (std::size_t at = 0; at + 4 <= stream.size(); at += 4) {
    for (int rx = 0; rx < 2; ++rx) {
      std::vector<PelmorTableEntry> entries;
      for (std::size_t k = at; k < at + 4; ++k)
        entries.push_back({rx, stream[k], dbm(static_cast<int>(k), 3 * rx + stream[k] % 5)});
      log.TableData(entries);
    }
    if (at % 20 == 0) {
      ++t;
      clock(9);
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
  int baselineReads = 1;            // how often the baseline reads the input
  std::string outName = "run.out";  // a map format's output needs its extension
};

// A product other than Tarvik before firmware 1.27, and what its rows convert.
struct Product {
  const char* name;
  const char* file;  // the log's name in the work folder
  GeneratedLog (*generate)();
  const char* ascii;                // what the custom ASCII row writes
  std::vector<std::string> fields;  // its fields and receivers
  const char* layout;               // a fixed layout the product writes, by name
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
  const double outMbs = out.empty() ? NAN : Mb(SizeOf(out)) / r.cpuSeconds;
  // A binary output (a GeoPackage) has no lines to count.
  const bool text = !out.empty() && fs::path(out).extension() == ".out";
  const double linesPerS = text ? Lines(out) / r.cpuSeconds : NAN;
  if (!out.empty()) {
    std::snprintf(outRate, sizeof outRate, "%.1f", outMbs);
    if (text) std::snprintf(lineRate, sizeof lineRate, "%.0f", linesPerS);
  }
  std::printf("| %-*s | %8.1f | %8s | %11s | %7.2f | %7.2f | %6.2f | %6.1f |\n", kNameWidth,
              name.c_str(), in, outRate, lineRate, r.seconds, r.cpuSeconds, r.cpuSeconds / baseline,
              r.peakKb / 1024.0);
  Record(c.name, {{"in_mb_s", in},
                  {"out_mb_s", outMbs},
                  {"lines_s", linesPerS},
                  {"wall_s", r.seconds},
                  {"cpu_s", r.cpuSeconds},
                  {"x_base", r.cpuSeconds / baseline},
                  {"rss_mb", r.peakKb / 1024.0},
                  {"exit", static_cast<double>(r.status)}});
}

// Runs a case kRuns times and prints the row of its run of least CPU time against the least
// CPU time of kRuns baselines. The outputs, the baseline's too, are written in `outDir`.
void Measure(const Case& c, const std::string& polvane, const fs::path& outDir) {
  const fs::path in(c.input);
  std::string out = (outDir / c.outName).string();
  std::vector<std::string> args = {polvane, "convert", c.input, out, "-q", "--no-header"};
  if (c.mode == Mode::kFolder) {
    out = (outDir / "out" / in.stem()).string() + ".out";
    args = {polvane,        "convert",
            "--folder",     in.parent_path().string(),
            "--out-folder", (outDir / "out").string(),
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
  const std::string baseOut = (outDir / "baseline.out").string();
  const std::uint64_t outBytes = out.empty() ? 0 : SizeOf(out);
  double base = 0;
  for (int k = 0; k < kRuns; ++k) {
    const double b = c.mode == Mode::kIndex ? PlainRead(c.input)
                                            : Baseline(c.input, outBytes, baseOut, c.baselineReads);
    if (k == 0 || b < base) base = b;
  }
  fs::remove(baseOut);
  Row(c, out, best, base);
}

}  // namespace

int main(int argc, char** argv) try {
  constexpr const char* kUsage = "usage: polvane_bench POLVANE [WORK_DIR] [SIZE_MB]\n";
  auto usage = [&](const std::string& reason) {
    std::fprintf(stderr, "polvane_bench: %s\n%s", reason.c_str(), kUsage);
    return 2;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    // An option is never taken for the program to time or the folder to fill.
    if (!arg.empty() && arg[0] == '-') return usage("unknown option " + arg);
  }
  if (argc < 2) return usage("the polvane program to time is missing");
  if (argc > 4) return usage("too many arguments");
  std::error_code ec;
  if (!fs::is_regular_file(argv[1], ec) || access(argv[1], X_OK) != 0)
    return usage(std::string("not a program: ") + argv[1]);
  std::uint64_t megabytes = 512;
  if (argc > 3) {
    const std::string text = argv[3];
    const auto [end, err] = std::from_chars(text.data(), text.data() + text.size(), megabytes);
    if (err != std::errc() || end != text.data() + text.size() || megabytes == 0 ||
        megabytes > 1000000)
      return usage("SIZE_MB: a whole number of megabytes, not " + text);
  }
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  const std::string polvane = fs::absolute(argv[1]).string();
  const fs::path work = argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path() / "polvane-bench";
  const std::uint64_t size = megabytes * 1000000ULL;
  // BENCH_OUT=DIR: every output (of the conversions, the folder runs, the cancelled run and the
  // baselines) is written in DIR instead of the work folder, e.g. on a memory file system, so
  // that rows taken at different times do not differ by what the disk was doing. The logs stay
  // in the work folder.
  const char* outText = std::getenv("BENCH_OUT");
  const fs::path outRoot = outText && *outText ? fs::path(outText) : work;
  // What DIR held before, which is left there at the end.
  std::vector<fs::path> before;
  for (fs::directory_iterator it(outRoot, ec), end; !ec && it != end; it.increment(ec))
    before.push_back(it->path());
  ec.clear();
  fs::create_directories(outRoot / "out");
  fs::create_directories(work / "fast");
  fs::create_directories(work / "scan");
  const std::string fast = (work / "fast" / "fast.tvf").string(),
                    scan = (work / "scan" / "scan.tvf").string();
  // BENCH_ONLY=TEXT runs only the rows whose name holds TEXT (and makes only their logs).
  const char* onlyText = std::getenv("BENCH_ONLY");
  const std::string only = onlyText ? onlyText : "";
  const auto wanted = [&](const std::string& row) {
    return only.empty() || row.find(only) != std::string::npos;
  };
  const auto haveLogs = [&] {
    if (fs::exists(scan)) return;
    std::printf("generating %.0f MB of Tarvik fast records and %.0f MB of scan records in %s\n",
                Mb(size), Mb(size), work.c_str());
    WriteLog(fast, TarvikLog(true), size);
    WriteLog(scan, TarvikLog(false), size);
  };
  if (only.empty()) haveLogs();

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
      // The same lines as point features of a GeoPackage.
      {"scan, best server, GeoPackage", scan, Mode::kConvert,
       with({"-r", "1,2,3,4", "--best-server", "-f", "gpkg"}), 1, "run.gpkg"},
      {"fast, Grayson IQ Analyzer", fast, Mode::kConvert, {"-f", "3", "-r", "1"}},
      {"fast, against two reads of the input", fast, Mode::kConvert, with({"-r", "1,2,3,4"}), 2},
      {"fast, conversion pass alone", fast, Mode::kFolder, with({"-r", "1,2,3,4"})},
      {"scan, conversion pass alone", scan, Mode::kFolder,
       with({"-r", "1,2,3,4", "--scan-type", "table"})},
      {"index, fast records (vs plain read)", fast, Mode::kIndex, {}},
  };

  // Drovel logs carry no position: its custom ASCII row takes the receiver's clock instead.
  const std::vector<std::string> drovelFields = {"--fields", "37,29,0", "-r", "1"};
  const Product products[] = {
      {"Tarvik extended", "tarvik-ext.tvf", TarvikExtLog, "data group + position",
       with({"-r", "1,2,3,4"}), "MSI Planet"},
      {"Selvor", "selvor.svf", SelvorLog, "data group + position", with({"-r", "1,2"}),
       "Grayson IQ Analyzer"},
      {"Kes card", "kes-card.bin", KesCardLog, "data group + position", with({"-r", "1"}),
       "Wireless Valley InFielder"},
      {"Kes dump", "kes-dump.kes", KesDumpLog, "data group + position", with({"-r", "1"}),
       "MSI Planet"},
      {"Drovel", "drovel.dvf", DrovelLog, "data group + clock + marker", drovelFields,
       "Grayson IQ Analyzer"},
      {"Pelmor", "pelmor.pvf", PelmorLog, "data group + position", with({"-r", "1,2"}),
       "MSI Planet"},
  };
  for (const Product& p : products) {
    const std::string input = (work / p.file).string(), name = p.name;
    if (!wanted(name + ", " + p.ascii) && !wanted(name + ", best server") &&
        !wanted(name + ", " + p.layout) && !wanted(name + ", index (vs plain read)"))
      continue;
    const GeneratedLog log = p.generate();
    if (KeptLog(input, log, size / 2)) {
      std::printf("using the kept %s log %s\n", p.name, input.c_str());
    } else {
      std::printf("generating %.0f MB of %s records in %s\n", Mb(size / 2), p.name, input.c_str());
      WriteLog(input, log, size / 2);
    }
    std::vector<std::string> best = p.fields;
    best.push_back("--best-server");
    cases.push_back({name + ", " + p.ascii, input, Mode::kConvert, p.fields});
    cases.push_back({name + ", best server", input, Mode::kConvert, best});
    cases.push_back({name + ", " + p.layout, input, Mode::kConvert, {"-f", p.layout, "-r", "1"}});
    cases.push_back({name + ", index (vs plain read)", input, Mode::kIndex, {}});
  }

  std::printf(
      "\nrates are per CPU second; \"x base\" is CPU time over the raw-I/O baseline's;\n"
      "each case is the least CPU time of %d runs, each baseline the least of %d\n",
      kRuns, kRuns);
  std::printf("\n| %-*s | %8s | %8s | %11s | %7s | %7s | %6s | %6s |\n", kNameWidth, "run",
              "in MB/s", "out MB/s", "lines/s", "wall s", "CPU s", "x base", "RSS MB");
  Separator();
  for (const Case& c : cases) {
    if (!wanted(c.name)) continue;
    if (c.input == fast || c.input == scan) haveLogs();
    Measure(c, polvane, outRoot);
  }

  if (wanted("index of a section per record")) {
    // The index of a log that starts a section with every record: a Kes PC-card log of empty
    // scan headers. Its peak memory over that of a log of one section, per section.
    KesCardLogBuilder head("QVX KES CW RECEIVER V1.05");
    head.Clock(KesDriveClock(0));
    const std::size_t headSize = head.Data().size();
    KesScan empty;
    empty.type = 3;
    head.Scan(empty);
    const GeneratedLog log = Cut(head.Data(), headSize);
    const std::string many = (work / "sections.bin").string(),
                      one = (work / "section.bin").string();
    if (!KeptLog(many, log, size / 2)) WriteLog(many, log, size / 2);
    WriteLog(one, log, 1);
    const std::uint64_t sections = (SizeOf(many) - headSize) / log.block.size();
    RunResult best, base;
    for (int k = 0; k < kRuns; ++k) {
      const RunResult r = Spawn({polvane, "index", many, "-q"});
      const RunResult b = Spawn({polvane, "index", one, "-q"});
      if (k == 0 || r.peakKb < best.peakKb) best = r;
      if (k == 0 || b.peakKb < base.peakKb) base = b;
    }
    std::printf(
        "\nindex of a section per record: %llu sections (%.0f MB of Kes card scan headers) in "
        "%.2f s (%.2f s CPU), peak %.1f MB, %.1f bytes per section (exit %d)\n",
        static_cast<unsigned long long>(sections), Mb(SizeOf(many)), best.seconds, best.cpuSeconds,
        best.peakKb / 1024.0,
        sections ? (best.peakKb - base.peakKb) * 1024.0 / static_cast<double>(sections) : 0.0,
        best.status);
    Record("index of a section per record",
           {{"sections", static_cast<double>(sections)},
            {"wall_s", best.seconds},
            {"cpu_s", best.cpuSeconds},
            {"rss_mb", best.peakKb / 1024.0},
            {"bytes_per_section",
             sections ? (best.peakKb - base.peakKb) * 1024.0 / static_cast<double>(sections) : NAN},
            {"exit", static_cast<double>(best.status)}});
    if (!std::getenv("BENCH_KEEP")) {
      fs::remove(many);
      fs::remove(one);
    }
  }
  if (wanted("section tree")) {
    // The window's section tree of a log of 77,000 sections (Kes card scan headers), timed by
    // the window's own helper beside the polvane program, from choosing the file to the tree
    // painted.
    const std::string helper = (fs::path(polvane).parent_path() / "polvane_tree_time").string();
    if (access(helper.c_str(), X_OK) != 0) {
      std::printf("\nsection tree: %s not built (no Qt)\n", helper.c_str());
    } else {
      KesCardLogBuilder head("QVX KES CW RECEIVER V1.05");
      head.Clock(KesDriveClock(0));
      const std::size_t headSize = head.Data().size();
      KesScan empty;
      empty.type = 3;
      head.Scan(empty);
      const GeneratedLog log = Cut(head.Data(), headSize);
      const std::string tree = (work / "tree.bin").string();
      WriteLog(tree, log, 77000 * log.block.size());
      std::string best;
      long bestMs = -1;
      for (int k = 0; k < kRuns; ++k) {
        std::FILE* p = popen(("'" + helper + "' '" + tree + "' 2>&1").c_str(), "r");
        if (!p) break;
        // Its line among whatever Qt says on standard error.
        char line[256] = {};
        long ms = -1;
        bool got = false;
        while (ms < 0 && std::fgets(line, sizeof line, p)) {
          got = true;
          std::sscanf(line, "%*u sections shown in %ld ms", &ms);
        }
        pclose(p);
        if (ms >= 0 && (bestMs < 0 || ms < bestMs)) {
          bestMs = ms;
          best = line;
        }
        if (bestMs < 0) best = got ? line : "no answer\n";
      }
      std::printf("\nsection tree of a 77,000-section log, in the window (best of %d): %s", kRuns,
                  best.c_str());
      fs::remove(tree);
    }
  }
  if (wanted("cancellation")) {
    haveLogs();
    // Interrupted 200 ms into the conversion proper (after the index pass): the data group of
    // every scan table of the scan log, several seconds of work, in a folder of its own where
    // its temporary output shows when the conversion has begun.
    const fs::path cancelDir = outRoot / "cancel";
    fs::create_directories(cancelDir);
    const std::string cancelOut = (cancelDir / "cancel.out").string();
    const RunResult r = Spawn({polvane, "convert", scan, cancelOut, "-q", "--fields", "0", "-r",
                               "1,2,3,4", "--scan-type", "table"},
                              200, cancelDir);
    if (r.status == 0)
      std::printf("\ncancellation: the conversion had ended before SIGINT (a larger SIZE_MB)\n");
    else
      std::printf("\ncancellation: the run ended %.1f ms after SIGINT (exit %d)\n",
                  r.seconds * 1000, r.status);
    Record("cancellation",
           {{"wall_s", r.status == 0 ? NAN : r.seconds}, {"exit", static_cast<double>(r.status)}});
  }
  if (wanted("multiple files")) {
    const fs::path in = work / "many", out = outRoot / "many-out";
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
    Record("multiple files", {{"files_s", 1000 / r.seconds},
                              {"wall_s", r.seconds},
                              {"cpu_s", r.cpuSeconds},
                              {"exit", static_cast<double>(r.status)}});
  }
  if (wanted("parallel folder")) {
    // A campaign folder converted one log at a time and two at a time (each log a run of its
    // own, with its index pass, as a single-file conversion has it): files per second of wall
    // time is what parallel runs buy. Scan tables, whose conversion costs more than their I/O,
    // half as large in all as the scan log.
    const fs::path in = work / "campaign", out = outRoot / "campaign-out";
    fs::create_directories(in);
    fs::create_directories(out);
    const int logs = 16;
    for (int i = 0; i < logs; ++i)
      WriteLog((in / ("drive" + std::to_string(i) + ".tvf")).string(), TarvikLog(false),
               size / 2 / logs);
    RunResult jobs[2];
    for (int j = 0; j < 2; ++j)
      for (int k = 0; k < kRuns; ++k) {
        const RunResult r =
            Spawn({polvane, "convert", "--folder", in.string(), "--out-folder", out.string(),
                   "--ext", "*.tvf", "-q", "--jobs", std::to_string(j + 1), "--fields", "18,5,11,0",
                   "-r", "1,2,3,4", "--scan-type", "table"});
        if (k == 0 || r.seconds < jobs[j].seconds) jobs[j] = r;
      }
    std::printf("parallel folder: %d Tarvik scan-table logs of %.0f MB\n", logs,
                Mb(size / 2 / logs));
    for (int j = 0; j < 2; ++j) {
      std::printf("  --jobs %d: %6.2f files per second (%.2f s wall, %.2f s CPU, exit %d)\n", j + 1,
                  logs / jobs[j].seconds, jobs[j].seconds, jobs[j].cpuSeconds, jobs[j].status);
      Record("parallel folder, --jobs " + std::to_string(j + 1),
             {{"files_s", logs / jobs[j].seconds},
              {"wall_s", jobs[j].seconds},
              {"cpu_s", jobs[j].cpuSeconds},
              {"exit", static_cast<double>(jobs[j].status)}});
    }
    std::printf("  --jobs 2 against --jobs 1: %.2f times the files per second\n",
                jobs[0].seconds / jobs[1].seconds);
  }
  if (const char* json = std::getenv("BENCH_JSON"); json && *json) {
    if (WriteJson(json, megabytes))
      std::printf("\nthe table as JSON: %s\n", json);
    else
      std::printf("\nthe table as JSON could not be written to %s\n", json);
  }
  if (!std::getenv("BENCH_KEEP")) {
    fs::remove_all(work);
    // Of an output folder of its own only what the benchmark made there.
    std::vector<fs::path> made;
    for (fs::directory_iterator it(outRoot, ec), end; !ec && it != end; it.increment(ec))
      if (std::find(before.begin(), before.end(), it->path()) == before.end())
        made.push_back(it->path());
    for (const fs::path& p : made) fs::remove_all(p, ec);
  }
  return 0;
} catch (const std::exception& e) {
  std::printf("benchmark stopped: %s\n", e.what());
  return 0;
}
