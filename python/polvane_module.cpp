// The compiled part of the polvane Python module: identification, the offered fields, the file
// index and conversions, set up exactly as the command line sets them up. The Python package
// (polvane/__init__.py) turns the options into the command line's and the outcomes into
// exceptions and data frames.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>

#include "app/identify.h"
#include "app/main_form.h"
#include "cli/convert_command.h"
#include "convert/line_sink.h"
#include "convert/table_shape.h"

namespace py = pybind11;

namespace polvane {
namespace {

// The module's front end: no dialogs; messages are kept for the outcome of the call.
class ModuleHost : public Host {
 public:
  bool OpenFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool SaveFileDialog(const FileDialogSpec&, std::string&) override { return false; }
  bool ChooseFolder(std::string&) override { return false; }
  void ShowMessage(int type, const std::string& text) override {
    std::lock_guard lock(mutex_);
    messages_.emplace_back(type, text);
  }
  void Synchronize(const std::function<void()>& fn) override {
    std::lock_guard lock(syncMutex_);
    fn();
  }
  std::vector<std::pair<int, std::string>> Messages() {
    std::lock_guard lock(mutex_);
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::recursive_mutex syncMutex_;
  std::vector<std::pair<int, std::string>> messages_;
};

// What a call ended with, for the Python side to turn into a value, an exception or warnings:
// the command line's exit status, the messages of the run and the reason of a usage error.
struct Outcome {
  int status = kExitOk;
  std::vector<std::pair<int, std::string>> messages;
  std::string usage;
  bool interrupted = false;
};

// The passes of one call that an interrupt (Ctrl-C, an exception of the progress callback)
// stops.
struct Stoppable {
  std::atomic<bool> interrupted{false};
  std::atomic<Worker*> pass{nullptr};
  std::atomic<TMainForm*> converting{nullptr};
  std::atomic<int> percent{-1};
  void Stop() {
    interrupted = true;
    if (Worker* p = pass.load()) p->Terminate();
    if (TMainForm* f = converting.load()) f->btnCancelClick();
  }
};

// Runs `body` on a thread of its own. The calling thread gives up the GIL meanwhile, wakes every
// 50 ms to hand the progress to the callback on its own thread and to look for Ctrl-C; either
// raising stops the run and the exception reaches the caller once the run has ended.
void RunWithoutGil(const std::function<void()>& body, const py::object& progress, Stoppable& stop) {
  std::mutex m;
  std::condition_variable cv;
  bool finished = false;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      body();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(m);
    finished = true;
    cv.notify_all();
  });
  std::unique_ptr<py::error_already_set> raised;
  int shown = -1;
  for (bool done = false; !done;) {
    {
      py::gil_scoped_release nogil;
      std::unique_lock lock(m);
      cv.wait_for(lock, std::chrono::milliseconds(50), [&] { return finished; });
      done = finished;
    }
    if (raised) continue;
    if (PyErr_CheckSignals() != 0) {
      raised = std::make_unique<py::error_already_set>();
      stop.Stop();
      continue;
    }
    const int p = stop.percent.load();
    if (!progress.is_none() && p >= 0 && p != shown) {
      shown = p;
      try {
        progress(p);
      } catch (py::error_already_set& e) {
        raised = std::make_unique<py::error_already_set>(std::move(e));
        stop.Stop();
      }
    }
  }
  {
    py::gil_scoped_release nogil;
    worker.join();
  }
  if (raised) throw std::move(*raised);
  if (failure) std::rethrow_exception(failure);
  if (!progress.is_none() && shown != 100 && stop.percent.load() == 100) progress(100);
}

ConvertOptions OptionsFrom(const py::dict& d) {
  ConvertOptions o;
  auto text = [&](const char* key, std::string& field) {
    if (d.contains(key)) field = d[key].cast<std::string>();
  };
  auto flag = [&](const char* key, bool& field) {
    if (d.contains(key)) field = d[key].cast<bool>();
  };
  text("input", o.input);
  text("output", o.output);
  text("config", o.config);
  text("format", o.format);
  text("fields", o.fields);
  text("delimiter", o.delimiter);
  text("receivers", o.receivers);
  text("data", o.data);
  text("scan_type", o.scanType);
  text("drovel_mode", o.drovelMode);
  text("per_seconds", o.perSeconds);
  text("per_meters", o.perMeters);
  text("lambda_speed", o.lambda);
  text("deselect", o.deselect);
  text("save_config", o.saveConfig);
  flag("all_fields", o.allFields);
  flag("header", o.header);
  flag("no_header", o.noHeader);
  flag("best_server", o.bestServer);
  flag("split", o.split);
  o.quiet = true;
  return o;
}

// One conversion of a single file as `polvane convert` runs it, with `sink` (when given)
// receiving the lines as cells instead of the output file.
Outcome Convert(const ConvertOptions& o, const py::object& progress, LineSink* sink) {
  Outcome outcome;
  ModuleHost host;
  Stoppable stop;
  (void)sink;
  RunWithoutGil(
      [&] {
        try {
          TMainForm form(host);
          PreparedConvert prepared;
          int status = PrepareConvert(form, host, o, prepared);
          if (status < 0) {
            RunHooks hooks;
            hooks.progress = [&](RunStage stage, int percent) {
              if (stage == RunStage::Converting) stop.percent = percent;
            };
            hooks.interrupted = &stop.interrupted;
            hooks.pass = &stop.pass;
            hooks.converting = &stop.converting;
            RunStage stopped = RunStage::None;
            status = RunPrepared(form, o, prepared, hooks, stopped);
            outcome.interrupted = stopped != RunStage::None;
          }
          outcome.status = status;
        } catch (const UsageError& e) {
          outcome.status = kExitUsage;
          outcome.usage = e.reason;
        }
      },
      progress, stop);
  outcome.messages = host.Messages();
  return outcome;
}

py::tuple ToTuple(const Outcome& o) {
  return py::make_tuple(o.status, o.messages, o.usage, o.interrupted);
}

// The outcome of a file that cannot be read or is of no known product, as the command line
// reports it; status -1 when the file can be used.
Outcome Check(const std::string& path) {
  Outcome outcome;
  ModuleHost host;
  outcome.status = CheckInput(path, host);
  outcome.messages = host.Messages();
  return outcome;
}

}  // namespace
}  // namespace polvane

PYBIND11_MODULE(_polvane, m) {
  using namespace polvane;
  m.doc() = "Polvane CW: the converter of QVX CW receiver logs (compiled core).";

  m.def("identify", [](const std::string& path) {
    std::int16_t code;
    {
      py::gil_scoped_release nogil;
      code = IdentifyProduct(path);
    }
    return py::make_tuple(static_cast<int>(code), std::string(ProductLabel(code)));
  });
  m.def("check", [](const std::string& path) { return ToTuple(Check(path)); });
  m.def("fields", [](const std::string& path) {
    ModuleHost host;
    TMainForm form(host);
    form.AutoIndex = false;
    form.ChooseInputFile(path);
    return OfferedFieldList(form);
  });
  m.def("index", [](const std::string& path) {
    ModuleHost host;
    std::vector<IndexNode> nodes;
    {
      py::gil_scoped_release nogil;
      TMainForm form(host);
      form.AutoIndex = false;
      form.ChooseInputFile(path);
      BuildIndex(form, nullptr);
      nodes = IndexListing(form);
    }
    py::list result;
    for (const IndexNode& n : nodes) result.append(py::make_tuple(n.label, n.sections));
    return result;
  });
  m.def(
      "convert",
      [](const py::dict& options, const py::object& progress) {
        return ToTuple(Convert(OptionsFrom(options), progress, nullptr));
      },
      py::arg("options"), py::arg("progress") = py::none());
  m.attr("INFORMATION") = static_cast<int>(kInformation);
  m.attr("WARNING") = static_cast<int>(kWarning);
  m.attr("ERROR") = static_cast<int>(kError);
}
