#include "convert/input_file.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

namespace polvane {

namespace {
int SeekTo(std::FILE* f, std::uint64_t offset) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<__int64>(offset), SEEK_SET);
#else
  return fseeko(f, static_cast<off_t>(offset), SEEK_SET);
#endif
}
}  // namespace

InputFile::InputFile() : buffer_(new std::uint8_t[kBufferSize]) {}

InputFile::~InputFile() {
  Close();
}

bool InputFile::Open(const std::string& path) {
  Close();
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return false;
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) return false;
  std::setvbuf(file_, nullptr, _IONBF, 0);  // this class is the buffer
  size_ = FileSize(path);
  bufferStart_ = 0;
  length_ = cursor_ = 0;
  return true;
}

void InputFile::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  bufferStart_ = 0;
  length_ = cursor_ = 0;
  size_ = 0;
}

bool InputFile::Fill() {
  if (!file_) return false;
  bufferStart_ += cursor_;
  length_ = cursor_ = 0;
  if (SeekTo(file_, bufferStart_) != 0) return false;
  length_ = std::fread(buffer_.get(), 1, kBufferSize, file_);
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

bool InputFile::Seek(std::uint64_t position) {
  if (!file_ || position > size_) return false;
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

std::uint64_t FileSize(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  return ec ? 0 : static_cast<std::uint64_t>(size);
}

}  // namespace polvane
