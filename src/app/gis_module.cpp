#include "app/gis_module.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <mutex>
#include <utility>
#include <vector>

#include "convert/output_file.h"

namespace polvane {

namespace {

// The folder of the file that holds this code: the program, or the shared object (the Python
// extension) it is linked into.
std::string OwnFolder() {
  Dl_info info{};
  link_map* map = nullptr;
  std::string file;
  if (::dladdr1(reinterpret_cast<void*>(&OwnFolder), &info, reinterpret_cast<void**>(&map),
                RTLD_DL_LINKMAP) != 0 &&
      map && map->l_prev && map->l_name && map->l_name[0] != '\0') {
    // A shared object, named as it was loaded (relative to the folder of that time, which is
    // most likely still the current one).
    char path[PATH_MAX];
    if (map->l_name[0] == '/')
      file = map->l_name;
    else if (::realpath(map->l_name, path))
      file = path;
  }
  if (file.empty()) {
    // The program itself (the first object of the loader's list).
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return {};
    file.assign(path, static_cast<std::size_t>(n));
  }
  const std::size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct Loaded {
  const GisWriters* Writers = nullptr;
  std::string Why;
};

Loaded Load() {
  Loaded loaded;
  const std::string folder = OwnFolder();
  std::vector<std::string> names;
  if (!folder.empty()) {
    names.push_back(folder + "/" + kGisModuleFile);
    names.push_back(folder + "/../lib/polvane/" + kGisModuleFile);
  }
  std::string tried;
  for (const std::string& name : names) {
    if (!IsFile(name)) {
      tried += (tried.empty() ? "" : ", ") + name;
      continue;
    }
    void* handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
      const char* error = ::dlerror();
      loaded.Why = "the map writers " + name + " cannot be loaded (" +
                   (error ? error : "no reason given") + ")";
      return loaded;
    }
    const auto entry = reinterpret_cast<GisModuleEntry>(::dlsym(handle, kGisModuleEntry));
    static const GisModuleHost host{kGisModuleVersion, sizeof(GisOptions), sizeof(Line),
                                    sizeof(Cell),      &RememberTemporary, &ForgetTemporary};
    loaded.Writers = entry ? entry(&host) : nullptr;
    if (!loaded.Writers) {
      // Left loaded: a module that refused may still have made something that lives on.
      loaded.Why = "the map writers " + name + " were built for another version of polvane";
      return loaded;
    }
    return loaded;
  }
  loaded.Why = std::string("the map writers (") + kGisModuleFile +
               ") are not installed: looked for " + (tried.empty() ? "nothing" : tried);
  return loaded;
}

}  // namespace

bool GisFormatOfName(std::string_view name, GisFormat& format) {
  static constexpr std::pair<std::string_view, GisFormat> kNames[] = {
      {"GeoPackage", GisFormat::GeoPackage},
      {"GeoJSON", GisFormat::GeoJson},
      {"KML", GisFormat::Kml},
      {"ESRI Shapefile", GisFormat::Shapefile}};
  for (const auto& [n, f] : kNames)
    if (n == name) {
      format = f;
      return true;
    }
  return false;
}

const GisWriters* LoadGisWriters(std::string* why) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { loaded = Load(); });
  if (!loaded.Writers && why) *why = loaded.Why;
  return loaded.Writers;
}

std::string GisWritersMissing() {
  std::string why;
  return LoadGisWriters(&why) ? std::string() : why;
}

}  // namespace polvane
