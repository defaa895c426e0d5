// The settings of one run (a conversion, an index or the average-information pass) as a plain
// value. The window model makes it from its controls when the run starts; the run owns it and it
// does not change while the run goes on. The readers, the record loop and the fixed layouts read
// only this value. Other front ends and the tests may build it directly: as constructed it holds
// the window's settings as the window opens.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "convert/channel_list.h"
#include "convert/codes.h"
#include "convert/line_reduction.h"

namespace polvane {

// The items of the data group ("<< DATA >>") that the user checked.
struct DataBoxes {
  bool Frequency = true;
  bool Channel = false;
  bool Rssi = true;
  bool SatDcc = false;
  bool Vmac = false;
};

inline constexpr int kCustomAsciiFormat = 11;
inline constexpr int kFormatPathPro = 6;  // the one binary fixed layout

struct ConversionSettings {
  // --- Input ---
  // The product chosen in the input-format list (its item index); 0: none, the Pelmor reader
  // then tells its two logs apart by the file.
  std::int16_t InputFormat = kProductNone;
  // Scan Type: 0 "Scan Table", 1 "Fast Data".
  int ScanType = 1;

  // --- What each line holds ---
  // The receivers checked, 1 to 4 at index 0 to 3.
  std::array<bool, 4> Receivers{true, false, false, false};
  DataBoxes Data;
  // How many cells one reading of the data group has: the data boxes that are checked and
  // offered for the product. 0: as many as the titles line names.
  int ReadingCells = 0;
  // Whether the delimited output starts with the titles line ("Header").
  bool FieldTitles = true;
  char Delimiter = ',';

  // --- Data reduction ---
  std::int16_t ReductionMode = kReduceNone;
  // The vehicle's speed that 40-wavelength averaging assumes, in metres per second (the Lambda
  // dialog's); 0 when none is known.
  double LambdaMetresPerSecond = 0;
  // "1 Rec per" N seconds (the Kes PC card), as typed; its leading integer counts.
  std::string PerSecondsValue = "1";
  // Threshold, traffic and one line per N metres, over the lines the reader makes.
  LineReduction Reduction;
  // The channels of the data group (the readers of the products that offer the choice).
  ChannelList Channels;

  // --- Output ---
  // Item index of the output-format list.
  int OutputFormat = kCustomAsciiFormat;
  // The format is a fixed layout: the readers' FixedHeader/FixedRecord/FixedTrailer write it.
  bool FixedLayout = false;
  // The output name in the window (single-file mode); the PathPro MDF side file of a run with no
  // output name of its own is named from it.
  std::string OutputFileName;
  // "Excel Split": outputs of more lines than a spreadsheet takes are split into pieces.
  bool Split = false;

  // Whether receiver n (1 to 4) is checked.
  bool ReceiverChecked(int n) const { return n >= 1 && n <= 4 && Receivers[n - 1]; }
  // PathPro pieces reach the file byte for byte; every other layout is text.
  bool BinaryLayout() const { return FixedLayout && OutputFormat == kFormatPathPro; }
};

}  // namespace polvane
