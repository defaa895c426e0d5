// A binary input log read through one fixed read-ahead buffer. Readers step back a few bytes
// while hunting for a record boundary, so short seeks inside the buffer cost nothing.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace polvane {

class InputFile {
 public:
  static constexpr std::size_t kBufferSize = 256 * 1024;

  InputFile();
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  // Opens a regular file for reading (a device or FIFO is refused without blocking on it);
  // false when it cannot be read, Error() tells why.
  bool Open(const std::string& path);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to n bytes into dst and returns how many were read (fewer at the end or on error).
  // Bytes already in the buffer are taken inline; the rest goes through ReadSlow.
  std::size_t Read(void* dst, std::size_t n) {
    if (n <= length_ - cursor_) {
      std::memcpy(dst, buffer_.get() + cursor_, n);
      cursor_ += n;
      return n;
    }
    return ReadSlow(dst, n);
  }
  bool ReadExact(void* dst, std::size_t n) { return Read(dst, n) == n; }
  // Moves on over n bytes exactly as Read reads them (the same reads of the file, so a short
  // file or a failing read stops it alike) without copying them: the part of a record that a
  // pass does not look at. Returns how many were passed.
  std::size_t Pass(std::size_t n) {
    if (n <= length_ - cursor_) {
      cursor_ += n;
      return n;
    }
    return PassSlow(n);
  }
  bool PassExact(std::size_t n) { return Pass(n) == n; }
  // The next n bytes where the buffer already holds them all (nullptr where it does not),
  // without moving on: a reader looks at a short record in place and then passes it.
  const std::uint8_t* Peek(std::size_t n) const {
    return n <= length_ - cursor_ ? buffer_.get() + cursor_ : nullptr;
  }
  // Moves the read position; false when it would lie outside the file.
  bool Seek(std::uint64_t position);
  bool Skip(std::int64_t delta);
  std::uint64_t Tell() const { return bufferStart_ + cursor_; }
  // Size of the file when it was opened.
  std::uint64_t Size() const { return size_; }
  bool AtEnd() const { return Tell() >= size_; }
  // A read failed (not the end of the file): what was read is not the whole file.
  bool Failed() const { return error_ != 0; }
  // The system's error number of the failure, 0 when none.
  int Error() const { return error_; }

  // A test seam for a failing disk: while set, every read of a file at or beyond `offset`
  // fails with `error` (0 clears it); with `path`, only reads of the file opened by that name.
  static void SetReadFaultForTesting(std::uint64_t offset, int error, const std::string& path = {});

 private:
  bool Fill();
  bool FaultApplies() const;
  std::size_t ReadSlow(void* dst, std::size_t n);
  std::size_t PassSlow(std::size_t n);

  int fd_ = -1;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::uint64_t bufferStart_ = 0;  // file offset of buffer_[0]
  std::uint64_t fileOffset_ = 0;   // where the descriptor's next read begins
  std::size_t length_ = 0;         // valid bytes in buffer_
  std::size_t cursor_ = 0;         // read position within buffer_
  std::uint64_t size_ = 0;
  int error_ = 0;
  std::string path_;  // as opened (the read-fault seam may name it)
};

// Why `path` cannot be read as an input, as "PATH: REASON" ("not a regular file" for a FIFO or
// a device, which is looked at without blocking on it); empty when it can be.
std::string InputRefusal(const std::string& path);
inline constexpr const char* kNotRegularFile = "not a regular file";

// Size in bytes of a file as the file system reports it (0 when it cannot be read).
std::uint64_t FileSize(const std::string& path);

}  // namespace polvane
