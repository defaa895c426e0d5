// Headless controls of the main window. The converters and the workers read the conversion
// settings straight from these objects, also from worker threads, so every state that a worker
// reads is an atomic or is guarded by the control's own lock. The Qt window mirrors them.
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <mutex>
#include <string>
#include <vector>

namespace polvane {

class Control {
 public:
  explicit Control(std::string caption = {}, bool enabled = true, bool visible = true)
      : caption_(std::move(caption)), enabled_(enabled), visible_(visible) {}
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;
  virtual ~Control() = default;

  std::string Caption() const {
    std::lock_guard lock(captionLock_);
    return caption_;
  }
  void SetCaption(std::string caption) {
    {
      std::lock_guard lock(captionLock_);
      if (caption_ == caption) return;
      caption_ = std::move(caption);
    }
    Notify();
  }
  bool Enabled() const { return enabled_.load(std::memory_order_relaxed); }
  bool Visible() const { return visible_.load(std::memory_order_relaxed); }
  void SetEnabled(bool on) { Set(enabled_, on); }
  void SetVisible(bool on) { Set(visible_, on); }

  // The view's hook: called after any state of this control changed (on the changing thread).
  std::function<void()> Changed;

 protected:
  template <class T, class V>
  void Set(std::atomic<T>& field, V value) {
    if (field.exchange(static_cast<T>(value), std::memory_order_relaxed) != static_cast<T>(value))
      Notify();
  }
  void Notify() {
    if (Changed) Changed();
  }

 private:
  mutable std::mutex captionLock_;
  std::string caption_;
  std::atomic<bool> enabled_;
  std::atomic<bool> visible_;
};

class CheckBox : public Control {
 public:
  explicit CheckBox(std::string caption, bool checked = false, bool enabled = true,
                    bool visible = true)
      : Control(std::move(caption), enabled, visible), checked_(checked) {}
  bool Checked() const { return checked_.load(std::memory_order_relaxed); }
  virtual void SetChecked(bool on) { Set(checked_, on); }

 private:
  std::atomic<bool> checked_;
};

// A radio button belongs to a set in which at most one button is checked.
class RadioButton : public CheckBox {
 public:
  using CheckBox::CheckBox;
  void SetChecked(bool on) override {
    if (on)
      for (RadioButton* other : siblings_)
        if (other != this) other->CheckBox::SetChecked(false);
    CheckBox::SetChecked(on);
  }
  static void Join(std::initializer_list<RadioButton*> set) {
    for (RadioButton* b : set) b->siblings_.assign(set.begin(), set.end());
  }

 private:
  std::vector<RadioButton*> siblings_;
};

// A group of exclusive items with one item index; assigning a different index runs OnClick.
class RadioGroup : public Control {
 public:
  RadioGroup(std::string caption, std::vector<std::string> items, int index, bool enabled = true,
             bool visible = true)
      : Control(std::move(caption), enabled, visible), items_(std::move(items)), index_(index) {}

  const std::vector<std::string>& Items() const { return items_; }
  int ItemIndex() const { return index_.load(std::memory_order_relaxed); }
  // Out-of-range values are clamped to -1 (no item) or the last item before OnClick runs.
  void SetItemIndex(int index) {
    if (index < 0) index = -1;
    if (index >= static_cast<int>(items_.size())) index = static_cast<int>(items_.size()) - 1;
    if (index_.exchange(index) == index) return;
    Notify();
    if (OnClick) OnClick();
  }

  std::function<void()> OnClick;

 private:
  const std::vector<std::string> items_;
  std::atomic<int> index_;
};

class EditField : public Control {
 public:
  explicit EditField(std::string text = {}, std::size_t maxLength = 0, bool readOnly = false,
                     bool enabled = true, bool visible = true)
      : Control({}, enabled, visible),
        text_(std::move(text)),
        maxLength_(maxLength),
        readOnly_(readOnly) {}
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void SetText(std::string text) {
    {
      std::lock_guard lock(mutex_);
      if (text_ == text) return;
      text_ = std::move(text);
    }
    Notify();
  }
  std::size_t MaxLength() const { return maxLength_; }
  bool ReadOnly() const { return readOnly_; }

 private:
  mutable std::mutex mutex_;
  std::string text_;
  const std::size_t maxLength_;
  const bool readOnly_;
};

class ListBox : public Control {
 public:
  explicit ListBox(std::vector<std::string> items = {}, bool enabled = true, bool visible = true)
      : Control({}, enabled, visible), items_(std::move(items)) {}

  std::vector<std::string> Items() const {
    std::lock_guard lock(mutex_);
    return items_;
  }
  int Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(items_.size());
  }
  std::string Item(int i) const {
    std::lock_guard lock(mutex_);
    return i >= 0 && i < static_cast<int>(items_.size()) ? items_[i] : std::string();
  }
  void Add(std::string item) {
    {
      std::lock_guard lock(mutex_);
      items_.push_back(std::move(item));
    }
    Notify();
  }
  void Delete(int i) {
    {
      std::lock_guard lock(mutex_);
      if (i < 0 || i >= static_cast<int>(items_.size())) return;
      items_.erase(items_.begin() + i);
      if (index_ >= static_cast<int>(items_.size())) index_ = static_cast<int>(items_.size()) - 1;
    }
    Notify();
  }
  void Clear() {
    {
      std::lock_guard lock(mutex_);
      items_.clear();
      index_ = -1;
    }
    Notify();
  }
  int ItemIndex() const {
    std::lock_guard lock(mutex_);
    return index_;
  }
  void SetItemIndex(int i) {
    {
      std::lock_guard lock(mutex_);
      index_ = i >= 0 && i < static_cast<int>(items_.size()) ? i : -1;
    }
    Notify();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> items_;
  int index_ = -1;
};

// A drop-down list with an edit text; assigning the item index sets the text and never runs a
// change handler (the window's handler runs only for user changes).
class ComboBox : public Control {
 public:
  ComboBox(std::vector<std::string> items, std::string text, bool enabled = true,
           bool visible = true)
      : Control({}, enabled, visible), items_(std::move(items)), text_(std::move(text)) {}
  const std::vector<std::string>& Items() const { return items_; }
  int ItemIndex() const { return index_.load(std::memory_order_relaxed); }
  void SetItemIndex(int i) {
    if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
    index_.store(i);
    if (i >= 0) SetTextQuiet(items_[i]);
    Notify();
  }
  std::string Text() const {
    std::lock_guard lock(mutex_);
    return text_;
  }
  void SetText(std::string text) {
    SetTextQuiet(std::move(text));
    Notify();
  }

 private:
  void SetTextQuiet(std::string text) {
    std::lock_guard lock(mutex_);
    text_ = std::move(text);
  }
  const std::vector<std::string> items_;
  std::atomic<int> index_{-1};
  mutable std::mutex mutex_;
  std::string text_;
};

// A whole-number percentage from 0 to 100, shown as a filled bar.
class Gauge : public Control {
 public:
  int Position() const { return position_.load(std::memory_order_relaxed); }
  void SetPosition(int p) { Set(position_, p < 0 ? 0 : (p > 100 ? 100 : p)); }

 private:
  std::atomic<int> position_{0};
};

}  // namespace polvane
