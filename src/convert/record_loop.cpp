#include "convert/record_loop.h"

#include <algorithm>
#include <cstring>

#include "app/form_controls.h"

namespace polvane {

namespace {

void WriteZ(OutputFile& out, const char* text) {
  out.WriteTextZ(text);
}

// A value in the loop's value buffer, which is readable to its end.
void WriteValue(OutputFile& out, const char* text, const char* valueBuffer) {
  out.WriteTextZ(text, valueBuffer + kValueBufferSize);
}

bool HeaderChecked(const ProductConverter& c) {
  return !c.Form || c.Form->FieldTitles.Checked();
}

// Receiver passes of one record: the products whose records carry several receivers write
// one line per receiver.
int ReceiverPasses(std::int16_t code) {
  if (code == kProductTarvikExt) return 4;
  if (code == kProductPelmor || code == kProductPelmorCard) return 2;
  return 1;
}

}  // namespace

RecordLoop::RecordLoop()
    : value_(new char[kValueBufferSize]),
      fixed_(new char[kFixedBufferSize]),
      record_(new std::uint8_t[kRecordBufferSize]) {}

void RecordLoop::WriteTitles(ProductConverter& c, OutputFile& out, const Selection& selection,
                             char delimiter) {
  if (!c.TitlesPending) return;
  if (HeaderChecked(c)) {
    char* v = value_.get();
    for (int pos = 0; pos < selection.Count(); ++pos) {
      if (selection.Tags[pos] != kFieldData) {
        if (pos > 0) out.WriteTextChar(delimiter);
        out.WriteText("\"", 1);
        out.WriteText(selection.Texts[pos]);
        out.WriteText("\"", 1);
        continue;
      }
      v[0] = '\0';
      std::int16_t r = c.DataTitles(0, v, delimiter);
      if (pos > 0 && v[0] != '\0') out.WriteTextChar(delimiter);
      while (r >= 0) {
        if (v[0] != '\0') WriteValue(out, v, value_.get());
        v[0] = '\0';
        r = c.DataTitles(1, v, delimiter);
        if (v[0] != '\0') out.WriteTextChar(delimiter);
      }
    }
    out.WriteText("\n", 1);
  }
  c.TitlesPending = false;
}

void RecordLoop::WriteFixed(const LoopSettings& settings, OutputFile& out, int n) {
  if (n <= 0) return;
  if (n > kFixedBufferSize) n = kFixedBufferSize;
  if (settings.BinaryLayout())
    out.WriteBinary(fixed_.get(), n);
  else
    out.WriteText(fixed_.get(), n);
}

void RecordLoop::WriteFixedHeader(ProductConverter& c, OutputFile& out,
                                  const LoopSettings& settings, RunState& run) {
  if (!run.FirstHeader || !c.TitlesPending) return;
  char* f = fixed_.get();
  f[0] = '\0';
  int n = c.FixedHeader(f);
  if (settings.BinaryLayout()) {
    WriteFixed(settings, out, n);
  } else {
    f[kFixedBufferSize - 1] = '\0';
    WriteZ(out, f);
  }
  run.FirstHeader = false;
}

void RecordLoop::WriteRecord(ProductConverter& c, OutputFile& out, const LoopSettings& settings,
                             const Selection& selection, RunState& run) {
  const std::int16_t code = c.ProductCodeValue();
  const int passes = ReceiverPasses(code);
  char* v = value_.get();
  for (c.LinesLeft = c.RepeatCount; c.LinesLeft != 0; --c.LinesLeft) {
    if (settings.FixedLayout) {
      WriteFixedHeader(c, out, settings, run);
      const int n = c.FixedRecord(fixed_.get());
      WriteFixed(settings, out, n);
      if (n > 0) ++lines_;
      continue;
    }
    for (int i = 1; i <= passes; ++i) {
      if (code == kProductTarvikExt && !c.SelectReceiver(static_cast<std::int16_t>(i))) continue;
      if (passes == 2) {
        if (c.SingleReceiver) {
          if (i > 1) continue;
        } else if (!c.SelectReceiver(static_cast<std::int16_t>(i))) {
          continue;
        }
      }
      ++c.RecordCount;
      bool wrote = false;
      for (int pos = 0; pos < selection.Count(); ++pos) {
        const std::int16_t tag = selection.Tags[pos];
        if (tag != kFieldData) {
          if (pos > 0) out.WriteTextChar(settings.Delimiter);
          v[0] = '\0';
          c.FieldValue(tag, v);
          if (v[0] != '\0') {
            WriteValue(out, v, value_.get());
            wrote = true;
          }
          continue;
        }
        v[0] = '\0';
        std::int16_t r = c.DataValues(0, v, settings.Delimiter);
        if (pos > 0 && r == 0) out.WriteTextChar(settings.Delimiter);
        while (r >= 0) {
          if (v[0] != '\0') {
            WriteValue(out, v, value_.get());
            wrote = true;
          }
          v[0] = '\0';
          r = c.DataValues(1, v, settings.Delimiter);
          if (r == 0) out.WriteTextChar(settings.Delimiter);
        }
      }
      if (wrote) {
        out.WriteTextChar('\n');
        ++lines_;
      }
    }
  }
  c.LinesLeft = 1;
}

FileResult RecordLoop::Run(ProductConverter& c, OutputFile& out, const LoopSettings& settings,
                           const Selection& selection, RunState& run, std::uint64_t inputSize) {
  lines_ = 0;
  const std::int16_t code = c.ProductCodeValue();
  c.SetReduction(settings.ReductionMode);
  const bool announcesTitles = code == kProductKesCard || code == kProductKesDump ||
                               code == kProductPelmor || code == kProductPelmorCard;
  if (!settings.FixedLayout && !announcesTitles) WriteTitles(c, out, selection, settings.Delimiter);

  std::uint8_t* buffer = record_.get();
  std::uint64_t consumed = 0;
  int shown = -1;
  PercentSteps steps(inputSize);
  // The end of the last record read: where the reader stopped, if it stops before the end.
  std::uint64_t stoppedAt = c.Input.Tell();
  const bool cancelledFirst = run.Cancelled();
  int n = cancelledFirst ? 0 : c.ReadRecord(buffer);
  c.RecordCount = 0;
  while (n != 0 && !run.Cancelled()) {
    stoppedAt = c.Input.Tell();
    consumed += static_cast<std::uint64_t>(n);
    const int percent = steps.At(consumed);
    if (percent != shown) {
      shown = percent;
      if (run.Progress) run.Progress(percent);
    }
    switch (c.ParseRecord(buffer)) {
      case kActionWrite:
        WriteRecord(c, out, settings, selection, run);
        break;
      case kActionMessage:
        c.MessageText[kMessageSize - 1] = '\0';
        WriteZ(out, c.MessageText);
        break;
      case kActionTitles:
        if (settings.FixedLayout)
          WriteFixedHeader(c, out, settings, run);
        else
          WriteTitles(c, out, selection, settings.Delimiter);
        break;
      case kActionTitlesThenWrite:
        if (settings.FixedLayout) {
          WriteFixedHeader(c, out, settings, run);
        } else {
          c.TitlesPending = true;
          WriteTitles(c, out, selection, settings.Delimiter);
        }
        WriteRecord(c, out, settings, selection, run);
        break;
      default:
        break;
    }
    n = c.ReadRecord(buffer);
  }
  if (settings.FixedLayout) {
    WriteFixed(settings, out, c.FixedTrailer(fixed_.get()));
  }
  FileResult result;
  result.Lines = lines_;
  // A loop that ends with a record still in hand was stopped by the cancel.
  result.Cancelled = cancelledFirst || n != 0;
  result.StoppedAt = stoppedAt;
  const std::uint64_t end = std::min(c.DataEnd(), c.Input.Size());
  if (!result.Cancelled && stoppedAt < end) result.Unread = end - stoppedAt;
  c.CloseInput();
  return result;
}

}  // namespace polvane
