// The average-information worker: reads the main window's input file once through the current
// converter with the gathering flag set, shows its progress in the average-information dialog
// and leaves the records per second of the file in the converter.
#pragma once

#include <string>

#include "app/worker.h"
#include "convert/conversion_settings.h"

namespace polvane {

class TMainForm;
class TGeneratorDlg;

class TMakeList : public Worker {
 public:
  TMakeList(TMainForm& form, TGeneratorDlg& dialog);
  ~TMakeList() override { Stop(); }

  // Runs the pass on the calling thread (the command line and the tests use it).
  void Run() { Execute(); }
  // Whether the last run went through the whole file.
  bool Completed() const { return completed_; }

 protected:
  void Execute() override;

 private:
  TMainForm& form_;
  TGeneratorDlg& dialog_;
  // The window's settings when the pass was asked for: the reader reads them, not the window.
  const ConversionSettings settings_;
  // The file to read, as the window named it when the pass was asked for.
  const std::string path_;
  bool completed_ = false;
};

}  // namespace polvane
