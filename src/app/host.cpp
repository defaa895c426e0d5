#include "app/host.h"

#include <cstdio>

#include "app/worker.h"

namespace polvane {

const char* MessageCaption(int type) {
  switch (type) {
    case kInformation:
      return "Information";
    case kWarning:
      return "Warning";
    default:
      return "Error";
  }
}

void Host::WaitFor(Worker& worker) {
  worker.WaitFor();
}

void ReportMessage(Host& host, int type, const char* format, ...) {
  char text[512];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  host.ShowMessage(type, text);
}

}  // namespace polvane
