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
#include <limits>
#include <mutex>
#include <thread>

#include "app/identify.h"
#include "app/main_form.h"
#include "cli/convert_command.h"
#include "convert/line_sink.h"
#include "convert/output_formats.h"
#include "convert/table_shape.h"

namespace py = pybind11;

namespace polvane {
namespace {

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
  text("threshold", o.threshold);
  text("traffic", o.traffic);
  text("channels", o.channels);
  text("save_config", o.saveConfig);
  text("layout", o.layout);
  text("color_thresholds", o.colorThresholds);
  text("color_column", o.colorColumn);
  flag("all_fields", o.allFields);
  flag("header", o.header);
  flag("no_header", o.noHeader);
  flag("best_server", o.bestServer);
  flag("split", o.split);
  o.quiet = true;
  return o;
}

// The lines of a conversion as the columns of a data frame, in one of the table shapes. Columns
// are added as they appear (rows before are null) and keep the text of every value as well as
// its number, since a column's type can still widen while later lines are learnt.
class FrameCollector : public LineSink {
 public:
  explicit FrameCollector(TableLayout layout) : shape_(layout) {}

  void Write(const Line& line) override {
    shape_.Learn(line);
    while (columns_.size() < shape_.Columns().size()) {
      columns_.emplace_back();
      columns_.back().Reserve(rows_);
    }
    shape_.ForEachRow(line, [&](std::span<const TableValue> values) {
      for (std::size_t c = 0; c < columns_.size(); ++c)
        columns_[c].Add(c < values.size() ? values[c] : TableValue{});
      ++rows_;
    });
  }
  void Message(std::string_view text) override { messages_.emplace_back(text); }
  bool WantsPlace() const override { return false; }

  // The frame's columns in the delimited output's order: (name, type, values, nulls), the values
  // an int64 or float64 array or a list of str, the nulls a bool array.
  py::list Columns() const {
    py::list result;
    for (std::size_t c : shape_.Order()) {
      const TableColumn& column = shape_.Columns()[c];
      const Column& data = columns_[c];
      const std::size_t n = rows_;
      py::array_t<bool> nulls(static_cast<py::ssize_t>(n));
      bool* null = nulls.mutable_data();
      for (std::size_t r = 0; r < n; ++r) null[r] = !data.Present(r);
      const char* type = "str";
      py::object values;
      if (column.Type == ColumnType::Integer) {
        type = "int64";
        py::array_t<std::int64_t> a(static_cast<py::ssize_t>(n));
        std::int64_t* v = a.mutable_data();
        for (std::size_t r = 0; r < n; ++r)
          v[r] = data.Present(r) ? data.numbers[r - data.first].Integer : 0;
        values = std::move(a);
      } else if (column.Type == ColumnType::Real) {
        type = "float64";
        py::array_t<double> a(static_cast<py::ssize_t>(n));
        double* v = a.mutable_data();
        for (std::size_t r = 0; r < n; ++r)
          v[r] = data.Present(r) ? data.numbers[r - data.first].AsReal()
                                 : std::numeric_limits<double>::quiet_NaN();
        values = std::move(a);
      } else {
        py::list texts(n);
        for (std::size_t r = 0; r < n; ++r) {
          if (!data.Present(r)) {
            texts[r] = py::none();
          } else {
            const std::string_view t = data.Text(r);
            texts[r] = py::reinterpret_steal<py::object>(
                PyUnicode_DecodeLatin1(t.data(), static_cast<py::ssize_t>(t.size()), nullptr));
          }
        }
        values = std::move(texts);
      }
      result.append(py::make_tuple(column.Name, type, values, nulls));
    }
    return result;
  }
  const std::vector<std::string>& Messages() const { return messages_; }

 private:
  struct Number {
    ColumnType Type;
    std::int64_t Integer;
    double Real;
    double AsReal() const {
      return Type == ColumnType::Integer ? static_cast<double>(Integer) : Real;
    }
  };
  struct Column {
    std::size_t first = 0;  // rows before the column was made
    std::string chars;
    std::vector<std::size_t> ends;
    std::vector<Number> numbers;
    std::vector<std::uint8_t> present;
    void Reserve(std::size_t rows) { first = rows; }
    void Add(const TableValue& v) {
      present.push_back(v.Null ? 0 : 1);
      if (!v.Null) chars.append(v.Text);
      ends.push_back(chars.size());
      numbers.push_back({v.Type, v.Integer, v.Real});
    }
    bool Present(std::size_t row) const { return row >= first && present[row - first]; }
    std::string_view Text(std::size_t row) const {
      const std::size_t k = row - first;
      const std::size_t begin = k == 0 ? 0 : ends[k - 1];
      return std::string_view(chars).substr(begin, ends[k] - begin);
    }
  };

  TableShape shape_;
  std::vector<Column> columns_;
  std::size_t rows_ = 0;
  std::vector<std::string> messages_;
};

// Hands the lines of the run's one output to the caller's sink, which outlives the run.
class ForwardingSink : public LineSink {
 public:
  explicit ForwardingSink(LineSink& to) : to_(to) {}
  bool WantsTitles() const override { return to_.WantsTitles(); }
  bool WantsPlace() const override { return to_.WantsPlace(); }
  bool WantsCellDetails() const override { return to_.WantsCellDetails(); }
  std::optional<char> JoinedBy() const override { return to_.JoinedBy(); }
  void Titles(const Line& titles) override { to_.Titles(titles); }
  void Write(const Line& line) override { to_.Write(line); }
  void Message(std::string_view text) override { to_.Message(text); }
  bool EndFile() override { return to_.EndFile(); }

 private:
  LineSink& to_;
};

// One conversion of a single file as `polvane convert` runs it, with `sink` (when given)
// receiving the lines as cells instead of the output file.
Outcome Convert(const ConvertOptions& o, const py::object& progress, LineSink* sink) {
  Outcome outcome;
  KeptMessagesHost host;
  Stoppable stop;
  RunWithoutGil(
      [&] {
        try {
          TMainForm form(host);
          PreparedConvert prepared;
          std::atomic<bool> missingColorColumn{false};
          InstallGisWriters(form, &missingColorColumn);
          if (sink)
            form.LineSinkFactory = [sink](const std::string&) {
              return std::make_unique<ForwardingSink>(*sink);
            };
          int status = PrepareConvert(form, host, o, prepared);
          // A fixed layout is written as records of its own, not as lines.
          if (status < 0 && sink && form.FixedLayout)
            throw UsageError{
                "format: " + std::string(kOutputFormatItems[form.OutputFormatGroup.ItemIndex()]) +
                " is a fixed layout, not lines; polvane.convert writes it"};
          const OutputFormatRow* row = FindOutputFormat(form.OutputFormatGroup.ItemIndex());
          if (status < 0 && sink && row && row->Writer == FormatWriter::kGis)
            throw UsageError{"format: " + std::string(row->Name) +
                             " is a map format, not lines; polvane.convert writes it"};
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
          if (missingColorColumn) {
            outcome.status = kExitUsage;
            outcome.usage =
                "color_column: these lines have no numeric attribute \"" + o.colorColumn + "\"";
          }
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
  KeptMessagesHost host;
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
    KeptMessagesHost host;
    TMainForm form(host);
    form.AutoIndex = false;
    form.ChooseInputFile(path);
    return OfferedFieldList(form);
  });
  m.def("index", [](const std::string& path) {
    KeptMessagesHost host;
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
  m.def(
      "read",
      [](const py::dict& options, const std::string& layout, const py::object& progress) {
        TableLayout shape = TableLayout::Wide;
        if (!ParseTableLayout(layout, shape))
          throw py::value_error("layout: wide or long, not " + layout);
        FrameCollector frame(shape);
        const Outcome outcome = Convert(OptionsFrom(options), progress, &frame);
        return py::make_tuple(ToTuple(outcome), frame.Columns(), frame.Messages());
      },
      py::arg("options"), py::arg("layout") = "wide", py::arg("progress") = py::none());
  m.attr("INFORMATION") = static_cast<int>(kInformation);
  m.attr("WARNING") = static_cast<int>(kWarning);
  m.attr("ERROR") = static_cast<int>(kError);
}
