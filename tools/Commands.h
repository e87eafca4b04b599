// The tool's commands. Each returns the process exit code and writes its
// result to `out` and one-line errors to `err`.
#pragma once

#include <iosfwd>

#include "tools/Options.h"

enum : int { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

int RunCommand(const ToolOptions& options, std::ostream& out, std::ostream& err);

// Parses the arguments and runs the command.
int RunTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err);
