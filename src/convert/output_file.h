// An output file written through one large buffer. Text pieces reach the file with CR LF line
// ends on every platform; binary pieces are written byte for byte. A regular file is written
// beside its target under a short temporary name of its own (created exclusively, never through
// a link), synced and moved into place by Close(), so a run never leaves a half-written file under
// the output name nor a temporary one behind. A symbolic link is followed: its target is written
// and the link stays. A target that is not a regular file (a device, a FIFO) is written directly.
#pragma once

#include <bit>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace polvane {

class OutputSyncer;

class OutputFile {
 public:
  static constexpr std::size_t kBufferSize = 1 << 20;

  OutputFile();
  ~OutputFile();  // abandons an open file
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates (or will replace) path; false when it cannot be written (Error() tells why). An
  // existing file that may not be written is refused as opening it for writing would refuse it.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }

  // Text: every "\n" is written as "\r\n".
  void WriteText(const char* s, std::size_t n);
  void WriteText(std::string_view s) { WriteText(s.data(), s.size()); }
  // A line of text and its line end, in one copy where the buffer has room for it.
  void WriteTextLine(std::string_view s) {
    const std::size_t n = s.size();
    if (fd_ >= 0 && !std::memchr(s.data(), '\n', n) && PutBareLine(s.data(), n)) return;
    WriteText(s);
    WriteTextChar('\n');
  }
  // A piece of text of one line or a few (a fixed layout's record): its first line end is
  // found in one look, the text before it copied whole, the rest written as WriteText writes
  // it; a piece without a line end is copied as it stands.
  void WriteTextPiece(const char* s, std::size_t n) {
    if (fd_ < 0 || n == 0) return;
    const char* nl = static_cast<const char*>(std::memchr(s, '\n', n));
    if (!nl) {
      WriteBinary(s, n);
      return;
    }
    const auto first = static_cast<std::size_t>(nl - s);
    if (!PutBareLine(s, first)) WriteText(s, first + 1);
    if (first + 1 < n) WriteText(nl + 1, n - first - 1);
  }
  // One character of text (a delimiter, a line end).
  void WriteTextChar(char c) {
    if (fd_ < 0) return;
    if (c == '\n') Put('\r');
    Put(c);
  }
  // Text up to its terminating zero. A short piece (a field value) is copied byte by byte in
  // one pass; a longer one falls back to the block copy.
  void WriteTextZ(const char* s) {
    if (kBufferSize - used_ >= kShortPiece * 2) {
      char* d = buffer_.get() + used_;
      for (std::size_t i = 0; i < kShortPiece; ++i) {
        const char c = s[i];
        if (c == '\0') {
          used_ += i;
          return;
        }
        if (c == '\n') {
          used_ += i;
          s += i;
          break;
        }
        d[i] = c;
        if (i + 1 == kShortPiece) {
          used_ += kShortPiece;
          s += kShortPiece;
        }
      }
    }
    WriteText(s, std::strlen(s));
  }
  // The same for text that lies in a buffer readable up to `limit`: sixteen bytes at a time
  // where the processor has SSE2, looking past the text's end but never past limit.
  void WriteTextZ(const char* s, const char* limit) {
#if defined(__SSE2__)
    if (fd_ < 0) return;
    while (limit - s >= 16 && kBufferSize - used_ >= 16) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      const unsigned zero =
          static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_setzero_si128())));
      const unsigned stop =
          zero | static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))));
      // Bytes stored beyond the stop are overwritten later: only used_ bytes reach the file.
      _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer_.get() + used_), v);
      if (stop == 0) {
        used_ += 16;
        s += 16;
        continue;
      }
      const int k = std::countr_zero(stop);
      used_ += static_cast<std::size_t>(k);
      s += k;
      if (zero & (1u << k)) return;
      Put('\r');  // a line end inside the text
      Put('\n');
      ++s;
    }
#else
    (void)limit;
#endif
    WriteTextZ(s);
  }
  // Binary: byte for byte.
  void WriteBinary(const void* data, std::size_t n);

  // Flushes, closes and moves the file into place; false on any write failure.
  bool Close();
  // The same, with the sync to the disk, the close and the move into place left to `syncer`
  // (false only for a failure before that; the syncer reports its own). A device or FIFO is
  // closed at once.
  bool Close(OutputSyncer& syncer);
  // Closes and removes the partial file.
  void Abandon();

  // The system's error number of the last failure (0 when none was given).
  int Error() const {
    return error_;
  }
  // "PATH: REASON" for a message, the reason of Error().
  std::string ErrorText() const;

  // A test seam for a full disk: while set, every write to a file fails with this error number.
  static void SetWriteFaultForTesting(int error);

  std::uint64_t BytesWritten() const {
    return written_ + used_;
  }
  const std::string& Path() const {
    return path_;
  }

 private:
  static constexpr std::size_t kShortPiece = 32;

  // n bytes that hold no line end, and CR LF after them, where the buffer has room for all.
  bool PutBareLine(const char* s, std::size_t n) {
    if (kBufferSize - used_ < n + 2) return false;
    char* d = buffer_.get() + used_;
    std::memcpy(d, s, n);
    d[n] = '\r';
    d[n + 1] = '\n';
    used_ += n + 2;
    return true;
  }

  void Flush();
  void Put(char c) {
    if (used_ == kBufferSize) Flush();
    buffer_[used_++] = c;
  }

  int fd_ = -1;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  std::uint64_t written_ = 0;
  bool failed_ = false;
  bool direct_ = false;  // a device or FIFO, written in place
  int error_ = 0;
  std::string path_;
  std::string target_;  // path_ with its links followed
  std::string tempPath_;
};

// Syncs written outputs to the disk and moves them into place on a thread of its own, so that a
// run of many files converts the next file while the disk catches up with the last (a sync
// takes milliseconds even for a small file). Each name is still given only to data that is on
// the disk: outputs that wait together are synced together, with one sync of each of their
// file systems (the disk's writes of a batch in one go); a lone output, or a batch whose sync
// fails, is synced file by file, so that the failure names its file. Until it is in place, an
// output stays a temporary that the interrupt handler removes. At most kMaxWaiting outputs
// wait; the next one waits for room.
class OutputSyncer {
 public:
  static constexpr std::size_t kMaxWaiting = 256;

  OutputSyncer();
  ~OutputSyncer();  // settles what is left
  OutputSyncer(const OutputSyncer&) = delete;
  OutputSyncer& operator=(const OutputSyncer&) = delete;

  // Waits until every output handed over is in place or has failed, and returns the failures
  // since the last call, in the order of the outputs ("PATH: REASON").
  std::vector<std::string> Settle();

 private:
  friend class OutputFile;
  struct Waiting;
  void Add(std::unique_ptr<Waiting> output);
  void Work();

  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<Waiting>> waiting_;
  std::size_t busy_ = 0;  // outputs taken by the thread and not yet settled
  std::vector<std::pair<std::uint64_t, std::string>> failures_;
  std::uint64_t next_ = 0;
  bool stop_ = false;
  std::thread thread_;
};

// True when both names are one existing file (device and inode, links followed).
bool SameFile(const std::string& a, const std::string& b);

// "PATH: REASON" for the system's error number.
std::string PathError(const std::string& path, int error);

// Names a temporary file of an output written by other means (the GIS datasets, which GDAL
// writes by name) for RemoveOpenTemporaries, until it is forgotten. The text must stay in place
// meanwhile.
void RememberTemporary(const char* path);
void ForgetTemporary(const char* path);

// Removes the temporary files of outputs still open. Only calls that are safe in a signal
// handler: a program killed by a signal uses it before it ends.
void RemoveOpenTemporaries();

}  // namespace polvane
