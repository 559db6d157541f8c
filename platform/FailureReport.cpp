#include "platform/FailureReport.h"

#include "platform/FileSystemService.h"

namespace virdo {

namespace {

constexpr const char* kHeading = "The updater stopped: an operation failed.\n\n";
constexpr const char* kNothingUndone =
    "\n\nWhatever was done on the keyboard's drive until then stays as it is.";

}  // namespace

std::string FailureReport(const std::exception& error) {
  std::string text = kHeading;
  if (const auto* fs = dynamic_cast<const FileSystemError*>(&error)) {
    text += "Operation: " + fs->operation() + "\nPath: " + fs->path();
    if (!fs->location().empty()) text += "\nLocation: " + fs->location();
    text += "\nReason: " + fs->reason();
  } else {
    text += std::string("Reason: ") + error.what();
  }
  return text + kNothingUndone;
}

}  // namespace virdo
