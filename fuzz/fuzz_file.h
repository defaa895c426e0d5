// Fuzz inputs reach the readers as files, as logs do: one scratch file per process.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace polvane::fuzz {

inline const std::string& ScratchPath(const char* suffix) {
  static const std::string path = [suffix] {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir ? dir : "/tmp") + "/polvane-fuzz-" + std::to_string(getpid()) + suffix;
  }();
  return path;
}

inline void WriteScratch(const std::string& path, const std::uint8_t* data, std::size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

}  // namespace polvane::fuzz
