// Runs the polvane command as a user's shell would, for the tests of the command line.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>

#include "support/bytes.h"

namespace polvane::testing {

struct CommandResult {
  int status;  // the exit status; -1 when the command did not exit or ran out of time
  std::string out, err;
};

// Runs `command` through the shell, its standard output and error captured in files of
// `dir`. With `seconds` above 0 the command is ended after that long.
inline CommandResult RunCommand(const ScratchDir& dir, const std::string& command,
                                int seconds = 0) {
  const std::string out = dir.File("stdout"), err = dir.File("stderr");
  const std::string timed = seconds > 0 ? "timeout " + std::to_string(seconds) + " " : "";
  const int raw = std::system((timed + command + " >" + out + " 2>" + err).c_str());
  int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  if (seconds > 0 && status == 124) status = -1;
  return {status, ReadFile(out), ReadFile(err)};
}

#ifdef POLVANE_CLI
// `polvane ARGS`.
inline CommandResult RunPolvane(const ScratchDir& dir, const std::string& args, int seconds = 0) {
  return RunCommand(dir, std::string(POLVANE_CLI) + " " + args, seconds);
}
#endif

}  // namespace polvane::testing
