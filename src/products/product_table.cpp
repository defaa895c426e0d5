#include "products/product_table.h"

#include "products/drovel/drovel_converter.h"
#include "products/kes/kes_card_converter.h"
#include "products/kes/kes_dump_converter.h"
#include "products/pelmor/pelmor_converter.h"
#include "products/selvor/selvor_converter.h"
#include "products/tarvik/tarvik_converter.h"
#include "products/tarvik/tarvik_ext_converter.h"

namespace polvane {

namespace {

template <class Reader>
std::unique_ptr<ProductConverter> Make() {
  return std::make_unique<Reader>();
}

// The fixed layouts: every reader writes Grayson IQ Analyzer, MLJ PathPro and MSI Planet; the Kes
// readers also Wireless Valley InFielder.
constexpr std::uint32_t kEveryLayout = LayoutBit(3) | LayoutBit(6) | LayoutBit(7);
constexpr std::uint32_t kInFielder = LayoutBit(12);

// The data kinds of the section trees (tree slots, src/index/selection_tree.h).
constexpr std::int16_t kScanAndFast[] = {1, 0};
constexpr std::int16_t kKesKinds[] = {4, 5, 6, 7, 21, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18};
constexpr std::int16_t kDrovelKinds[] = {1, 2, 3};
constexpr std::int16_t kPelmorKinds[] = {19, 20, 1};

// clang-format off
constexpr ProductRow kProducts[] = {
    {.Code = kProductTarvik, .Item = "QVX Tarvik", .Label = "QVX Tarvik",
     .FileFilter = "Tarvik Log File |*.tvf", .Signature = {.RecordName = "TARV"},
     .Receivers = 4, .ScanType = true, .Averaging = true, .Positions = true, .Speed = true,
     .Channels = true, .TreeSlots = kScanAndFast,
     .Layouts = kEveryLayout, .Make = Make<TarvikConverter>},
    {.Code = kProductSelvor, .Item = "QVX Selvor", .Label = "QVX Selvor",
     .FileFilter = "Selvor Log File|*.svf", .Signature = {.RecordName = "SELV"},
     .Receivers = 2, .ScanType = true, .Averaging = true, .Positions = true, .Channels = true,
     .TreeSlots = kScanAndFast,
     .Layouts = kEveryLayout, .Make = Make<SelvorConverter>},
    {.Code = kProductKesCard, .Item = "QVX Kes (PC CARD)", .Label = "QVX Kes (PC CARD)",
     .FileFilter = "Kes Log File (PC Card)|*.bin",
     .Signature = {.RecordName = "KES", .HeaderTag = "KES", .HeaderRank = 2},
     .SatAndVmac = true, .PerSeconds = true, .Positions = true, .Speed = true, .Channels = true,
     .TreeSlots = kKesKinds,
     .TitlesFromLog = true, .Layouts = kEveryLayout | kInFielder, .Make = Make<KesCardConverter>},
    {.Code = kProductKesDump, .Item = "QVX Kes (PC DUMP)", .Label = "QVX Kes (PC DUMP)",
     .FileFilter = "Kes Log File (PC Dump)|*.kes",
     .Signature = {.HeaderTag = "QVXKES", .HeaderOffset = 4, .HeaderRank = 1},
     .SatAndVmac = true, .Averaging = true, .Gathering = true, .Positions = true, .Speed = true,
     .Channels = true, .TreeSlots = kKesKinds,
     .TitlesFromLog = true, .Layouts = kEveryLayout | kInFielder, .Make = Make<KesDumpConverter>},
    {.Code = kProductDrovel, .Item = "QVX Drovel", .Label = "QVX Drovel",
     .FileFilter = "Drovel Log File|*.dvf", .Signature = {.RecordName = "DROV"},
     .ScanModes = true, .Channels = true, .TreeSlots = kDrovelKinds,
     .Layouts = kEveryLayout, .Make = Make<DrovelConverter>},
    // Listed, but without a reader: choosing it keeps the product chosen before.
    {.Code = kProductUlvas, .Item = "QVX Ulvas", .Label = "",
     .FileFilter = "Vub Converted File|*.vub"},
    {.Code = kProductTarvikExt, .Item = "QVX Tarvik (new)", .Label = "QVX Tarvik (>=fv1.27)",
     .Signature = {.HeaderTag = "TQL", .HeaderRank = 3},
     .Receivers = 4, .ScanType = true, .Averaging = true, .Positions = true, .Speed = true,
     .Channels = true, .TreeSlots = kScanAndFast,
     .Passes = 4, .Layouts = kEveryLayout, .Make = Make<TarvikExtConverter>},
    {.Code = kProductPelmor, .Item = "QVX Pelmor", .Label = "QVX Pelmor",
     .FileFilter = "Pelmor Log File|*.pvf",
     .Signature = {.HeaderTag = "QVXPELMOR", .HeaderOffset = 9, .HeaderRank = 4},
     .Receivers = 2, .ScanType = true, .Positions = true, .Speed = true, .Channels = true,
     .TreeSlots = kPelmorKinds, .ScanSlotText = "Table Data",
     .Passes = 2, .TitlesFromLog = true, .Layouts = kEveryLayout, .Make = Make<PelmorConverter>},
    // The PC-card Pelmor log: the same reader, recognised by its header before anything else.
    {.Code = kProductPelmorCard, .Item = "QVX Pelmor (PC CARD)", .Label = "QVX Pelmor",
     .Signature = {.HeaderTag = "QVXPELMOR", .HeaderOffset = 13, .HeaderRank = -1},
     .Receivers = 2, .ScanType = true, .Positions = true, .Speed = true, .Channels = true,
     .TreeSlots = kPelmorKinds, .ScanSlotText = "Table Data",
     .Passes = 2, .TitlesFromLog = true, .Layouts = kEveryLayout, .Make = Make<PelmorConverter>},
};
// clang-format on

constexpr bool RisingCodes() {
  for (std::size_t i = 1; i < std::size(kProducts); ++i)
    if (kProducts[i].Code <= kProducts[i - 1].Code) return false;
  return kProducts[0].Code > kProductNone;
}
static_assert(RisingCodes(), "the rows go by rising code, none for code 0");

}  // namespace

std::span<const ProductRow> ProductRows() {
  return kProducts;
}

const ProductRow* FindProduct(std::int16_t code) {
  for (const ProductRow& row : kProducts)
    if (row.Code == code) return &row;
  return nullptr;
}

std::unique_ptr<ProductConverter> NewConverter(std::int16_t code) {
  const ProductRow* row = FindProduct(code);
  return row && row->Make ? row->Make() : nullptr;
}

std::vector<std::string> InputFormatItems() {
  std::vector<std::string> items{"(None)"};
  for (const ProductRow& row : kProducts) {
    if (items.size() <= static_cast<std::size_t>(row.Code)) items.resize(row.Code + 1u);
    items[static_cast<std::size_t>(row.Code)] = row.Item;
  }
  return items;
}

std::string LogFileFilter() {
  std::string filter;
  for (const ProductRow& row : kProducts) {
    if (row.FileFilter.empty()) continue;
    if (!filter.empty()) filter += '|';
    filter += row.FileFilter;
  }
  return filter;
}

}  // namespace polvane
