// The tool's command line: a command, its files and the options that shape
// the result.
#pragma once

#include <string>
#include <vector>

#include "image/Limits.h"
#include "tools/CodecSettings.h"

enum class Command { Help, Convert, Compress, Decompress, Info };

struct ToolOptions {
  Command command = Command::Help;
  std::string input;
  std::string output;
  CompressionChoice compression;
  int jpegQuality = 75;
  bool progress = true;  // shown only when stderr is a terminal
  uint64_t maxPixels = kDefaultMaxPixels;  // largest image any reader allocates for
};

struct ParseResult {
  ToolOptions options;
  std::string error;  // empty when the command line is usable
};

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

std::string UsageText();
