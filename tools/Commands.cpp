#include "tools/Commands.h"

#include <ostream>
#include <string>
#include <vector>

#include "tools/FileFormat.h"
#include "tools/ImageFiles.h"
#include "tools/TvxHeader.h"

namespace {

int Fail(std::ostream& err, const std::string& message) {
  err << "tavix: " << message << "\n";
  return ExitFailure;
}

SaveSettings SettingsFrom(const ToolOptions& options) {
  SaveSettings settings;
  settings.compression = options.compression;
  settings.jpegQuality = options.jpegQuality;
  settings.progress = options.progress;
  return settings;
}

// Load, then write in the output's format.
int Transfer(const ToolOptions& options, std::ostream& err) {
  SourceImage source;
  Status status = LoadSource(options.input, source, options.progress, options.maxPixels);
  if (!status.ok()) return Fail(err, status.message());
  status = SaveSource(options.output, source, SettingsFrom(options));
  if (!status.ok()) return Fail(err, status.message());
  return ExitOk;
}

// Both paths must name formats the direction can use before any work starts.
int CheckFormats(const ToolOptions& options, std::ostream& err) {
  const FileFormat in = FormatFromPath(options.input);
  const FileFormat out = FormatFromPath(options.output);
  if (!CanRead(in)) return Fail(err, "'" + options.input + "' is not a supported format (unknown extension)");
  if (!CanWrite(out)) return Fail(err, "'" + options.output + "' is not a supported format for writing");
  if (options.compression.customised && out != FileFormat::Tvx)
    return Fail(err, "compression options apply only to .tvx output");
  return ExitOk;
}

int Convert(const ToolOptions& options, std::ostream& err) {
  const int result = CheckFormats(options, err);
  return result != ExitOk ? result : Transfer(options, err);
}

int Compress(const ToolOptions& options, std::ostream& err) {
  if (FormatFromPath(options.output) != FileFormat::Tvx)
    return Fail(err, "compress writes a .tvx file; '" + options.output + "' has another extension");
  return Convert(options, err);
}

int Decompress(const ToolOptions& options, std::ostream& err) {
  if (FormatFromPath(options.input) != FileFormat::Tvx)
    return Fail(err, "decompress reads a .tvx file; '" + options.input + "' has another extension");
  if (FormatFromPath(options.output) == FileFormat::Tvx)
    return Fail(err, "decompress writes a raster format; use convert to re-encode a .tvx file");
  return Convert(options, err);
}

int Info(const ToolOptions& options, std::ostream& out, std::ostream& err) {
  if (FormatFromPath(options.input) == FileFormat::Tvx) {
    TvxHeaderInfo header;
    Status status = ReadTvxHeader(options.input, header);
    if (!status.ok()) return Fail(err, status.message());
    out << DescribeTvxHeader(header);
    return ExitOk;
  }
  SourceImage source;
  Status status = LoadSource(options.input, source, false, options.maxPixels);
  if (!status.ok()) return Fail(err, status.message());
  out << DescribeSource(source);
  return ExitOk;
}

}  // namespace

int RunCommand(const ToolOptions& options, std::ostream& out, std::ostream& err) {
  switch (options.command) {
    case Command::Help:
      out << UsageText();
      return ExitOk;
    case Command::Convert: return Convert(options, err);
    case Command::Compress: return Compress(options, err);
    case Command::Decompress: return Decompress(options, err);
    case Command::Info: return Info(options, out, err);
  }
  return ExitUsage;
}

int RunTool(int argc, const char* const* argv, std::ostream& out, std::ostream& err) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  const ParseResult parsed = ParseCommandLine(args);
  if (!parsed.error.empty()) {
    err << "tavix: " << parsed.error << "\n";
    return ExitUsage;
  }
  return RunCommand(parsed.options, out, err);
}
