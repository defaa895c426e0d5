// The reader an index pass leaves behind, for the conversion of the same file to start from.
//
// The readers carry what they decode from one pass over a file to the next (channel plans,
// tables, best-server state), so a single-file conversion starts from a reader that has read the
// whole file as the index does. A completed index pass leaves its reader in this slot, with what
// that pass depended on; a conversion that would depend on the same takes the reader instead of
// reading the file once more. Anything else (another file, a file changed since, a control that a
// reader consults while indexing set otherwise) leaves the slot unused.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "convert/product_converter.h"

namespace polvane {

struct FormControls;

// What an index pass over a file depended on.
struct IndexPassKey {
  std::string Path;
  // The file as it stood: device, inode, size and modification time (0 when it cannot be
  // looked at, which matches nothing).
  std::uint64_t Device = 0, Inode = 0, Size = 0;
  std::int64_t ModifiedSeconds = 0, ModifiedNanoseconds = 0;
  bool Found = false;
  std::int16_t Product = 0;
  // The controls the readers consult while indexing: the input format, the scan modes, the
  // receivers, the data-group columns and the seconds of "1 Rec per".
  int InputFormat = 0, ScanType = 0, DrovelMode = 0;
  std::array<bool, 4> Receivers{};
  std::array<bool, 5> Columns{};
  std::string RecordSeconds;

  bool operator==(const IndexPassKey&) const = default;
};

// The key of an index pass of `path` by the reader of product `product` with the controls as
// they stand.
IndexPassKey IndexPassKeyOf(const FormControls& form, const std::string& path,
                            std::int16_t product);

class IndexedReaderSlot {
 public:
  // Keeps `reader`, which has read the whole file of `key` as the index does.
  void Keep(std::unique_ptr<ProductConverter> reader, IndexPassKey key);
  // The reader kept for `key`, once; nullptr when none was kept for it. The slot is empty after.
  std::unique_ptr<ProductConverter> Take(const IndexPassKey& key);
  void Clear();

 private:
  std::mutex lock_;
  std::unique_ptr<ProductConverter> reader_;
  IndexPassKey key_;
};

}  // namespace polvane
