#include "index/reduction_dialogs.h"

#include <cctype>
#include <charconv>
#include <cmath>

#include "app/main_form.h"
#include "index/make_list.h"

namespace polvane {

double ReadDecimal(const std::string& text) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  double v = 0;
  const auto result = std::from_chars(p, end, v, std::chars_format::general);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond a double: too small with a negative exponent, too large otherwise.
    bool tiny = false;
    for (const char* q = p; q + 1 < result.ptr; ++q)
      if ((*q == 'e' || *q == 'E') && q[1] == '-') tiny = true;
    v = tiny ? 0 : HUGE_VAL;
  } else if (result.ec != std::errc()) {
    return 0;
  }
  return negative ? -v : v;
}

double TLambdaDlg::MetresPerSecond() const {
  double s = ReadDecimal(LambdaSpeed.Text());
  if (MPHchoice.Checked()) s *= 1.609;  // kilometres per hour
  return s * 1000 * (1.0 / 3600);
}

bool TLambdaDlg::SpeedIsNumber() const {
  const std::string text = LambdaSpeed.Text();
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  while (end > p && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
  if (p < end && (*p == '+' || *p == '-')) ++p;
  double v = 0;
  const auto result = std::from_chars(p, end, v, std::chars_format::general);
  return p < end && result.ec == std::errc() && result.ptr == end && std::isfinite(v);
}

TGeneratorDlg::TGeneratorDlg(TMainForm& form)
    : Control(kGeneratorCaption, true, false), form_(form) {
  ProgressBar.SetPosition(0);
}

TGeneratorDlg::~TGeneratorDlg() {
  StopWorker();
}

void TGeneratorDlg::OKBtnClick() {
  StopWorker();
  worker_.reset();
  // One worker drives the converter at a time: an index being built and a conversion finish
  // first.
  form_.WaitForIndexing();
  form_.WaitForConversion();
  worker_ = std::make_unique<TMakeList>(form_, *this);
  worker_->Start();
}

void TGeneratorDlg::CancelBtnClick() {
  if (worker_) worker_->Terminate();
  SetVisible(false);
}

void TGeneratorDlg::WaitForWorker() {
  if (worker_) form_.host().WaitFor(*worker_);
}

void TGeneratorDlg::StopWorker() {
  if (!worker_) return;
  worker_->Terminate();
  form_.host().WaitFor(*worker_);
}

bool TGeneratorDlg::Gathering() const {
  return worker_ && worker_->Running();
}

std::string TGeneratorDlg::GatheredFile() const {
  std::lock_guard lock(gatheredLock_);
  return gatheredFile_;
}

void TGeneratorDlg::SetGatheredFile(std::string path) {
  std::lock_guard lock(gatheredLock_);
  gatheredFile_ = std::move(path);
}

}  // namespace polvane
