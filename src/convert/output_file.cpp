#include "convert/output_file.h"

#include <cstring>
#include <filesystem>
#include <system_error>

namespace polvane {

OutputFile::OutputFile() : buffer_(new char[kBufferSize]) {}

OutputFile::~OutputFile() {
  Abandon();
}

bool OutputFile::Open(const std::string& path) {
  Abandon();
  std::error_code ec;
  if (path.empty() || std::filesystem::is_directory(path, ec)) return false;
  path_ = path;
  tempPath_ = path + ".part";
  file_ = std::fopen(tempPath_.c_str(), "wb");
  if (!file_) return false;
  used_ = 0;
  written_ = 0;
  failed_ = false;
  return true;
}

void OutputFile::Flush() {
  if (!file_ || used_ == 0) return;
  if (std::fwrite(buffer_.get(), 1, used_, file_) != used_) failed_ = true;
  written_ += used_;
  used_ = 0;
}

void OutputFile::WriteText(const char* s, std::size_t n) {
  if (!file_) return;
  const char* end = s + n;
  while (s < end) {
    const char* nl = static_cast<const char*>(std::memchr(s, '\n', end - s));
    const char* stop = nl ? nl : end;
    WriteBinary(s, stop - s);
    if (!nl) break;
    Put('\r');
    Put('\n');
    s = nl + 1;
  }
}

void OutputFile::WriteBinary(const void* data, std::size_t n) {
  if (!file_) return;
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
  if (!file_) return false;
  Flush();
  bool ok = !failed_ && std::fflush(file_) == 0;
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  std::error_code ec;
  if (ok) {
    std::filesystem::rename(tempPath_, path_, ec);
    ok = !ec;
  }
  if (!ok) std::filesystem::remove(tempPath_, ec);
  return ok;
}

void OutputFile::Abandon() {
  if (!file_) return;
  std::fclose(file_);
  file_ = nullptr;
  std::error_code ec;
  std::filesystem::remove(tempPath_, ec);
}

}  // namespace polvane
