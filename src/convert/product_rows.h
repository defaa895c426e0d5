// The receiver products, one row each: how a log of the product is recognised, what the window
// offers for it, how the record loop writes its records, and the reader that converts it. The
// rows are defined beside the readers they make (src/products/product_table.cpp); the record loop
// and the identification read them through this header.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace polvane {

class ProductConverter;

// How a log of the product is recognised from its first bytes.
struct ProductSignature {
  // What the name in the identification record that starts the log contains ("TARV"); empty for
  // the products whose logs start with a file header instead.
  std::string_view RecordName = {};
  // What the file header contains, searched from HeaderOffset up to its first zero byte; empty
  // for none. The header tags are tried lowest HeaderRank first, so that a tag that another
  // product's header also holds ("KES" in "QVXKES") comes after that product's; a rank below 0 is
  // tried before the identification record is looked for.
  std::string_view HeaderTag = {};
  std::int8_t HeaderOffset = 0;
  std::int8_t HeaderRank = 0;
};

struct ProductRow {
  std::int16_t Code = 0;       // the item index of the input-format list
  std::string_view Item = {};  // the text of that item
  std::string_view Label =
      {};  // the product label, and what `polvane identify` prints; "" if never
  // The log dialog's "Label|*.ext" entry, "" for a product whose logs have none of their own.
  std::string_view FileFilter = {};
  ProductSignature Signature = {};

  // --- What the window offers for the product ---
  std::int16_t Receivers = 1;  // receiver boxes 1 to Receivers are enabled
  bool ScanType = false;       // the scan-type choice (scan table or fast data)
  bool ScanModes = false;      // the Drovel's scan-mode choice
  bool SatAndVmac = false;     // the SAT and VMAC data boxes
  bool Averaging = false;      // 40-wavelength averaging
  // The averaging needs the average information gathered from the log first (a pass of its own).
  bool Gathering = false;
  bool PerSeconds = false;  // one record per N seconds
  // Its records carry positions and GPS times (traffic, one record per N metres, the map
  // formats); a product without them takes the presets' field lists without positions.
  bool Positions = false;
  bool Speed = false;     // a GPS speed, for the threshold on it
  bool Channels = false;  // the reader keeps the channels of a channel list
  // The data kinds of the section tree, in the order the tree shows them, and the text the scan
  // data kind shows where the product names it otherwise ("" for the usual one).
  std::span<const std::int16_t> TreeSlots = {};
  std::string_view ScanSlotText = {};

  // --- How the record loop writes it ---
  // Lines a record gives, one per receiver pass: a record of several receivers writes a line per
  // receiver the reader selects.
  int Passes = 1;
  // The log says when the titles line is due (a record asks for it); otherwise it is written
  // before the first record.
  bool TitlesFromLog = false;
  // The output-format list indices of the fixed layouts the reader writes, as bits.
  std::uint32_t Layouts = 0;

  // A new reader of the product, nothing read yet; nullptr for a product without one.
  std::unique_ptr<ProductConverter> (*Make)() = nullptr;

  bool WritesLayout(int format) const {
    return format >= 0 && format < 32 && (Layouts >> format & 1u) != 0;
  }
};

// The bit of output-format list index `format` in ProductRow::Layouts.
constexpr std::uint32_t LayoutBit(int format) {
  return std::uint32_t{1} << format;
}

// Every row, by rising code.
std::span<const ProductRow> ProductRows();
// The row of product `code`; nullptr for 0 (none) and codes without one.
const ProductRow* FindProduct(std::int16_t code);

}  // namespace polvane
