#include "app/indexed_reader.h"

#include <sys/stat.h>

#include "app/form_controls.h"

namespace polvane {

IndexPassKey IndexPassKeyOf(const FormControls& form, const std::string& path,
                            std::int16_t product) {
  IndexPassKey key;
  key.Path = path;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    key.Found = true;
    key.Device = static_cast<std::uint64_t>(st.st_dev);
    key.Inode = static_cast<std::uint64_t>(st.st_ino);
    key.Size = static_cast<std::uint64_t>(st.st_size);
    key.ModifiedSeconds = static_cast<std::int64_t>(st.st_mtim.tv_sec);
    key.ModifiedNanoseconds = static_cast<std::int64_t>(st.st_mtim.tv_nsec);
  }
  key.Product = product;
  key.InputFormat = form.InputFormatGroup.ItemIndex();
  key.ScanType = form.ScanTypeGroup.ItemIndex();
  key.DrovelMode = form.DrovelMode.ItemIndex();
  for (int i = 0; i < 4; ++i) key.Receivers[i] = form.ReceiverBoxes[i]->Checked();
  key.Columns = {form.FrequencyField.Checked(), form.ChannelField.Checked(),
                 form.RSSIField.Checked(), form.SATField.Checked(), form.VMACField.Checked()};
  key.RecordSeconds = form.ORPS_Value.Text();
  return key;
}

void IndexedReaderSlot::Keep(std::unique_ptr<ProductConverter> reader, IndexPassKey key) {
  std::lock_guard lock(lock_);
  reader_ = std::move(reader);
  key_ = std::move(key);
}

std::unique_ptr<ProductConverter> IndexedReaderSlot::Take(const IndexPassKey& key) {
  std::lock_guard lock(lock_);
  if (!reader_ || !key.Found || !(key == key_)) return nullptr;
  return std::move(reader_);
}

void IndexedReaderSlot::Clear() {
  std::lock_guard lock(lock_);
  reader_.reset();
}

}  // namespace polvane
