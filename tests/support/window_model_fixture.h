// A window model with a scratch folder and a scripted front end, and the steps its tests take
// as a user would: choose a layout, name the folders of a folder run, press "CONVERT".
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/main_form.h"
#include "support/bytes.h"
#include "support/test_host.h"

namespace polvane::testing {

// The message of a run that converted everything it was given.
inline const std::vector<std::string> kCompleted{"Information: Conversion Has Been Completed!"};

class WindowModelTest : public ::testing::Test {
 protected:
  // Chooses list index `index` of the output formats as a click on it does.
  void ChooseFormat(int index) {
    form.OutputFormatGroup.SetItemIndex(index);
    form.OutputFormatGroupChange();
  }
  // Multiple-files mode over every `pattern` file of `in`, written into `out` with extension
  // `ext`.
  void ChooseFolders(const std::string& in, const std::string& out, const std::string& ext,
                     const std::string& pattern = "*.tvf") {
    form.rbMultipleFiles.SetChecked(true);
    form.FileModeClick();
    form.edInFolder.SetText(in);
    form.edOutFolder.SetText(out);
    form.cbInputExt.SetText(pattern);
    form.edOutputExt.SetText(ext);
  }
  // Converts as "CONVERT" does, waits for the run and returns the messages it showed.
  std::vector<std::string> ConvertNow() {
    host.ClearMessages();
    form.btnConvertClick();
    form.WaitForConversion();
    return host.MessageLines();
  }

  ScratchDir dir;
  TestHost host;
  TMainForm form{host};
};

}  // namespace polvane::testing
