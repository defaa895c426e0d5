#include "convert/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <mutex>

namespace polvane {

namespace {
std::atomic<std::uint64_t> gFaultOffset{0};
std::atomic<int> gFaultError{0};
std::mutex gFaultMutex;
std::string gFaultPath;  // the one file the fault is for; empty: every file
}  // namespace

InputFile::InputFile() : buffer_(new std::uint8_t[kBufferSize]) {}

InputFile::~InputFile() {
  Close();
}

void InputFile::SetReadFaultForTesting(std::uint64_t offset, int error, const std::string& path) {
  std::lock_guard lock(gFaultMutex);
  gFaultPath = path;
  gFaultOffset = offset;
  gFaultError = error;
}

bool InputFile::FaultApplies() const {
  std::lock_guard lock(gFaultMutex);
  return gFaultPath.empty() || gFaultPath == path_;
}

bool InputFile::Open(const std::string& path) {
  Close();
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) {
    error_ = errno;
    return false;
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    error_ = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return false;
  }
  // Reads block again. O_NONBLOCK is the only status flag the file was opened with, so clearing
  // every status flag clears just that one, without asking for the flags first.
  if (::fcntl(fd, F_SETFL, 0) != 0) {
    error_ = errno;
    ::close(fd);
    return false;
  }
  fd_ = fd;
  path_ = path;
  size_ = static_cast<std::uint64_t>(st.st_size);
  error_ = 0;
  bufferStart_ = fileOffset_ = 0;
  length_ = cursor_ = 0;
  return true;
}

void InputFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  bufferStart_ = fileOffset_ = 0;
  length_ = cursor_ = 0;
  size_ = 0;
}

bool InputFile::Fill() {
  if (fd_ < 0) return false;
  bufferStart_ += cursor_;
  length_ = cursor_ = 0;
  if (error_ != 0) return false;
  // The descriptor is moved only when the reader has moved elsewhere (a seek out of the
  // buffer); reading on from the end of the last read needs no seek.
  if (fileOffset_ != bufferStart_) {
    if (::lseek(fd_, static_cast<off_t>(bufferStart_), SEEK_SET) < 0) {
      error_ = errno ? errno : EIO;
      return false;
    }
    fileOffset_ = bufferStart_;
  }
  std::size_t want = kBufferSize;
  if (const int fault = gFaultError.load(); fault != 0 && FaultApplies()) {
    const std::uint64_t at = gFaultOffset.load();
    if (bufferStart_ >= at) {
      error_ = fault;
      return false;
    }
    want = static_cast<std::size_t>(std::min<std::uint64_t>(want, at - bufferStart_));
  }
  // One read: fewer bytes than asked for are what the file has now (or what came before a
  // signal); the next Fill reads on from there, and a read of nothing is the end.
  ssize_t got;
  do {
    got = ::read(fd_, buffer_.get(), want);
  } while (got < 0 && errno == EINTR);
  if (got < 0) {
    error_ = errno ? errno : EIO;
    return false;
  }
  length_ = static_cast<std::size_t>(got);
  fileOffset_ += length_;
  return length_ > 0;
}

std::size_t InputFile::ReadSlow(void* dst, std::size_t n) {
  auto* out = static_cast<std::uint8_t*>(dst);
  std::size_t done = 0;
  while (done < n) {
    if (cursor_ >= length_ && !Fill()) break;
    std::size_t take = std::min(n - done, length_ - cursor_);
    std::memcpy(out + done, buffer_.get() + cursor_, take);
    cursor_ += take;
    done += take;
  }
  return done;
}

std::size_t InputFile::PassSlow(std::size_t n) {
  std::size_t done = 0;
  while (done < n) {
    if (cursor_ >= length_ && !Fill()) break;
    const std::size_t take = std::min(n - done, length_ - cursor_);
    cursor_ += take;
    done += take;
  }
  return done;
}

bool InputFile::Seek(std::uint64_t position) {
  if (fd_ < 0 || position > size_) return false;
  if (position >= bufferStart_ && position <= bufferStart_ + length_) {
    cursor_ = static_cast<std::size_t>(position - bufferStart_);
  } else {
    bufferStart_ = position;
    length_ = cursor_ = 0;
  }
  return true;
}

bool InputFile::Skip(std::int64_t delta) {
  std::int64_t target = static_cast<std::int64_t>(Tell()) + delta;
  return target >= 0 && Seek(static_cast<std::uint64_t>(target));
}

std::string InputRefusal(const std::string& path) {
  // O_NONBLOCK: opening a FIFO must not wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return path + ": " + std::strerror(errno);
  struct stat st {};
  const int error = ::fstat(fd, &st) == 0 ? 0 : errno;
  ::close(fd);
  if (error != 0) return path + ": " + std::strerror(error);
  if (S_ISDIR(st.st_mode)) return path + ": " + std::strerror(EISDIR);
  if (!S_ISREG(st.st_mode)) return path + ": " + kNotRegularFile;
  return {};
}

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace polvane
