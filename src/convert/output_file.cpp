#include "convert/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace polvane {

namespace fs = std::filesystem;

namespace {

std::atomic<int> gWriteFault{0};

// The temporary names of the outputs being written, for RemoveOpenTemporaries.
// Room for a Shapefile's six files in each of 64 parallel runs, and the text outputs besides.
constexpr std::size_t kTemporarySlots = 512;
std::array<std::atomic<const char*>, kTemporarySlots> gTemporaries{};

void Register(const char* path) {
  for (auto& slot : gTemporaries) {
    const char* empty = nullptr;
    if (slot.compare_exchange_strong(empty, path)) return;
  }
}

void Unregister(const char* path) {
  for (auto& slot : gTemporaries) {
    const char* mine = path;
    if (slot.compare_exchange_strong(mine, nullptr)) return;
  }
}

// What the look at a name found.
enum class Look {
  kFound,    // something is there, and `st` tells what
  kMissing,  // nothing is there
  kUnknown,  // the look failed otherwise, or the chain of links was too long: ask stat
};

// The name a link leads to, following chains of links (a dangling link's target too). The
// last look, at a name that is no link, is also what stat would tell of it: `look` says what
// it found, so that the name is not looked at a second time.
std::string FollowLinks(const std::string& path, struct stat& st, Look& look) {
  std::string current = path;
  look = Look::kUnknown;
  for (int hops = 0; hops < 40; ++hops) {
    if (::lstat(current.c_str(), &st) != 0) {
      if (errno == ENOENT) look = Look::kMissing;
      return current;
    }
    if (!S_ISLNK(st.st_mode)) {
      look = Look::kFound;
      return current;
    }
    std::error_code ec;
    const fs::path target = fs::read_symlink(current, ec);
    if (ec) return current;
    current = target.is_absolute() ? target.string()
                                   : (fs::path(current).parent_path() / target).string();
  }
  return current;
}

// Writes the n bytes in as many writes as the file takes (a pipe or a device may take fewer
// at a time); false, with errno, when one fails.
bool WriteAll(int fd, const char* data, std::size_t n) {
  while (n > 0) {
    const ssize_t put = ::write(fd, data, n);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      if (put == 0) errno = EIO;
      return false;
    }
    data += put;
    n -= static_cast<std::size_t>(put);
  }
  return true;
}

// The mode of a new output: what the user's mask leaves of 0666. The mask belongs to the
// process and can be read only by setting it, which for that moment leaves unmasked a file that
// another thread creates; so it is read once, while the program starts and before any thread
// of a run exists, and not for every output.
mode_t NewFileMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}
[[maybe_unused]] const mode_t gNewFileModeAtStart = NewFileMode();

}  // namespace

struct OutputSyncer::Waiting {
  std::uint64_t Order = 0;
  int Fd = -1;
  std::string Temp, Target, Path;
};

OutputFile::OutputFile() : buffer_(new char[kBufferSize]) {}

OutputFile::~OutputFile() {
  Abandon();
}

void OutputFile::SetWriteFaultForTesting(int error) {
  gWriteFault = error;
}

bool OutputFile::Open(const std::string& path) {
  Abandon();
  used_ = 0;
  written_ = 0;
  failed_ = false;
  direct_ = false;
  error_ = 0;
  path_ = path;
  tempPath_.clear();
  if (path.empty()) {
    error_ = ENOENT;
    return false;
  }
  struct stat st {};
  Look look = Look::kUnknown;
  target_ = FollowLinks(path, st, look);
  const bool exists =
      look == Look::kFound || (look == Look::kUnknown && ::stat(target_.c_str(), &st) == 0);
  if (exists && S_ISDIR(st.st_mode)) {
    error_ = EISDIR;
    return false;
  }
  int fd = -1;
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or FIFO is written as it stands; it is never replaced by a regular file.
    fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
      error_ = errno;
      return false;
    }
    direct_ = true;
  } else {
    if (exists) {
      // A file that may not be written is refused, as opening it for writing would refuse it.
      const int probe = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
      if (probe < 0) {
        error_ = errno;
        return false;
      }
      ::close(probe);
    }
    const fs::path folder = fs::path(target_).parent_path();
    std::string name = (folder.empty() ? fs::path(".") : folder).string() + "/.pvXXXXXX";
    // O_CREAT | O_EXCL: a name planted by anyone else is not used.
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
      error_ = errno;
      return false;
    }
    tempPath_ = std::move(name);
    Register(tempPath_.c_str());
    // The replaced file keeps its permissions (and owner, where the system lets us); a new one
    // gets what the user's mask gives a new file.
    if (exists) {
      ::fchmod(fd, st.st_mode & 07777);
      if (::fchown(fd, st.st_uid, st.st_gid) != 0) {
        // Not our file to give away: it stays ours.
      }
    } else {
      ::fchmod(fd, NewFileMode());
    }
  }
  // Our own buffer is the only one: it goes to the descriptor in one write a flush.
  fd_ = fd;
  return true;
}

void OutputFile::Flush() {
  if (fd_ < 0 || used_ == 0) return;
  if (const int fault = gWriteFault.load()) {
    failed_ = true;
    if (error_ == 0) error_ = fault;
  } else if (!WriteAll(fd_, buffer_.get(), used_)) {
    if (!failed_) error_ = errno;
    failed_ = true;
  }
  written_ += used_;
  used_ = 0;
}

void OutputFile::WriteText(const char* s, std::size_t n) {
  if (fd_ < 0) return;
  // In chunks the buffer has room for even if every byte is a line end that takes two: each
  // goes straight into the buffer (a fixed layout's piece is a few short lines and fits whole).
  while (n > 0) {
    if ((kBufferSize - used_) / 2 < std::min(n, kBufferSize / 2)) Flush();  // empties it
    const std::size_t take = std::min(n, (kBufferSize - used_) / 2);
    const char* const end = s + take;
    char* d = buffer_.get() + used_;
    while (s < end) {
      const char* nl = static_cast<const char*>(std::memchr(s, '\n', end - s));
      const char* stop = nl ? nl : end;
      std::memcpy(d, s, stop - s);
      d += stop - s;
      if (!nl) break;
      d[0] = '\r';
      d[1] = '\n';
      d += 2;
      s = nl + 1;
    }
    s = end;
    used_ = static_cast<std::size_t>(d - buffer_.get());
    n -= take;
  }
}

void OutputFile::WriteBinary(const void* data, std::size_t n) {
  if (fd_ < 0) return;
  const char* s = static_cast<const char*>(data);
  while (n > 0) {
    if (used_ == kBufferSize) Flush();
    std::size_t take = kBufferSize - used_ < n ? kBufferSize - used_ : n;
    std::memcpy(buffer_.get() + used_, s, take);
    used_ += take;
    s += take;
    n -= take;
  }
}

bool OutputFile::Close() {
  if (fd_ < 0) return false;
  Flush();
  bool ok = !failed_;
  // The data is on the disk before the name points at it.
  if (ok && !direct_ && ::fsync(fd_) != 0) {
    error_ = errno;
    ok = false;
  }
  if (::close(fd_) != 0 && ok) {
    error_ = errno;
    ok = false;
  }
  fd_ = -1;
  if (direct_) return ok;
  if (ok && std::rename(tempPath_.c_str(), target_.c_str()) != 0) {
    error_ = errno;
    ok = false;
  }
  if (!ok) ::unlink(tempPath_.c_str());
  Unregister(tempPath_.c_str());
  return ok;
}

bool OutputFile::Close(OutputSyncer& syncer) {
  if (fd_ < 0) return false;
  if (direct_) return Close();
  Flush();
  if (failed_) {
    ::close(fd_);
    fd_ = -1;
    ::unlink(tempPath_.c_str());
    Unregister(tempPath_.c_str());
    return false;
  }
  auto waiting = std::make_unique<OutputSyncer::Waiting>();
  waiting->Fd = fd_;
  waiting->Temp = tempPath_;
  waiting->Target = target_;
  waiting->Path = path_;
  // The interrupt handler knows the name all along: the syncer's copy before this one goes.
  Register(waiting->Temp.c_str());
  Unregister(tempPath_.c_str());
  fd_ = -1;
  syncer.Add(std::move(waiting));
  return true;
}

void OutputFile::Abandon() {
  if (fd_ < 0) return;
  ::close(fd_);
  fd_ = -1;
  if (direct_) return;
  ::unlink(tempPath_.c_str());
  Unregister(tempPath_.c_str());
}

OutputSyncer::OutputSyncer() = default;

OutputSyncer::~OutputSyncer() {
  Settle();
  {
    std::lock_guard hold(lock_);
    stop_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void OutputSyncer::Add(std::unique_ptr<Waiting> output) {
  std::unique_lock hold(lock_);
  if (!thread_.joinable()) thread_ = std::thread([this] { Work(); });
  changed_.wait(hold, [this] { return waiting_.size() + busy_ < kMaxWaiting; });
  output->Order = next_++;
  waiting_.push_back(std::move(output));
  // Told once the lock is let go, so that the woken thread does not at once wait for it again.
  hold.unlock();
  changed_.notify_all();
}

std::vector<std::string> OutputSyncer::Settle() {
  std::unique_lock hold(lock_);
  changed_.wait(hold, [this] { return waiting_.empty() && busy_ == 0; });
  std::sort(failures_.begin(), failures_.end());
  std::vector<std::string> failures;
  for (auto& [order, text] : failures_) failures.push_back(std::move(text));
  failures_.clear();
  return failures;
}

void OutputSyncer::Work() {
  std::unique_lock hold(lock_);
  for (;;) {
    changed_.wait(hold, [this] { return stop_ || !waiting_.empty(); });
    if (waiting_.empty()) return;
    std::vector<std::unique_ptr<Waiting>> batch;
    while (!waiting_.empty()) {
      batch.push_back(std::move(waiting_.front()));
      waiting_.pop_front();
    }
    busy_ = batch.size();
    hold.unlock();
    // A batch is synced with one sync of each of its file systems (all the disk's writes in one
    // go; each file's own sync would write their folder again for every file). Only when one
    // of those fails is each file synced on its own, to tell which one failed.
    std::vector<int> errors(batch.size(), 0);
    bool each = batch.size() == 1;
    if (!each) {
      std::vector<dev_t> synced;
      for (const auto& w : batch) {
        struct stat st {};
        if (::fstat(w->Fd, &st) != 0) {
          each = true;
          break;
        }
        if (std::find(synced.begin(), synced.end(), st.st_dev) != synced.end()) continue;
        synced.push_back(st.st_dev);
        if (::syncfs(w->Fd) != 0) {
          each = true;
          break;
        }
      }
    }
    if (each)
      for (std::size_t k = 0; k < batch.size(); ++k)
        if (::fsync(batch[k]->Fd) != 0) errors[k] = errno;
    std::vector<std::pair<std::uint64_t, std::string>> failed;
    for (std::size_t k = 0; k < batch.size(); ++k) {
      const Waiting& w = *batch[k];
      int error = errors[k];
      if (::close(w.Fd) != 0 && error == 0) error = errno;
      // The data is on the disk before the name points at it.
      if (error == 0 && std::rename(w.Temp.c_str(), w.Target.c_str()) != 0) error = errno;
      if (error != 0) {
        ::unlink(w.Temp.c_str());
        failed.emplace_back(w.Order, PathError(w.Path, error));
      }
      Unregister(w.Temp.c_str());
    }
    batch.clear();
    hold.lock();
    busy_ = 0;
    failures_.insert(failures_.end(), failed.begin(), failed.end());
    changed_.notify_all();
  }
}

std::string OutputFile::ErrorText() const {
  return PathError(path_, error_);
}

std::string PathError(const std::string& path, int error) {
  return error ? path + ": " + std::strerror(error) : path;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (a.empty() || b.empty()) return false;
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void RememberTemporary(const char* path) {
  Register(path);
}

void ForgetTemporary(const char* path) {
  Unregister(path);
}

void RemoveOpenTemporaries() {
  for (auto& slot : gTemporaries)
    if (const char* path = slot.load()) ::unlink(path);
}

}  // namespace polvane
