// The tool's command line: a command, its files and the options that shape
// the result.
#pragma once

#include <string>
#include <vector>

#include "image/Limits.h"
#include "tools/CodecSettings.h"

enum class Command { Help, Version, Convert, Compress, Decompress, Info };

// How much the tool says besides results and errors.
enum class Verbosity { Quiet, Normal, Verbose };

struct ToolOptions {
  Command command = Command::Help;
  Command helpTopic = Command::Help;  // the command `--help` describes; Help for all
  std::string input;                  // the first input file
  std::vector<std::string> inputs;    // every input (info and batch compress take several)
  std::string output;
  std::string outDir;                 // batch compress: one output per input in this folder
  std::string fromFormat;             // --from: input format name, when given
  std::string toFormat;               // --to: output format name, when given
  CompressionChoice compression;
  int jpegQuality = 75;
  bool progress = true;  // shown only when stderr is a terminal
  bool psnr = false;     // compress: also decode the result and report PSNR
  Verbosity verbosity = Verbosity::Normal;
  uint64_t maxPixels = kDefaultMaxPixels;  // largest image any reader allocates for
  int threads = -1;  // codec threads: -1 as TAVIX_THREADS or the machine says, 0 the machine's cores
};

struct ParseResult {
  ToolOptions options;
  std::string error;  // empty when the command line is usable
};

// Parses the arguments after the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& args);

// The general usage text, or the help of one command.
std::string UsageText(Command topic = Command::Help);
std::string VersionText();
