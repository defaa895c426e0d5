// The indexing worker: reads the chosen file once through the current converter and adds a
// node to the selection tree for every section the reader reports.
#pragma once

#include <cstdint>
#include <string>

#include "app/worker.h"
#include "convert/conversion_settings.h"

namespace polvane {

class TMainForm;
class ProductConverter;

class TMakeIndex : public Worker {
 public:
  TMakeIndex(TMainForm& form, std::int16_t productCode);
  ~TMakeIndex() override { Stop(); }

  // Runs the indexing on the calling thread (the command line and the tests use it).
  void Run() { Execute(); }
  // The last percentage shown on the gauge during the run.
  int LastShown() const { return lastShown_; }

 protected:
  void Execute() override;

 private:
  TMainForm& form_;
  const std::int16_t code_;
  // The window's settings when the index was asked for: the reader reads them, not the window.
  const ConversionSettings settings_;
  // The file to index, as the window named it when the index was asked for.
  const std::string path_;
  int lastShown_ = 0;
};

}  // namespace polvane
