// The map writers as a module of their own: a run that writes no map format never maps GDAL, a
// map run loads the module beside the program, and a program without a usable module refuses
// the map formats as a usage error and still writes everything else.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/bytes.h"
#include "support/command_run.h"

namespace polvane {
namespace {

using namespace polvane::testing;
namespace fs = std::filesystem;

const std::string kSample =
    (fs::path(POLVANE_SOURCE_DIR) / "samples" / "drive-tarvik.tvf").string();

// The shared objects the dynamic loader opened for a run, as LD_DEBUG=files tells them.
CommandResult LoaderRun(const ScratchDir& dir, const std::string& args) {
  return RunCommand(dir, "LD_DEBUG=files " + std::string(POLVANE_CLI) + " " + args);
}

TEST(GisModule, OnlyAMapRunLoadsGdal) {
  ScratchDir dir;
  const CommandResult delimited =
      LoaderRun(dir, "convert -q " + kSample + " " + dir.File("drive.csv"));
  ASSERT_EQ(delimited.status, 0) << delimited.err;
  EXPECT_EQ(delimited.err.find("libgdal"), std::string::npos);
  EXPECT_EQ(delimited.err.find("polvane_gis.so"), std::string::npos);

  const CommandResult map =
      LoaderRun(dir, "convert -q -f geojson " + kSample + " " + dir.File("drive.geojson"));
  ASSERT_EQ(map.status, 0) << map.err;
  EXPECT_NE(map.err.find("polvane_gis.so"), std::string::npos);
  EXPECT_NE(map.err.find("libgdal"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(dir.File("drive.geojson")));
}

// A copy of the program in a folder of its own, with `module` (when given) as its module.
std::string LoneProgram(const ScratchDir& dir, const char* module) {
  const fs::path folder = dir.Path() / "bin";
  fs::create_directories(folder);
  fs::copy_file(POLVANE_CLI, folder / "polvane");
  if (module) std::ofstream(folder / "polvane_gis.so") << module;
  return (folder / "polvane").string();
}

TEST(GisModule, WithoutTheModuleTheMapFormatsAreAUsageError) {
  ScratchDir dir;
  const std::string program = LoneProgram(dir, nullptr);
  for (const char* format : {"gpkg", "geojson", "kml", "shp"}) {
    const std::string output = dir.File(std::string("drive.") + format);
    const CommandResult r =
        RunCommand(dir, program + " convert -q -f " + format + " " + kSample + " " + output);
    EXPECT_EQ(r.status, 2) << format << ": " << r.err;
    EXPECT_NE(r.err.find("polvane_gis.so"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("cannot be written"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(output)) << format;
  }
  // Everything else is written as the full program writes it.
  const CommandResult lone =
      RunCommand(dir, program + " convert -q " + kSample + " " + dir.File("lone.csv"));
  const CommandResult full = RunPolvane(dir, "convert -q " + kSample + " " + dir.File("full.csv"));
  ASSERT_EQ(lone.status, 0) << lone.err;
  ASSERT_EQ(full.status, 0) << full.err;
  EXPECT_EQ(ReadFile(dir.File("lone.csv")), ReadFile(dir.File("full.csv")));
}

TEST(GisModule, AModuleThatCannotBeLoadedIsAUsageError) {
  ScratchDir dir;
  const std::string program = LoneProgram(dir, "not a shared object\n");
  const std::string output = dir.File("drive.gpkg");
  const CommandResult r =
      RunCommand(dir, program + " convert -q -f gpkg " + kSample + " " + output);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_NE(r.err.find("cannot be loaded"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(output));
}

}  // namespace
}  // namespace polvane
