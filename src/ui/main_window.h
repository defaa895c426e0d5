// The main window: a view of the window model TMainForm. It creates the widgets of the four
// steps, mirrors every control of the model into its widget (and the user's changes back), and
// hands clicks to the model's handlers. The model does the work; the workers reach the window
// only through the host's Synchronize.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "app/main_form.h"
#include "ui/qt_host.h"
#include "ui/window_settings.h"

class QAbstractButton;
class QAction;
class QMenu;
class QComboBox;
class QFrame;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

namespace polvane {

class GeneratorDialog;
class IndexTree;
class LambdaDialog;
class PercentGauge;
class TAboutDlg;
class THelp_Form;
class ThresholdDialog;
class ChannelListDialog;
class ColorThresholdsDialog;
class TOpenFolderDlg;
class TrafficDialog;
class TWaitDlg;
class ViewsPane;

// The size the window opens at; it can be resized, down to what its steps need.
inline constexpr int kMainWidth = 1440;
inline constexpr int kMainHeight = 800;

class MainWindow : public QMainWindow {
  Q_OBJECT

 public:
  // host: the front end the model reports through; a plain QtHost when none is given.
  explicit MainWindow(std::unique_ptr<QtHost> host = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  TMainForm& Form() { return *form_; }
  QtHost& host() { return *host_; }

  TAboutDlg* AboutDlg() const { return about_; }
  LambdaDialog* LambdaDlg() const { return lambda_; }
  TrafficDialog* TrafficDlg() const { return traffic_; }
  GeneratorDialog* GeneratorDlg() const { return generator_; }
  ThresholdDialog* ThresholdDlg() const { return threshold_; }
  ChannelListDialog* ChannelListDlg() const { return channels_; }
  TWaitDlg* WaitDlg() const { return wait_; }
  THelp_Form* HelpForm() const { return help_; }
  TOpenFolderDlg* OpenFolderDlg() const { return folder_; }
  IndexTree* Tree() const { return tree_; }
  PercentGauge* ProgressBar() const { return gauge_; }
  QLabel* Clock() const { return clock_; }
  QTimer* Timer() const { return timer_; }
  ViewsPane* Views() const { return views_; }
  ColorThresholdsDialog* ColorDlg() const { return colors_; }
  // The status of the run beside the gauge: its pace while it converts, its summary after.
  QLabel* RunStatusLabel() const { return runStatus_; }
  // "Recent Files" of the Application menu.
  QMenu* RecentMenu() const { return recent_; }

  // A file named on the command line: chosen as "Browse" chooses it.
  void ChooseInputFile(const QString& path);
  // The clock of the status bar: the local time of day.
  void TimerTimer();
  // A file dropped on the window or chosen from "Recent Files": a configuration is opened as
  // "Open Configuration" opens it, a log is chosen as "Browse" chooses it (in single-file mode).
  // Nothing happens while a conversion runs.
  void OpenFile(const QString& path, bool configuration);

 signals:
  // A dropped file was handed to OpenFile.
  void fileDropped(const QString& path);

 protected:
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QFrame* Step(int number, const QString& title, QLayout* header, QLayout* content);
  QFrame* BuildStep1();
  QFrame* BuildStep2();
  QFrame* BuildStep3();
  QFrame* BuildStep4();
  void BuildMenu();
  void BuildStatusBar();
  void FillRecentMenu();
  void RefreshRecentMenu();
  void OpenRecent(RecentFile file);
  // Closes (or opens again) the controls that would change a running conversion.
  void LockForRun(bool running);

  // Widgets made for a control of the model, wired both ways.
  QRadioButton* Radio(RadioButton& control, const char* name);
  QAbstractButton* Check(CheckBox& control, const char* name, QAbstractButton* button = nullptr);
  QLineEdit* Edit(EditField& control, const char* name, std::vector<QWidget*> companions = {});
  QPushButton* Button(Control& control, const char* name, std::function<void()> onClick);
  QPushButton* Browse(const char* name, std::function<void()> onClick);
  QGroupBox* Group(RadioGroup& control, const char* name, int columns, QGridLayout** grid);
  QListWidget* List(ListBox& control, const char* name);
  QComboBox* Combo(ComboBox& control, const char* name, bool editable);

  // Hooks `refresh` to the control's changes (run on the GUI thread) once the widgets stand.
  // A control of the settings also has the views look again; the run's own state (its gauge,
  // status and lock) and the map's colours leave the lines as they are.
  enum class Follow { Views, Widget };
  void Mirror(Control& control, std::function<void()> refresh, Follow follow = Follow::Views);
  void RunOnGui(std::function<void()> fn);

  std::unique_ptr<QtHost> host_;
  std::unique_ptr<TMainForm> form_;
  std::vector<std::function<void()>> bindings_;

  IndexTree* tree_ = nullptr;
  PercentGauge* gauge_ = nullptr;
  QLabel* clock_ = nullptr;
  QTimer* timer_ = nullptr;
  TAboutDlg* about_ = nullptr;
  LambdaDialog* lambda_ = nullptr;
  TrafficDialog* traffic_ = nullptr;
  GeneratorDialog* generator_ = nullptr;
  ThresholdDialog* threshold_ = nullptr;
  ChannelListDialog* channels_ = nullptr;
  TWaitDlg* wait_ = nullptr;
  THelp_Form* help_ = nullptr;
  TOpenFolderDlg* folder_ = nullptr;
  ViewsPane* views_ = nullptr;
  ColorThresholdsDialog* colors_ = nullptr;
  QLabel* runStatus_ = nullptr;
  QMenu* recent_ = nullptr;
  // What a conversion closes while it runs: the first three steps and the menu entries that
  // change the settings. "CONVERT" is closed by the model.
  std::vector<QWidget*> runLocked_;
  std::vector<QAction*> runLockedActions_;
  bool centred_ = false;
};

}  // namespace polvane
