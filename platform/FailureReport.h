// The text shown when an operation fails and the program has to end.
#pragma once

#include <exception>
#include <string>

namespace virdo {

// Names the operation, the path and the system's reason where the failure
// carries them (FileSystemError), else whatever the exception says.
std::string FailureReport(const std::exception& error);

}  // namespace virdo
