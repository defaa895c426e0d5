// One pass over the records of an open input, the one that converting, indexing and gathering all
// read a log with: each record is read through the reader and parsed by it, and what the reader
// asks for goes to the pass's own step (write lines, add a section, nothing). The pass stops when
// the run is cancelled, reports the percentage of the input read whenever it changes, and tells
// where reading stopped and how much of the log data the reader left unread.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>

#include "convert/product_converter.h"
#include "convert/tree_node.h"

namespace polvane {

// State that belongs to the whole run rather than to one file.
struct RunState {
  const std::atomic<bool>* Terminated = nullptr;
  std::function<void(int)> Progress;  // whole percentage, called only when it changes
  bool Cancelled() const { return Terminated && Terminated->load(std::memory_order_relaxed); }
};

// Whole-number percentage of consumed bytes, without overflow and without dividing by zero.
inline int Percentage(std::uint64_t consumed, std::uint64_t size) {
  if (size == 0) return 0;
  if (consumed >= size) return 100;
  return static_cast<int>((static_cast<unsigned __int128>(consumed) * 100) / size);
}

// The whole percentage of a growing byte count, worked out again only when the count reaches
// the next whole step: the pass asks for it after every record.
class PercentSteps {
 public:
  explicit PercentSteps(std::uint64_t size) : size_(size) {}

  int At(std::uint64_t consumed) {
    if (consumed < next_) return percent_;
    percent_ = Percentage(consumed, size_);
    // The first count that shows the next percentage: size * (percent + 1) / 100, rounded up.
    next_ = percent_ >= 100 || size_ == 0
                ? UINT64_MAX
                : static_cast<std::uint64_t>(
                      (static_cast<unsigned __int128>(size_) * (percent_ + 1) + 99) / 100);
    return percent_;
  }

 private:
  std::uint64_t size_;
  std::uint64_t next_ = 0;
  int percent_ = 0;
};

struct PassResult {
  // The pass was cancelled before the reader reached the end (or before it began).
  bool Cancelled = false;
  // Where reading stopped: the end of the last record read. When the reader stopped before the
  // end of the log data, Unread counts the bytes it left (a damaged or cut-short log).
  std::uint64_t StoppedAt = 0;
  std::uint64_t Unread = 0;
};

// Where an index pass puts the sections it finds. The pass counts each record, with its time,
// on the node of the section it belongs to; the sink makes the nodes.
class IndexSink {
 public:
  // A section began (Sections().Started() holds): the node that takes its records, made when
  // its label is taken (TakeStarted); nullptr while the label is still to come, or for a
  // section that gets no node. Asked again with each record while the section is started.
  virtual TreeNode* Began(SectionTracker& sections) = 0;

 protected:
  ~IndexSink() = default;
};

class RecordPass {
 public:
  // Reads the records of the input open on `c` into `buffer` (kRecordBufferSize bytes) until the
  // reader finds no more or `run` is cancelled, calling step(action) with what ParseRecord asked
  // for after each record. The percentage reported is of `inputSize` bytes, the first report is
  // at the first record. The input stays open.
  template <class Reader, class Step>
  PassResult Run(Reader& c, std::uint8_t* buffer, const RunState& run, std::uint64_t inputSize,
                 Step&& step) {
    records_ = 0;
    std::uint64_t consumed = 0;
    int shown = -1;
    PercentSteps steps(inputSize);
    std::uint64_t stoppedAt = c.Input.Tell();
    const bool cancelledFirst = run.Cancelled();
    int n = cancelledFirst ? 0 : c.ReadRecord(buffer);
    static_cast<ProductConverter&>(c).RecordCount = 0;
    while (n != 0 && !run.Cancelled()) {
      stoppedAt = c.Input.Tell();
      ++records_;
      consumed += static_cast<std::uint64_t>(n);
      const int percent = steps.At(consumed);
      if (percent != shown) {
        shown = percent;
        if (run.Progress) run.Progress(percent);
      }
      step(c.ParseRecord(buffer));
      n = c.ReadRecord(buffer);
    }
    PassResult result;
    // A pass that ends with a record still in hand was stopped by the cancel.
    result.Cancelled = cancelledFirst || n != 0;
    result.StoppedAt = stoppedAt;
    const std::uint64_t end = std::min(c.DataEnd(), c.Input.Size());
    if (!result.Cancelled && stoppedAt < end) result.Unread = end - stoppedAt;
    return result;
  }

  // The index pass over the records of the input open on `c`, as Run reads them: each record's
  // section from the reader's tracker (sink.Began when one began) and its time
  // (RecordTime) counted on the section's node. Instantiated with a reader's own class,
  // whose ReadRecord, ParseRecord and RecordTime are final, the reader's calls are made directly
  // (ProductConverter::IndexPass of the reader); with ProductConverter, through the virtual
  // calls.
  template <class Reader>
  PassResult Index(Reader& c, std::uint8_t* buffer, const RunState& run, std::uint64_t inputSize,
                   IndexSink& sink) {
    TreeNode* current = nullptr;
    return Run(c, buffer, run, inputSize, [&](std::int16_t) {
      if (c.Sections().Started()) current = sink.Began(c.Sections());
      if (current) {
        std::uint32_t seconds = 0;
        if (c.RecordTime(seconds))
          current->CountAt(seconds);
        else
          current->CountUntimed();
      }
    });
  }

  // The records read so far by the running (or the last) pass; for its step and its progress
  // callback, which run on the same thread.
  std::uint64_t Records() const { return records_; }

 private:
  std::uint64_t records_ = 0;
};

}  // namespace polvane
