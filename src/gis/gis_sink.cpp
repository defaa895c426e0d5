#include "gis/gis_sink.h"

#include <cpl_conv.h>
#include <cpl_error.h>
#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert/output_file.h"
#include "gis/gpkg_index.h"

namespace polvane {

namespace fs = std::filesystem;

std::string ShapefileNamesPath(const std::string& output) {
  fs::path p(output);
  p.replace_extension(".names.txt");
  return p.string();
}

namespace {

// Where the names of the datasets' temporaries are handed for the interrupt handler.
void (*gRememberTemporary)(const char*) = &RememberTemporary;
void (*gForgetTemporary)(const char*) = &ForgetTemporary;

}  // namespace

void SetTemporaryRegistry(void (*remember)(const char*), void (*forget)(const char*)) {
  gRememberTemporary = remember;
  gForgetTemporary = forget;
}

namespace {

constexpr std::size_t kShapefileMaxFields = 255;
constexpr std::size_t kShapefileNameLength = 10;
constexpr const char* kCircleIcon =
    "http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png";

std::string Directory(const std::string& output) {
  const fs::path parent = fs::path(output).parent_path();
  return parent.empty() ? std::string(".") : parent.string();
}

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
  if (s.size() < tail.size()) return false;
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char a = s[s.size() - tail.size() + i];
    if (std::tolower(static_cast<unsigned char>(a)) != tail[i]) return false;
  }
  return true;
}

// The lines of one output as they came, in a file beside the output that has no name (it is
// removed as soon as it is made), so that nothing of it stays behind whatever ends the run. The
// lines go through a buffer of the spool's own and are read back in place from another: a line
// is a head (its cell count and place), then per cell a cell head and the cell's text.
class Spool {
 public:
  Spool() = default;
  Spool(const Spool&) = delete;
  Spool& operator=(const Spool&) = delete;
  ~Spool() {
    if (fd_ >= 0) ::close(fd_);
  }

  bool Open(const std::string& output, std::string& error) {
    std::string name = Directory(output) + "/." + fs::path(output).filename().string() + ".XXXXXX";
    fd_ = ::mkstemp(name.data());
    if (fd_ < 0) {
      error = PathError(name, errno);
      return false;
    }
    ::unlink(name.c_str());
    buffer_.Reserve(kBlock);
    return true;
  }

  bool Put(const Line& line) {
    const std::size_t n = line.Cells.size();
    if (last_.size() < n) last_.resize(n);
    heads_.resize(n);
    // A line of the same cells as the last one (titles, kinds, receivers, readings), as most
    // lines of a log are, keeps only each cell's length, in a byte.
    bool same = n == previous_;
    // A line of the last line's layout has its titles: their numbers are not looked up again.
    const bool titled = same && line.Layout != 0 && line.Layout == layout_;
    layout_ = line.Layout;
    std::size_t size = sizeof(Head);
    for (std::size_t i = 0; i < n; ++i) {
      const Cell& c = line.Cells[i];
      const std::uint32_t title = titled ? heads_[i].Title : TitleId(c.Title, last_[i]);
      const auto kind = static_cast<std::uint8_t>(c.Kind);
      // Compared field by field with the cell itself: a head made on the stack and compared
      // whole waited on its own narrow stores, the most costly step of a line.
      CellHead& was = heads_[i];
      same = same && was.Title == title && was.Reading == c.Reading && was.Kind == kind &&
             was.Receiver == c.Receiver && c.Text.size() <= 0xff;
      was.Title = title;
      was.Length = static_cast<std::uint32_t>(c.Text.size());
      was.Reading = c.Reading;
      was.Kind = kind;
      was.Receiver = c.Receiver;
      size += c.Text.size();
    }
    previous_ = n;
    size += n * (same ? 1 : sizeof(CellHead));
    if (buffer_.size() + size > kBlock && !Drain()) return false;
    const std::size_t at = buffer_.size();
    buffer_.Resize(at + size);
    char* to = buffer_.data() + at;
    const Head head{static_cast<std::uint32_t>(n), same, line.Place, line.Layout};
    to = Copy(to, &head, sizeof head);
    for (std::size_t i = 0; i < n; ++i) {
      const Cell& c = line.Cells[i];
      if (same)
        *to++ = static_cast<char>(c.Text.size());
      else
        to = Copy(to, &heads_[i], sizeof(CellHead));
      to = Copy(to, c.Text.data(), c.Text.size());
    }
    return true;
  }

  bool Rewind() {
    if (!Drain() || ::lseek(fd_, 0, SEEK_SET) != 0) return false;
    read_ = 0;
    return true;
  }

  // The next line, its views valid until the next call; false at the end or when the spool
  // cannot be read.
  bool Next(Line& line) {
    Head head{};
    if (!Take(sizeof head)) return false;
    std::memcpy(&head, buffer_.data() + read_, sizeof head);
    // The whole line in the buffer, so that its texts are viewed where they are.
    std::size_t size = sizeof head;
    if (head.Same) {
      // The cells of the last line, each with a length of its own.
      if (head.Cells != cells_.size()) return false;
      for (std::uint32_t i = 0; i < head.Cells; ++i) {
        if (!Take(size + 1)) return false;
        const auto length = static_cast<unsigned char>(buffer_.data()[read_ + size]);
        textAt_[i] = {size + 1, length};
        size += 1 + length;
      }
    }
    cells_.resize(head.Cells);
    textAt_.resize(head.Cells);
    for (std::uint32_t i = 0; i < head.Cells && !head.Same; ++i) {
      CellHead ch{};
      if (!Take(size + sizeof ch)) return false;
      std::memcpy(&ch, buffer_.data() + read_ + size, sizeof ch);
      if (ch.Title >= views_.size()) return false;
      size += sizeof ch;
      cells_[i] =
          Cell{views_[ch.Title], static_cast<CellKind>(ch.Kind), {}, ch.Receiver, ch.Reading};
      textAt_[i] = {size, ch.Length};
      size += ch.Length;
    }
    if (!Take(size)) return false;
    const char* base = buffer_.data() + read_;
    for (std::uint32_t i = 0; i < head.Cells; ++i)
      cells_[i].Text = std::string_view(base + textAt_[i].first, textAt_[i].second);
    read_ += size;
    line.Cells = cells_;
    line.Place = head.Place;
    line.Layout = head.Layout;
    return true;
  }

 private:
  static constexpr std::size_t kBlock = 1 << 20;

  static char* Copy(char* to, const void* from, std::size_t size) {
    if (size) std::memcpy(to, from, size);
    return to + size;
  }

  // Writes the buffer's lines to the file.
  bool Drain() {
    const char* at = buffer_.data();
    std::size_t left = buffer_.size();
    while (left > 0) {
      const ssize_t n = ::write(fd_, at, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      at += n;
      left -= static_cast<std::size_t>(n);
    }
    buffer_.Resize(0);
    return true;
  }

  // At least `size` unread bytes in the buffer from read_ on (reading more, the unread part
  // moved to the front); false at the end of the file or when it cannot be read.
  bool Take(std::size_t size) {
    if (buffer_.size() - read_ >= size) return true;
    buffer_.DropFront(read_);
    read_ = 0;
    const std::size_t want = std::max(size, kBlock);
    while (buffer_.size() < size) {
      const std::size_t at = buffer_.size();
      buffer_.Resize(want);
      const ssize_t n = ::read(fd_, buffer_.data() + at, want - at);
      if (n < 0 && errno == EINTR) {
        buffer_.Resize(at);
        continue;
      }
      buffer_.Resize(at + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
      if (n <= 0) return false;
    }
    return true;
  }

  struct Head {
    std::uint32_t Cells;
    bool Same;  // the cells of the last line: only their lengths, a byte each, before the texts
    LinePlace Place;
    std::uint64_t Layout;
  };
  struct CellHead {
    std::uint32_t Title, Length;
    std::uint16_t Reading;
    std::uint8_t Kind, Receiver;
  };
  // Lines of one log repeat their titles: the title of the same cell of the last line is
  // compared first.
  std::uint32_t TitleId(std::string_view title, std::uint32_t& last) {
    if (last < views_.size() && views_[last] == title) return last;
    std::string key(title);
    auto it = ids_.find(key);
    if (it == ids_.end()) {
      titles_.push_back(key);
      views_.push_back(titles_.back());
      it = ids_.emplace(std::move(key), static_cast<std::uint32_t>(titles_.size() - 1)).first;
    }
    return last = it->second;
  }

  // Bytes whose new part is left as it is (it is written over at once): a vector's resize would
  // fill each megabyte read or line put with zeros first.
  class Bytes {
   public:
    char* data() { return data_.get(); }
    std::size_t size() const { return size_; }
    void Reserve(std::size_t n) {
      if (n <= capacity_) return;
      std::unique_ptr<char[]> more(new char[n]);
      if (size_) std::memcpy(more.get(), data_.get(), size_);
      data_ = std::move(more);
      capacity_ = n;
    }
    void Resize(std::size_t n) {
      if (n > capacity_) Reserve(std::max(n, 2 * capacity_));
      size_ = n;
    }
    // Moves the bytes after the first n to the front.
    void DropFront(std::size_t n) {
      if (n < size_) std::memmove(data_.get(), data_.get() + n, size_ - n);
      size_ = n < size_ ? size_ - n : 0;
    }

   private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0, capacity_ = 0;
  };

  int fd_ = -1;
  Bytes buffer_;          // lines to write, then lines read and not yet taken
  std::size_t read_ = 0;  // where the next line starts in buffer_ while reading
  std::unordered_map<std::string, std::uint32_t> ids_;
  std::deque<std::string> titles_;       // where the titles stay while the spool lives
  std::vector<std::string_view> views_;  // the same, by id
  std::vector<std::uint32_t> last_;
  std::vector<CellHead> heads_;      // the cells of the last line put
  std::size_t previous_ = SIZE_MAX;  // its cell count (none before the first line)
  std::uint64_t layout_ = 0;         // and its Layout
  std::vector<Cell> cells_;
  std::vector<std::pair<std::size_t, std::size_t>> textAt_;  // a cell's text: offset, length
};

// GDAL's messages of the calling thread, kept instead of printed: the first failure says why a
// dataset could not be written.
class GdalErrors {
 public:
  GdalErrors() { CPLPushErrorHandlerEx(&Handler, this); }
  ~GdalErrors() { CPLPopErrorHandler(); }
  GdalErrors(const GdalErrors&) = delete;
  GdalErrors& operator=(const GdalErrors&) = delete;
  const std::string& First() const { return first_; }

 private:
  static void CPL_STDCALL Handler(CPLErr type, CPLErrorNum, const char* message) {
    auto* self = static_cast<GdalErrors*>(CPLGetErrorHandlerUserData());
    if (self && type >= CE_Failure && self->first_.empty()) self->first_ = message ? message : "";
  }
  std::string first_;
};

// GDAL settings of the calling thread for as long as a dataset is written, then the earlier ones.
class ThreadSettings {
 public:
  ThreadSettings() = default;
  ThreadSettings(const ThreadSettings&) = delete;
  ThreadSettings& operator=(const ThreadSettings&) = delete;
  ~ThreadSettings() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it)
      CPLSetThreadLocalConfigOption(it->first.c_str(),
                                    it->second.empty() ? nullptr : it->second.c_str());
  }
  void Set(const char* key, const char* value) {
    const char* old = CPLGetThreadLocalConfigOption(key, nullptr);
    saved_.emplace_back(key, old ? old : "");
    CPLSetThreadLocalConfigOption(key, value);
  }

 private:
  std::vector<std::pair<std::string, std::string>> saved_;
};

void RegisterDrivers() {
  static std::once_flag once;
  std::call_once(once, [] {
    // Each GeoPackage is written by one thread through its own connection: SQLite needs no
    // lock around every call on it, nor a count of its memory behind a lock of its own. (Too
    // late once SQLite has started; it then keeps its defaults.)
    sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    GDALAllRegister();
  });
}

// Unique short names of at most ten characters for the attribute names: a title that fits is
// kept; a longer one is cut, and a cut that another name took gets "_2", "_3", ... Names are
// compared without case, as the dBASE table does.
std::vector<std::string> ShortNames(const std::vector<std::string>& titles) {
  auto fold = [](std::string s) {
    for (char& ch : s) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    return s;
  };
  std::unordered_set<std::string> taken;
  for (const std::string& t : titles)
    if (t.size() <= kShapefileNameLength) taken.insert(fold(t));
  std::vector<std::string> names;
  std::unordered_set<std::string> given;
  for (const std::string& t : titles) {
    if (t.size() <= kShapefileNameLength && given.insert(fold(t)).second) {
      names.push_back(t);
      continue;
    }
    std::string base;
    for (char ch : t) {
      const bool keep = std::isalnum(static_cast<unsigned char>(ch)) != 0;
      if (keep)
        base += ch;
      else if (!base.empty() && base.back() != '_')
        base += '_';
    }
    if (base.empty()) base = "Field";
    std::string name = base.substr(0, kShapefileNameLength);
    for (int n = 2; taken.count(fold(name)) || given.count(fold(name)); ++n) {
      const std::string suffix = "_" + std::to_string(n);
      name = base.substr(0, kShapefileNameLength - suffix.size()) + suffix;
    }
    given.insert(fold(name));
    taken.insert(fold(name));
    names.push_back(name);
  }
  return names;
}

// The strongest level of a line: the largest number among its RSSI cells; false when it has none.
bool StrongestRssi(const Line& line, double& strongest) {
  bool any = false;
  for (const Cell& c : line.Cells) {
    if (c.Kind == CellKind::Text || c.Kind == CellKind::Time || c.Text.empty()) continue;
    if (c.Title.find("RSSI") == std::string_view::npos) continue;
    double v = 0;
    auto [end, ec] = std::from_chars(c.Text.data(), c.Text.data() + c.Text.size(), v);
    if (ec != std::errc() || end != c.Text.data() + c.Text.size()) continue;
    if (!any || v > strongest) strongest = v;
    any = true;
  }
  return any;
}

std::string KmlStyle(Rgb c) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "%02x%02x%02x", c.Red, c.Green, c.Blue);
  return std::string("SYMBOL(id:\"") + kCircleIcon + "\",c:#" + hex + "ff)";
}

class GisSink final : public LineSink {
 public:
  GisSink(std::string output, GisFormat format, const GisOptions& options)
      : output_(std::move(output)), format_(format), options_(options), shape_(options.Layout) {
    if (format_ == GisFormat::Shapefile && !EndsWithNoCase(output_, ".shp"))
      Fail(output_ + ": an ESRI Shapefile is named NAME.shp");
    else
      spooled_ = spool_.Open(output_, error_);
  }
  ~GisSink() override { RemoveTemporaries(); }

  void Write(const Line& line) override {
    if (!spooled_ || !error_.empty()) return;
    shape_.Learn(line);
    if (!spool_.Put(line)) {
      Fail(PathError(Directory(output_), errno));
      return;
    }
    ++lines_;
    if (!line.Place.HasPosition) ++unplaced_;
    if (!timed_) {
      char buf[32];
      timed_ = !IsoTimestamp(line.Place, buf).empty();
    }
    // Lines of one section come together: only a change of section is looked up.
    if ((sections_.empty() || sections_.back() != line.Place.Section) &&
        sectionIndex_.emplace(line.Place.Section, sections_.size()).second)
      sections_.push_back(line.Place.Section);
  }

  bool EndFile() override {
    if (!error_.empty()) return false;
    RegisterDrivers();
    GdalErrors errors;
    const bool ok = WriteDataset(errors) && Commit();
    if (!ok) {
      if (error_.empty())
        error_ = output_ + ": " + (errors.First().empty() ? "GDAL failed" : errors.First());
      RemoveTemporaries();
    }
    return ok;
  }

  std::string ErrorText() const override { return error_; }
  bool KeepsPartOnCancel() const override { return false; }

  std::string Note() const override {
    std::string note;
    if (unplaced_ > 0) {
      note = output_ + ": " + std::to_string(unplaced_) + " of " + std::to_string(lines_) +
             " lines had no position and were " +
             (format_ == GisFormat::Kml ? "left out (a KML point needs one)."
                                        : "written without a geometry.");
    }
    if (!namesFile_.empty()) {
      if (!note.empty()) note += "\n";
      note += output_ + ": the attributes' short names are listed in " + namesFile_ + ".";
    }
    return note;
  }

 private:
  bool Fail(std::string text) {
    if (error_.empty()) error_ = std::move(text);
    return false;
  }

  const char* DriverName() const {
    switch (format_) {
      case GisFormat::GeoPackage:
        return "GPKG";
      case GisFormat::GeoJson:
        return "GeoJSON";
      case GisFormat::Kml:
        return GetGDALDriverManager()->GetDriverByName("LIBKML") ? "LIBKML" : "KML";
      case GisFormat::Shapefile:
        return "ESRI Shapefile";
    }
    return "";
  }

  // The attribute names: the columns' names in their display order, shortened for a Shapefile,
  // then the timestamp's.
  bool FieldNames() {
    for (std::size_t c : shape_.Order()) titles_.push_back(shape_.Columns()[c].Name);
    if (timed_) {
      std::string name = "Timestamp";
      while (std::find(titles_.begin(), titles_.end(), name) != titles_.end()) name += "_UTC";
      titles_.push_back(name);
    }
    if (format_ == GisFormat::Kml) {
      // GDAL's KML writer puts the names into XML attributes as they are: the characters of
      // markup are left out ("<< FLEX DATA >>" is "FLEX DATA"), the names kept unique.
      std::unordered_set<std::string> given;
      for (const std::string& t : titles_) {
        std::string name;
        for (char ch : t)
          if (!std::strchr("<>&\"'", ch)) name += ch;
        while (!name.empty() && name.front() == ' ') name.erase(0, 1);
        while (!name.empty() && name.back() == ' ') name.pop_back();
        if (name.empty()) name = "Field";
        const std::string base = name;
        for (int n = 2; !given.insert(name).second; ++n)
          name = base + " (" + std::to_string(n) + ")";
        names_.push_back(name);
      }
      return true;
    }
    if (format_ != GisFormat::Shapefile) {
      names_ = titles_;
      return true;
    }
    if (titles_.size() > kShapefileMaxFields)
      return Fail(output_ + ": an ESRI Shapefile holds at most " +
                  std::to_string(kShapefileMaxFields) + " attributes, these lines have " +
                  std::to_string(titles_.size()) +
                  " (select fewer fields or receivers, or use the long layout)");
    names_ = ShortNames(titles_);
    return true;
  }

  // The column that colours the points, when one is chosen: it must be one of the layer's
  // numeric attributes.
  bool FindColorColumn() {
    const std::string& wanted = options_.ColorColumn;
    if (wanted.empty()) return true;
    const auto& columns = shape_.Columns();
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (columns[c].Name != wanted) continue;
      if (columns[c].Type == ColumnType::Text && options_.MissingColorColumn)
        *options_.MissingColorColumn = true;
      if (columns[c].Type == ColumnType::Text)
        return Fail(output_ + ": the points cannot be coloured by \"" + wanted +
                    "\": it holds text, not numbers");
      colorColumn_ = c;
      return true;
    }
    if (options_.MissingColorColumn) *options_.MissingColorColumn = true;
    std::string known;
    for (std::size_t c : shape_.Order())
      if (columns[c].Type != ColumnType::Text)
        known += (known.empty() ? "" : ", ") + columns[c].Name;
    return Fail(output_ + ": no attribute \"" + wanted + "\" to colour the points by (" +
                (known.empty() ? std::string("these lines have no numeric attribute")
                               : "the numeric ones: " + known) +
                ")");
  }

  // The names that writing the dataset can leave under the temporary name, known to the
  // interrupt handler: a second Ctrl-C ends the program at once and removes them.
  void RememberTemporaries() {
    ForgetTemporaries();
    for (const auto& [temp, out] : DatasetFiles()) temporaries_.push_back(temp);
    for (const char* tail : {"-journal", "-wal", "-shm"}) temporaries_.push_back(temp_ + tail);
    // Filled before any name is handed over: the texts stay where they are from here on.
    for (const std::string& t : temporaries_) gRememberTemporary(t.c_str());
  }
  void ForgetTemporaries() {
    for (const std::string& t : temporaries_) gForgetTemporary(t.c_str());
    temporaries_.clear();
  }

  bool MakeTemporary() {
    const std::string ext = format_ == GisFormat::Shapefile    ? ".shp"
                            : format_ == GisFormat::GeoPackage ? ".gpkg"
                            : format_ == GisFormat::GeoJson    ? ".geojson"
                                                               : ".kml";
    std::string name =
        Directory(output_) + "/." + fs::path(output_).stem().string() + ".XXXXXX" + ext;
    const int fd = ::mkstemps(name.data(), static_cast<int>(ext.size()));
    if (fd < 0) return Fail(PathError(name, errno));
    temp_ = name;
    RememberTemporaries();
    ::close(fd);
    ::unlink(name.c_str());  // the driver creates it afresh
    return true;
  }

  // Every file of the dataset under the temporary name (a Shapefile's companions too).
  std::vector<std::pair<std::string, std::string>> DatasetFiles() const {
    std::vector<std::pair<std::string, std::string>> files;
    if (format_ != GisFormat::Shapefile) {
      files.emplace_back(temp_, output_);
      return files;
    }
    const std::string tempStem = temp_.substr(0, temp_.size() - 4);
    const std::string outStem = output_.substr(0, output_.size() - 4);
    files.emplace_back(temp_, output_);
    for (const char* ext : {".shx", ".dbf", ".prj", ".cpg", ".qix"})
      files.emplace_back(tempStem + ext, outStem + ext);
    return files;
  }

  void RemoveTemporaries() {
    if (temp_.empty()) return;
    std::error_code ec;
    for (const auto& [temp, out] : DatasetFiles()) fs::remove(temp, ec);
    fs::remove(temp_ + "-journal", ec);
    fs::remove(temp_ + "-wal", ec);
    fs::remove(temp_ + "-shm", ec);
    ForgetTemporaries();
    temp_.clear();
  }

  bool WriteDataset(GdalErrors& errors) {
    (void)errors;
    if (!spool_.Rewind()) return Fail(PathError(Directory(output_), errno));
    if (!FieldNames() || !FindColorColumn()) return false;
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(DriverName());
    if (!driver) return Fail(output_ + ": GDAL has no " + DriverName() + " driver");
    if (!MakeTemporary()) return false;

    // The GeoPackage is a hidden temporary until it is complete: SQLite keeps no rollback journal
    // and does not wait for the disk after each commit.
    ThreadSettings settings;
    if (format_ == GisFormat::GeoPackage) {
      settings.Set("OGR_SQLITE_JOURNAL", "OFF");
      settings.Set("OGR_SQLITE_SYNCHRONOUS", "OFF");
      // The dataset is made without options and its layer with ones of the driver's list: GDAL
      // need not build that list to check them (for a GeoPackage it parses every tiling scheme
      // it knows, a tenth of the time of a small log's run).
      settings.Set("GDAL_VALIDATE_CREATION_OPTIONS", "NO");
    }
    // The attributes as KML's <Data> elements: the typed <SchemaData> costs the LIBKML writer
    // time that grows with the square of the placemarks of the whole document (a minute for a
    // few thousand), <Data> a constant time per placemark.
    if (format_ == GisFormat::Kml) settings.Set("LIBKML_USE_SIMPLEFIELD", "NO");
    GDALDataset* ds = driver->Create(temp_.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (!ds) return false;
    const bool ok = WriteLayers(*ds);
    // Closing writes what the drivers keep (a KML document, the GeoJSON's end, the GeoPackage's
    // tables).
    CPLErrorReset();
    GDALClose(ds);
    if (!ok || CPLGetLastErrorType() >= CE_Failure) return false;
    if (format_ == GisFormat::GeoPackage && !WriteGeoPackageRows()) return false;
    if (format_ == GisFormat::GeoPackage && !indexTable_.empty()) {
      // The points known from the writing, unless there were too many to keep.
      const std::string why = AddGeoPackageSpatialIndex(temp_, indexTable_, indexColumn_,
                                                        pointsLeft_ ? nullptr : &points_);
      std::vector<IndexedPoint>().swap(points_);
      if (!why.empty())
        return Fail(output_ + ": the spatial index could not be written (" + why + ")");
    }
    return true;
  }

  OGRLayer* MakeLayer(GDALDataset& ds, const std::string& name, bool fields) {
    OGRSpatialReference srs;
    srs.importFromEPSG(4326);
    srs.SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
    CPLStringList options;
    switch (format_) {
      case GisFormat::GeoJson:
        options.SetNameValue("RFC7946", "YES");
        break;
      case GisFormat::Kml:
        options.SetNameValue("FOLDER", "YES");
        break;
      case GisFormat::Shapefile:
        options.SetNameValue("ENCODING", "UTF-8");
        options.SetNameValue("2GB_LIMIT", "YES");
        break;
      case GisFormat::GeoPackage:
        // Packed in one pass once the features are written (AddGeoPackageSpatialIndex).
        options.SetNameValue("SPATIAL_INDEX", "NO");
        break;
    }
    OGRLayer* layer = ds.CreateLayer(name.c_str(), &srs, wkbPoint, options.List());
    if (!layer || !fields) return layer;
    if (format_ == GisFormat::GeoPackage) {
      indexTable_ = layer->GetName();
      indexColumn_ = layer->GetGeometryColumn();
      fidColumn_ = layer->GetFIDColumn();
    }
    const auto& columns = shape_.Columns();
    const auto& order = shape_.Order();
    // GDAL's plain KML writer starts each layer with fields of its own (Name, Description).
    fieldBase_ = layer->GetLayerDefn()->GetFieldCount();
    for (std::size_t k = 0; k < names_.size(); ++k) {
      OGRFieldType type = OFTString;
      if (k < order.size()) {
        const ColumnType t = columns[order[k]].Type;
        // KML's schema has no 64-bit integer type; the readers' integers fit 32 bits.
        const OGRFieldType integer = format_ == GisFormat::Kml ? OFTInteger : OFTInteger64;
        type = t == ColumnType::Integer ? integer : t == ColumnType::Real ? OFTReal : OFTString;
      } else if (format_ == GisFormat::GeoPackage || format_ == GisFormat::GeoJson) {
        type = OFTDateTime;
      }
      OGRFieldDefn field(names_[k].c_str(), type);
      if (format_ == GisFormat::Shapefile && type == OFTString) field.SetWidth(254);
      if (layer->CreateField(&field, FALSE) != OGRERR_NONE) return nullptr;
    }
    // The names the driver gave the fields, which its table's columns take.
    tableColumns_.clear();
    const OGRFeatureDefn* defn = layer->GetLayerDefn();
    for (int k = fieldBase_; k < defn->GetFieldCount(); ++k)
      tableColumns_.emplace_back(defn->GetFieldDefn(k)->GetNameRef());
    return layer;
  }

  // What colours the points, for the legend: "strongest RSSI", or the chosen column.
  std::string LevelName() const {
    return colorColumn_ == SIZE_MAX ? std::string("RSSI") : shape_.Columns()[colorColumn_].Name;
  }
  std::string BandLabel(std::size_t band) const {
    std::string label = options_.Colors.Label(band);
    if (colorColumn_ == SIZE_MAX) return label + " (strongest RSSI)";
    // The thresholds are in the column's own unit, which is dBm only for a level.
    if (LevelName().find("RSSI") == std::string::npos)
      if (const std::size_t unit = label.rfind(" dBm"); unit != std::string::npos)
        label.erase(unit, 4);
    return label + " (" + LevelName() + ")";
  }

  bool WriteLayers(GDALDataset& ds) {
    const bool kml = format_ == GisFormat::Kml;
    const std::string stem = fs::path(output_).stem().string();
    const SignalColors& colors = options_.Colors;
    std::vector<std::string> styles;
    if (kml) {
      // The bands as shared styles, and a legend folder with one placemark per band.
      OGRStyleTable table;
      for (std::size_t b = 0; b < colors.BandCount(); ++b) {
        styles.push_back("@band" + std::to_string(b));
        table.AddStyle(("band" + std::to_string(b)).c_str(), KmlStyle(colors.Color(b)).c_str());
      }
      styles.push_back("@nolevel");
      table.AddStyle("nolevel", KmlStyle(Rgb{128, 128, 128}).c_str());
      ds.SetStyleTable(&table);
      OGRLayer* legend = ds.CreateLayer("Legend", nullptr, wkbNone, nullptr);
      if (!legend) return false;
      int nameField = legend->GetLayerDefn()->GetFieldIndex("name");
      if (nameField < 0) {
        OGRFieldDefn name("name", OFTString);
        if (legend->CreateField(&name) != OGRERR_NONE) return false;
        nameField = legend->GetLayerDefn()->GetFieldIndex("name");
      }
      for (std::size_t b = 0; b <= colors.BandCount(); ++b) {
        OGRFeature f(legend->GetLayerDefn());
        const std::string label = b < colors.BandCount() ? BandLabel(b) : "no " + LevelName();
        f.SetField(nameField, label.c_str());
        f.SetStyleString(styles[b].c_str());
        if (legend->CreateFeature(&f) != OGRERR_NONE) return false;
      }
    }
    // One layer, or for KML one folder per section of the file index, in the order of the file.
    // A section is a run of consecutive records, so the KML folders are made and filled one
    // after the other, as the KML writer needs.
    const std::size_t count = kml ? std::max<std::size_t>(sections_.size(), 1) : 1;
    std::vector<OGRLayer*> layers(count, nullptr);
    std::vector<std::unique_ptr<OGRFeature>> features(count);
    auto layerAt = [&](std::size_t s) -> OGRLayer* {
      if (layers[s]) return layers[s];
      std::string name = stem;
      if (kml && s < sections_.size() && sections_[s] != 0)
        name = "Section " + std::to_string(sections_[s]);
      OGRLayer* layer = MakeLayer(ds, name, true);
      if (!layer) return nullptr;
      layers[s] = layer;
      features[s] = std::make_unique<OGRFeature>(layer->GetLayerDefn());
      return layer;
    };
    if (!kml && !layerAt(0)) return false;
    // A GeoPackage's rows go into its table through SQLite once GDAL has closed the file.
    if (format_ == GisFormat::GeoPackage) return true;

    FeatureRow row{nullptr, fieldBase_, format_ == GisFormat::GeoJson, {}};
    Line line;
    for (std::uint64_t n = 0; n < lines_; ++n) {
      if (!spool_.Next(line))
        return Fail(output_ + ": the lines kept for it could not be read back");
      const LinePlace& place = line.Place;
      if (kml && !place.HasPosition) continue;
      const std::size_t at = kml ? sectionIndex_[place.Section] : 0;
      OGRLayer* layer = layerAt(at);
      if (!layer) return false;
      OGRFeature& f = *features[at];
      char iso[32];
      const std::string_view stamp = IsoTimestamp(place, iso);
      double strongest = 0;
      const char* lineStyle = nullptr;
      if (kml && colorColumn_ == SIZE_MAX)
        lineStyle = StrongestRssi(line, strongest) ? styles[colors.Band(strongest)].c_str()
                                                   : styles.back().c_str();
      bool ok = true;
      shape_.ForEachRow(line, [&](std::span<const TableValue> values) {
        if (!ok) return;
        const char* style = lineStyle;
        if (kml && colorColumn_ != SIZE_MAX)
          style = colorColumn_ < values.size() && !values[colorColumn_].Null
                      ? styles[colors.Band(values[colorColumn_].AsReal())].c_str()
                      : styles.back().c_str();
        row.f = &f;
        PutRow(row, values, place, stamp);
        // The feature keeps its point from one row to the next; only a row after one without a
        // position makes a new one.
        OGRGeometry* geometry = f.GetGeometryRef();
        if (place.HasPosition && geometry) {
          OGRPoint* point = geometry->toPoint();
          point->setX(place.Longitude);
          point->setY(place.Latitude);
        } else if (place.HasPosition) {
          f.SetGeometryDirectly(new OGRPoint(place.Longitude, place.Latitude));
        } else if (geometry) {
          f.SetGeometryDirectly(nullptr);
        }
        if (style) f.SetStyleString(style);
        f.SetFID(OGRNullFID);
        ok = layer->CreateFeature(&f) == OGRERR_NONE;
      });
      if (!ok) return false;
    }
    return true;
  }

  // The GeoPackage's rows, from the kept lines into the table GDAL made, and their points for
  // the spatial index.
  bool WriteGeoPackageRows() {
    GeoPackageRows rows;
    const std::string why = rows.Open(temp_, indexTable_, fidColumn_, indexColumn_, tableColumns_);
    if (!why.empty()) return Fail(output_ + ": " + why);
    points_.reserve(std::min<std::uint64_t>(lines_ - unplaced_, kMaxPackedPoints));
    TableRow row{rows, {}};
    Line line;
    for (std::uint64_t n = 0; n < lines_; ++n) {
      if (!spool_.Next(line))
        return Fail(output_ + ": the lines kept for it could not be read back");
      const LinePlace& place = line.Place;
      char iso[32];
      const std::string_view stamp = IsoTimestamp(place, iso);
      bool ok = true;
      shape_.ForEachRow(line, [&](std::span<const TableValue> values) {
        if (!ok) return;
        PutRow(row, values, place, stamp);
        if (place.HasPosition) rows.Point(place.Longitude, place.Latitude);
        const std::int64_t fid = rows.Write();
        ok = fid != 0;
        if (ok && place.HasPosition) {
          if (points_.size() < kMaxPackedPoints)
            points_.push_back({fid, place.Longitude, place.Latitude});
          else
            pointsLeft_ = true;
        }
      });
      if (!ok) return Fail(output_ + ": " + rows.Error());
    }
    if (const std::string end = rows.Finish(); !end.empty()) return Fail(output_ + ": " + end);
    return true;
  }

  // A row's attributes in the order of the fields, then its time, through `row`'s Null,
  // Integer, Real, Text and Time.
  template <class Row>
  void PutRow(Row& row, std::span<const TableValue> values, const LinePlace& place,
              std::string_view stamp) const {
    const auto& columns = shape_.Columns();
    const auto& order = shape_.Order();
    for (std::size_t k = 0; k < order.size(); ++k) {
      const std::size_t c = order[k];
      const int field = static_cast<int>(k);
      if (c >= values.size() || values[c].Null) {
        row.Null(field);
        continue;
      }
      const TableValue& v = values[c];
      switch (columns[c].Type) {
        case ColumnType::Integer:
          row.Integer(field, v.Integer);
          break;
        case ColumnType::Real:
          row.Real(field, v.AsReal());
          break;
        case ColumnType::Text:
          row.Text(field, v.Text);
          break;
      }
    }
    if (timed_) {
      const int field = static_cast<int>(order.size());
      if (stamp.empty())
        row.Null(field);
      else
        row.Time(field, place, stamp);
    }
  }

  // A row of GDAL's feature `f`, its attributes after the fields the driver starts a layer
  // with.
  struct FeatureRow {
    OGRFeature* f;
    int base;
    bool dateTimes;  // the time as a date-time field, not as its text
    std::string text;

    void Null(int k) { f->SetFieldNull(base + k); }
    void Integer(int k, std::int64_t v) { f->SetField(base + k, static_cast<GIntBig>(v)); }
    void Real(int k, double v) { f->SetField(base + k, v); }
    void Text(int k, std::string_view v) {
      text.assign(v);
      f->SetField(base + k, text.c_str());
    }
    void Time(int k, const LinePlace& place, std::string_view stamp) {
      if (!dateTimes) return Text(k, stamp);
      // The parts of the text IsoTimestamp wrote, without GDAL reading them back.
      const long millis = std::lround(place.GpsSeconds * 1000);
      f->SetField(base + k, place.Year, place.Month, place.Day, static_cast<int>(millis / 3600000),
                  static_cast<int>(millis / 60000 % 60),
                  static_cast<float>(millis % 60000) / 1000.0f, 100);
    }
  };

  // A row of the GeoPackage's table. A time is the text GDAL gives a date-time field there:
  // always with its milliseconds, in UTC.
  struct TableRow {
    GeoPackageRows& rows;
    char time[40];

    void Null(int k) { rows.Null(k); }
    void Integer(int k, std::int64_t v) { rows.Integer(k, v); }
    void Real(int k, double v) { rows.Real(k, v); }
    void Text(int k, std::string_view v) { rows.Text(k, v); }
    void Time(int k, const LinePlace&, std::string_view stamp) {
      std::size_t n = std::min(stamp.size() - 1, sizeof time - 6);  // without its "Z"
      std::memcpy(time, stamp.data(), n);
      if (stamp.find('.') == std::string_view::npos) {
        std::memcpy(time + n, ".000", 4);
        n += 4;
      }
      time[n++] = 'Z';
      rows.Text(k, std::string_view(time, n));
    }
  };

  // The Shapefile's names beside their titles, then the dataset's files moved into place.
  bool Commit() {
    if (format_ == GisFormat::Shapefile) {
      OutputFile names;
      const std::string path = ShapefileNamesPath(output_);
      if (!names.Open(path)) return Fail(names.ErrorText());
      names.WriteText("Attribute\tTitle\n");
      for (std::size_t k = 0; k < names_.size(); ++k)
        names.WriteText(names_[k] + "\t" + titles_[k] + "\n");
      if (!names.Close()) return Fail(names.ErrorText());
      namesFile_ = path;
    }
    std::error_code ec;
    for (const auto& [temp, out] : DatasetFiles()) {
      if (!fs::exists(temp, ec)) {
        // A companion this run did not write must not stay from an earlier one.
        if (out != output_) fs::remove(out, ec);
        continue;
      }
      if (std::rename(temp.c_str(), out.c_str()) != 0) return Fail(PathError(out, errno));
    }
    ForgetTemporaries();
    temp_.clear();
    return true;
  }

  std::string output_;
  GisFormat format_;
  GisOptions options_;
  TableShape shape_;
  Spool spool_;
  bool spooled_ = false;
  std::string error_;
  std::uint64_t lines_ = 0, unplaced_ = 0;
  bool timed_ = false;
  std::vector<std::uint32_t> sections_;  // in the order the lines reach them
  std::unordered_map<std::uint32_t, std::size_t> sectionIndex_;
  std::vector<std::string> titles_, names_;
  std::string temp_, namesFile_;
  std::vector<std::string> temporaries_;
  std::string indexTable_, indexColumn_;   // the GeoPackage's layer and geometry column
  std::string fidColumn_;                  // the GeoPackage table's fid column
  std::vector<std::string> tableColumns_;  // the names of the layer's fields, in their order
  std::vector<IndexedPoint> points_;       // its points, for its spatial index
  bool pointsLeft_ = false;                // more than kMaxPackedPoints
  std::size_t colorColumn_ = SIZE_MAX;  // the column that colours the points; none: strongest RSSI
  int fieldBase_ = 0;                   // the index of the first attribute in the layers' features
};

}  // namespace

std::unique_ptr<LineSink> MakeGisSink(const std::string& output, GisFormat format,
                                      const GisOptions& options) {
  return std::make_unique<GisSink>(output, format, options);
}

}  // namespace polvane
