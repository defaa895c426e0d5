// Input and output files under failure: read errors, full disks, links, devices, read-only and
// concurrent targets. The failures the system cannot be made to produce come from the seams.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <thread>

#include "convert/input_file.h"
#include "convert/output_file.h"
#include "support/bytes.h"

namespace polvane {
namespace {

namespace fs = std::filesystem;
using namespace testing;

// Names in the folder other than the given ones: temporaries left behind.
std::vector<std::string> Others(const fs::path& folder, std::vector<std::string> known) {
  std::vector<std::string> extra;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    if (std::find(known.begin(), known.end(), name) == known.end()) extra.push_back(name);
  }
  return extra;
}

std::vector<std::uint8_t> Bytes(std::size_t n) {
  std::vector<std::uint8_t> b(n);
  for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7);
  return b;
}

struct ReadFault {
  ReadFault(std::uint64_t offset, int error) { InputFile::SetReadFaultForTesting(offset, error); }
  ~ReadFault() { InputFile::SetReadFaultForTesting(0, 0); }
};

struct WriteFault {
  explicit WriteFault(int error) { OutputFile::SetWriteFaultForTesting(error); }
  ~WriteFault() { OutputFile::SetWriteFaultForTesting(0); }
};

TEST(InputFileFaults, AFailedReadIsAnErrorNotTheEndOfTheFile) {
  ScratchDir dir;
  const std::string path = dir.File("log.bin");
  WriteFile(path, Bytes(600 * 1024));
  InputFile f;
  ASSERT_TRUE(f.Open(path));
  std::vector<std::uint8_t> got(600 * 1024);
  EXPECT_EQ(f.Read(got.data(), got.size()), got.size());
  EXPECT_TRUE(f.AtEnd());
  EXPECT_FALSE(f.Failed());  // the end of the file is no failure

  ReadFault fault(300 * 1024, EIO);
  ASSERT_TRUE(f.Open(path));
  EXPECT_EQ(f.Read(got.data(), got.size()), 300u * 1024);
  EXPECT_TRUE(f.Failed());
  EXPECT_EQ(f.Error(), EIO);
  // It stays failed: later reads give nothing more.
  EXPECT_EQ(f.Read(got.data(), 16), 0u);
  EXPECT_TRUE(f.Failed());
}

// Passing over bytes (the parts of records a pass does not look at) reads the file as reading
// them does: the same position across the buffer's refills, the same short count at the end,
// the same stop at a failing read.
TEST(InputFileFaults, PassingOverBytesStopsWhereReadingThemStops) {
  ScratchDir dir;
  const std::string path = dir.File("log.bin");
  const std::vector<std::uint8_t> bytes = Bytes(600 * 1024);
  WriteFile(path, bytes);
  InputFile f;
  ASSERT_TRUE(f.Open(path));
  std::vector<std::uint8_t> got(InputFile::kBufferSize + 100);
  std::size_t at = 0;
  // Pieces that end inside the buffer, at its end, and past it.
  for (const std::size_t n : {std::size_t{5}, InputFile::kBufferSize - 10, std::size_t{5},
                              InputFile::kBufferSize + 50, std::size_t{3}}) {
    ASSERT_EQ(f.Pass(n), n);
    at += n;
    EXPECT_EQ(f.Tell(), at);
    ASSERT_EQ(f.Read(got.data(), 4), 4u);  // what follows is the file's next bytes
    EXPECT_TRUE(std::equal(got.begin(), got.begin() + 4, bytes.begin() + at));
    at += 4;
  }
  EXPECT_EQ(f.Pass(bytes.size()), bytes.size() - at);  // short at the end, as Read is
  EXPECT_TRUE(f.AtEnd());
  EXPECT_FALSE(f.Failed());

  ReadFault fault(300 * 1024, EIO);
  ASSERT_TRUE(f.Open(path));
  EXPECT_EQ(f.Pass(got.size()), got.size());
  EXPECT_EQ(f.Pass(got.size()), 300u * 1024 - got.size());
  EXPECT_TRUE(f.Failed());
  EXPECT_EQ(f.Error(), EIO);
  EXPECT_EQ(f.Pass(16), 0u);
}

// The file is read on from where the last read ended, and moved only after a seek or skip
// outside the buffer: each read after one of them, and the sequential reads and refills that
// follow, give the file's bytes at the reader's position.
TEST(InputFileReads, ReadsAfterSeeksAndSkipsGiveTheBytesAtTheirPosition) {
  ScratchDir dir;
  const std::string path = dir.File("log.bin");
  const std::size_t size = 3 * InputFile::kBufferSize + 1000;
  std::vector<std::uint8_t> bytes(size);
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 131 + i / 251);
  WriteFile(path, bytes);
  InputFile f;
  ASSERT_TRUE(f.Open(path));
  std::vector<std::uint8_t> got(InputFile::kBufferSize + 64);
  auto readsAt = [&](std::uint64_t at, std::size_t n) {
    if (f.Tell() != at || f.Read(got.data(), n) != n) return false;
    return std::equal(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(n),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at));
  };
  const std::uint64_t buffer = InputFile::kBufferSize;
  EXPECT_TRUE(readsAt(0, 100));
  EXPECT_TRUE(readsAt(100, buffer));  // across the first refill
  ASSERT_TRUE(f.Seek(10));            // back, out of the buffer
  EXPECT_TRUE(readsAt(10, buffer + 20));
  EXPECT_TRUE(readsAt(buffer + 30, 8));                    // on from there
  ASSERT_TRUE(f.Skip(static_cast<std::int64_t>(buffer)));  // forward, out of the buffer
  EXPECT_TRUE(readsAt(2 * buffer + 38, 16));
  ASSERT_TRUE(f.Skip(-10));  // back, inside the buffer
  EXPECT_TRUE(readsAt(2 * buffer + 44, buffer - 100));
  ASSERT_EQ(f.Pass(50), 50u);
  EXPECT_TRUE(readsAt(3 * buffer - 6, 1006));  // across the last refill to the end
  EXPECT_TRUE(f.AtEnd());
  EXPECT_EQ(f.Read(got.data(), 1), 0u);
  ASSERT_TRUE(f.Seek(5));  // from the end back to the start
  EXPECT_TRUE(readsAt(5, 3));
  EXPECT_FALSE(f.Seek(size + 1));  // past the end of the file
  EXPECT_FALSE(f.Skip(-10));       // before its start
  EXPECT_TRUE(readsAt(8, 4));      // a refused move leaves the position
  ASSERT_TRUE(f.Seek(size));
  EXPECT_EQ(f.Read(got.data(), 1), 0u);
  EXPECT_FALSE(f.Failed());
  // A file opened again is read from its start.
  ASSERT_TRUE(f.Open(path));
  EXPECT_TRUE(readsAt(0, 64));
}

TEST(InputFileFaults, SpecialFilesAreRefusedWithoutBlocking) {
  ScratchDir dir;
  const std::string fifo = dir.File("pipe.tvf");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  InputFile f;
  EXPECT_FALSE(f.Open(fifo));  // no writer ever comes: a blocking open would hang here
  EXPECT_EQ(f.Error(), EINVAL);
  EXPECT_FALSE(f.Open(dir.Path().string()));
  EXPECT_EQ(f.Error(), EISDIR);
  EXPECT_FALSE(f.Open(dir.File("none")));
  EXPECT_EQ(f.Error(), ENOENT);
  EXPECT_FALSE(f.Open("/dev/zero"));
}

class OutputTargets : public ::testing::Test {
 protected:
  bool Write(const std::string& path, const std::string& text) {
    OutputFile out;
    if (!out.Open(path)) {
      error = out.Error();
      return false;
    }
    out.WriteText(text);
    const bool ok = out.Close();
    error = out.Error();
    return ok;
  }
  ScratchDir dir;
  int error = 0;
};

TEST_F(OutputTargets, AFullDiskKeepsTheOldFileAndLeavesNoTemporary) {
  const std::string path = dir.File("out.csv");
  ASSERT_TRUE(Write(path, "old\n"));
  {
    WriteFault full(ENOSPC);
    EXPECT_FALSE(Write(path, std::string(3 << 20, 'x')));
    EXPECT_EQ(error, ENOSPC);
  }
  EXPECT_EQ(ReadFile(path), "old\r\n");
  EXPECT_EQ(Others(dir.Path(), {"out.csv"}), std::vector<std::string>{});
}

TEST_F(OutputTargets, AReadOnlyFileIsRefusedAndKept) {
  if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
  const std::string path = dir.File("out.csv");
  ASSERT_TRUE(Write(path, "mine\n"));
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  EXPECT_FALSE(Write(path, "new\n"));
  EXPECT_EQ(error, EACCES);
  EXPECT_EQ(ReadFile(path), "mine\r\n");
  OutputFile out;
  EXPECT_FALSE(out.Open(path));
  EXPECT_EQ(out.ErrorText(), path + ": Permission denied");
}

TEST_F(OutputTargets, ANewFileHasTheUsersMaskAndAReplacedOneKeepsItsPermissions) {
  const std::string path = dir.File("out.csv");
  const mode_t mask = umask(0);
  umask(mask);
  ASSERT_TRUE(Write(path, "a\n"));
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0666u & ~mask);
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  ASSERT_TRUE(Write(path, "b\n"));
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_EQ(ReadFile(path), "b\r\n");
}

TEST_F(OutputTargets, ALinkIsFollowedAndKept) {
  fs::create_directory(dir.Path() / "real");
  const std::string target = dir.File("real/target.csv"), link = dir.File("link.csv");
  ASSERT_TRUE(Write(target, "old\n"));
  fs::create_symlink("real/target.csv", link);
  ASSERT_TRUE(Write(link, "new\n"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(link)));
  EXPECT_EQ(ReadFile(target), "new\r\n");
  EXPECT_EQ(Others(dir.Path() / "real", {"target.csv"}), std::vector<std::string>{});
  // A link whose target does not exist yet creates the target.
  fs::create_symlink("real/fresh.csv", dir.Path() / "dangling.csv");
  ASSERT_TRUE(Write(dir.File("dangling.csv"), "x\n"));
  EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir.Path() / "dangling.csv")));
  EXPECT_EQ(ReadFile(dir.Path() / "real" / "fresh.csv"), "x\r\n");
}

TEST_F(OutputTargets, ALinkPlantedUnderAnOldTemporaryNameIsNeverWritten) {
  const std::string victim = dir.File("victim");
  WriteFile(victim, {'v'});
  for (const char* planted : {"out.csv.part", "out.csv.tmp", "out.csv~"})
    fs::create_symlink(victim, dir.Path() / planted);
  ASSERT_TRUE(Write(dir.File("out.csv"), "data\n"));
  EXPECT_EQ(ReadFile(victim), "v");
  EXPECT_EQ(ReadFile(dir.File("out.csv")), "data\r\n");
}

TEST_F(OutputTargets, DevicesAndFifosAreWrittenInPlace) {
  ASSERT_TRUE(Write("/dev/null", "gone\n"));
  struct stat st {};
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
  EXPECT_FALSE(Write("/dev/full", std::string(1000, 'x')));  // the device's own failure
  EXPECT_EQ(error, ENOSPC);
  ASSERT_EQ(stat("/dev/full", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  const std::string fifo = dir.File("pipe");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string received;
  std::thread reader([&] { received = ReadFile(fifo); });
  EXPECT_TRUE(Write(fifo, "through\n"));
  reader.join();
  EXPECT_EQ(received, "through\r\n");
  ASSERT_EQ(lstat(fifo.c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  EXPECT_EQ(Others(dir.Path(), {"pipe"}), std::vector<std::string>{});
}

TEST_F(OutputTargets, TheLongestLegalNameCanBeWritten) {
  const std::string name(255, 'n');
  ASSERT_TRUE(Write(dir.File(name), "x\n")) << error;
  EXPECT_EQ(ReadFile(dir.File(name)), "x\r\n");
}

TEST_F(OutputTargets, TwoWritersOfOneOutputEachLeaveAWholeFile) {
  const std::string path = dir.File("out.csv");
  OutputFile a, b;
  ASSERT_TRUE(a.Open(path));
  ASSERT_TRUE(b.Open(path));
  const std::string one(2 << 20, '1'), two(3 << 20, '2');
  a.WriteBinary(one.data(), one.size());
  b.WriteBinary(two.data(), two.size());
  ASSERT_TRUE(a.Close());
  EXPECT_EQ(ReadFile(path), one);
  ASSERT_TRUE(b.Close());
  EXPECT_EQ(ReadFile(path), two);  // the last to finish wins, whole
  EXPECT_EQ(Others(dir.Path(), {"out.csv"}), std::vector<std::string>{});
}

TEST_F(OutputTargets, SameFileComparesIdentityNotSpelling) {
  const std::string a = dir.File("a.tvf");
  WriteFile(a, {1});
  fs::create_hard_link(a, dir.Path() / "hard.tvf");
  fs::create_symlink("a.tvf", dir.Path() / "soft.tvf");
  fs::create_directory(dir.Path() / "sub");
  EXPECT_TRUE(SameFile(a, dir.File("hard.tvf")));
  EXPECT_TRUE(SameFile(a, dir.File("soft.tvf")));
  EXPECT_TRUE(SameFile(a, dir.File("sub/../a.tvf")));
  EXPECT_FALSE(SameFile(a, dir.File("b.tvf")));  // not there
  WriteFile(dir.File("b.tvf"), {1});
  EXPECT_FALSE(SameFile(a, dir.File("b.tvf")));  // equal bytes, another file
}

}  // namespace
}  // namespace polvane
