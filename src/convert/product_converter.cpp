#include "convert/product_converter.h"

#include <cstring>

#include "app/form_controls.h"
#include "index/tree_node.h"

namespace polvane {

ProductConverter::ProductConverter(int16_t productCode) : productCode_(productCode) {
  SectionNodes.assign(1, nullptr);
  SetOffered(OfferList(productCode));
}

ProductConverter::~ProductConverter() = default;

void ProductConverter::SetOffered(std::span<const std::int16_t> fields) {
  OfferedCount = 0;
  for (std::int16_t f : fields)
    if (OfferedCount < kMaxOffered) OfferedFields[OfferedCount++] = f;
}

void ProductConverter::DecodeGpsBlock() {
  const std::uint8_t* g = RawGps.data();
  Gps.Latitude = static_cast<std::int32_t>(ReadBE32(g, 11)) / 3600000.0;
  Gps.Longitude = static_cast<std::int32_t>(ReadBE32(g, 15)) / 3600000.0;
  Gps.Value19 = static_cast<std::int32_t>(ReadBE32(g, 19));
  Gps.Value7 = static_cast<std::int32_t>(ReadBE32(g, 7));
  Gps.Value2 = static_cast<std::int16_t>(ReadBE16(g, 2));
  Gps.Value27 = static_cast<std::int16_t>(ReadBE16(g, 27));
  Gps.Value29 = static_cast<std::int16_t>(ReadBE16(g, 29));
  Gps.Value31 = static_cast<std::int16_t>(ReadBE16(g, 31));
  const int singles[9] = {0, 1, 4, 5, 6, 33, 34, 35, 68};
  for (int i = 0; i < 9; ++i) Gps.Bytes[i] = g[singles[i]];
  std::memcpy(Gps.Groups, g + 36, sizeof Gps.Groups);
}

void ProductConverter::BindReceiverBoxes(FormControls& form) {
  Form = &form;
  ReceiverBoxes = form.ReceiverBoxes;
}

int ProductConverter::OpenInput(const std::string& path) {
  CurrentMode = -1;
  ModeChanges = 0;
  RecordCount = 0;
  TitlesPending = true;
  SkipMode = false;
  SectionStarted = false;
  if (!Input.Open(path)) return -1;
  return 0;
}

void ProductConverter::CloseInput() {
  Input.Close();
}

int16_t ProductConverter::DataTitles(int16_t, char*, char) {
  return 0;
}
int16_t ProductConverter::DataValues(int16_t, char*, char) {
  return 0;
}
void ProductConverter::FieldValue(int16_t, char*) {}
int ProductConverter::ReadRecord(std::uint8_t*) {
  return 0;
}
int16_t ProductConverter::ParseRecord(std::uint8_t*) {
  return kActionNone;
}
int ProductConverter::FixedHeader(char*) {
  return 0;
}
int ProductConverter::FixedRecord(char*) {
  return 0;
}
int ProductConverter::FixedTrailer(char*) {
  return 0;
}

int ProductConverter::SetReduction(int16_t mode) {
  ReductionMode = mode;
  AverageArea.fill(0);
  if (mode == kReduceLambda) LambdaFlag = true;
  return 0;
}

int16_t ProductConverter::AverageSamples(int16_t) {
  return 0;
}
int16_t ProductConverter::LambdaWindow(int16_t) {
  return 0;
}
bool ProductConverter::SelectReceiver(int16_t) {
  return false;
}

void ProductConverter::EnterConvertedSection(int16_t slot) {
  CurrentMode = slot;
  SkipMode = BatchMode ? false : !SectionSelected(ModeChanges + 1);
  ++ModeChanges;
}

bool ProductConverter::SectionSelected(int ordinal) const {
  if (ordinal <= 0 || ordinal >= static_cast<int>(SectionNodes.size())) return true;
  const TreeNode* node = SectionNodes[ordinal];
  return node == nullptr || node->Selected();
}

void ProductConverter::SetSectionNode(int ordinal, TreeNode* node) {
  if (ordinal <= 0) return;
  if (ordinal >= static_cast<int>(SectionNodes.size())) SectionNodes.resize(ordinal + 1, nullptr);
  SectionNodes[ordinal] = node;
}

bool ProductConverter::ReceiverChecked(int n) const {
  return n >= 1 && n <= 4 && ReceiverBoxes[n - 1] && ReceiverBoxes[n - 1]->Checked();
}

}  // namespace polvane
