#include "tools/Commands.h"

#include <cstdlib>

#include <filesystem>
#include <iostream>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "tools/FileFormat.h"
#include "tools/ImageFiles.h"
#include "tools/StdStreams.h"
#include "tools/Summary.h"
#include "tools/TerminalProgress.h"
#include "tools/TvxHeader.h"

namespace {

// What a command reports to: results on `out`, messages on `err`.
struct Reporter {
  const ToolOptions& options;
  std::ostream& out;
  std::ostream& err;

  int Fail(const std::string& message, int code = ExitFailure) const {
    err << "tavix: " << message << "\n";
    return code;
  }
  void Warn(const std::string& message) const { err << "tavix: warning: " << message << "\n"; }
  void Note(const std::string& message) const {
    if (options.verbosity == Verbosity::Verbose) err << "tavix: " << message << "\n";
  }
};

bool IsStdio(const std::string& name) { return name == "-"; }

std::string Shown(const std::string& name, bool input) {
  if (IsStdio(name)) return input ? "standard input" : "standard output";
  return "'" + name + "'";
}

// One input file and one output file of a convert, compress or decompress.
struct Job {
  std::string input;   // as given
  std::string output;  // as given
  std::string inPath;  // where it is read
  std::string outPath; // where it is written
  FileFormat inFormat = FileFormat::Unknown;
  FileFormat outFormat = FileFormat::Unknown;
  SaveSettings settings;
};

SaveSettings SettingsFrom(const ToolOptions& options) {
  SaveSettings settings;
  settings.compression = options.compression;
  settings.jpegQuality = options.jpegQuality;
  settings.progress = options.progress;
  settings.formatName = options.toFormat;
  return settings;
}

// Standard output without --to: .tvx for compress, PNM for decompress.
std::string DefaultStdoutFormat(Command command) {
  if (command == Command::Compress) return "tvx";
  if (command == Command::Decompress) return "pnm";
  return "";
}

// Where the job reads and writes, and in which formats. A result other
// than ExitOk has been reported.
int PlanJob(const Reporter& report, StdStreams& stdio, Job& job) {
  const ToolOptions& options = report.options;
  job.settings = SettingsFrom(options);
  job.outPath = job.output;
  if (IsStdio(job.output)) {
    if (job.settings.formatName.empty()) job.settings.formatName = DefaultStdoutFormat(options.command);
    if (job.settings.formatName.empty()) return report.Fail("writing to standard output needs --to FORMAT", ExitUsage);
    Status status = stdio.OutputPath(job.outPath);
    if (!status.ok()) return report.Fail(status.message());
  }
  job.inPath = job.input;
  if (IsStdio(job.input)) {
    Status status = stdio.TakeInput(std::cin, job.inPath);
    if (!status.ok()) return report.Fail(status.message());
  }
  job.inFormat = InputFormat(job.inPath, FormatFromName(options.fromFormat));
  job.outFormat = OutputFormat(job.outPath, job.settings);
  return ExitOk;
}

// The formats must suit the command before any work starts.
int CheckJobFormats(const Reporter& report, const Job& job) {
  const Command command = report.options.command;
  const std::string in = Shown(job.input, true);
  const std::string out = Shown(job.output, false);
  if (command == Command::Compress && job.outFormat != FileFormat::Tvx)
    return report.Fail("compress writes a .tvx file; " + out + " has another extension");
  if (command == Command::Decompress && job.inFormat != FileFormat::Tvx) {
    if (job.inFormat == FileFormat::Unknown)
      return report.Fail("decompress reads a .tvx file; " + in + " is not one");
    return report.Fail("decompress reads a .tvx file; " + in + " is a " + FormatName(job.inFormat) + " file");
  }
  if (command == Command::Decompress && job.outFormat == FileFormat::Tvx)
    return report.Fail("decompress writes a raster format; use convert to re-encode a .tvx file");
  if (!CanRead(job.inFormat) && std::filesystem::exists(job.inPath))
    return report.Fail(in + " is not a supported format (neither its first bytes nor its extension name one)");
  if (!CanWrite(job.outFormat)) return report.Fail(out + " is not a supported format for writing");
  if (report.options.compression.customised && job.outFormat != FileFormat::Tvx)
    return report.Fail("compression options apply only to .tvx output", ExitUsage);
  return ExitOk;
}

uint64_t SizeOf(const std::string& path) {
  std::error_code error;
  const uintmax_t size = std::filesystem::file_size(path, error);
  return error ? 0 : static_cast<uint64_t>(size);
}

// Compress's summary: sizes, ratio, bits per pixel, and PSNR when asked
// (the written file decoded again).
void ReportSummary(const Reporter& report, const Job& job, SourceImage& source) {
  const uint64_t bytes = SizeOf(job.outPath);
  if (bytes == 0) return;  // a device: nothing to measure
  std::optional<double> psnr;
  if (report.options.psnr) {
    SourceImage decoded;
    Status status = LoadSource(job.outPath, decoded, LoadSettings{FileFormat::Tvx, false, report.options.maxPixels});
    if (status.ok()) psnr = PeakSignalToNoise(source, decoded);
    if (!psnr) report.Warn("no PSNR: the written file could not be compared with the input");
  }
  const std::string in = IsStdio(job.input) ? "-" : job.input;
  const std::string out = IsStdio(job.output) ? "-" : job.output;
  report.err << SummaryLine(in, out, source, bytes, psnr) << "\n";
}

// Rough cost of reading or writing a format, for each phase's share of the
// progress display: the codec's work dominates, JPEG comes next.
double PhaseWeight(FileFormat format) {
  if (format == FileFormat::Tvx) return 4.0;
  if (format == FileFormat::Jpeg) return 2.0;
  return 1.0;
}

// Reads the job's input, its share of the progress display first.
Status LoadInput(const Reporter& report, const Job& job, double share, SourceImage& source) {
  ProgressPhase reading(0.0, share);
  const ToolOptions& options = report.options;
  Status status = LoadSource(job.inPath, source, LoadSettings{job.inFormat, options.progress, options.maxPixels});
  if (!status.ok()) return status;
  report.Note("read " + Shown(job.input, true) + ": " + BriefDescription(source));
  for (const std::string& warning : source.warnings) report.Warn(Shown(job.input, true) + ": " + warning);
  if (source.Truncated())
    report.Warn(Shown(job.input, true) + " is truncated: " + TruncationText(source.statedSize, source.fileSize) +
                "; decoded what there is");
  return status;
}

Status SaveOutput(const Reporter& report, const Job& job, double share, SourceImage& source) {
  ProgressPhase writing(share, 1.0);
  Status status = SaveSource(job.outPath, source, job.settings);
  if (status.ok())
    report.Note("wrote " + Shown(job.output, false) + ": " + FormatName(job.outFormat) + ", " +
                std::to_string(SizeOf(job.outPath)) + " bytes");
  return status;
}

// Reads, writes, and reports one job. Messages name "-" as standard input
// or output.
int RunJob(const Reporter& report, Job job) {
  StdStreams stdio;
  const auto fail = [&](const Status& status) { return report.Fail(stdio.Renamed(status.message())); };
  int result = PlanJob(report, stdio, job);
  if (result == ExitOk) result = CheckJobFormats(report, job);
  if (result != ExitOk) return result;
  if (!IsStdio(job.output)) {
    Status writable = CheckWritable(job.outPath);
    if (!writable.ok()) return fail(writable);
  }
  const double readShare = PhaseWeight(job.inFormat) / (PhaseWeight(job.inFormat) + PhaseWeight(job.outFormat));
  SourceImage source;
  Status status = LoadInput(report, job, readShare, source);
  if (status.ok()) status = SaveOutput(report, job, readShare, source);
  if (!status.ok()) return fail(status);
  if (report.options.command == Command::Compress && report.options.verbosity != Verbosity::Quiet)
    ReportSummary(report, job, source);
  if (IsStdio(job.output)) {
    status = stdio.DeliverOutput(report.out);
    if (!status.ok()) return fail(status);
  }
  return ExitOk;
}

int Transfer(const Reporter& report) {
  Job job;
  job.input = report.options.input;
  job.output = report.options.output;
  return RunJob(report, job);
}

// compress --out-dir: each input to DIR/NAME.tvx, going on past failures.
int CompressBatch(const Reporter& report) {
  const std::string& folder = report.options.outDir;
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error))
    return report.Fail("cannot write to '" + folder + "': " +
                       (std::filesystem::exists(folder, error) ? "it is not a folder" : "no such folder"));
  int result = ExitOk;
  std::set<std::string> written;
  for (const std::string& input : report.options.inputs) {
    Job job;
    job.input = input;
    job.output = (std::filesystem::path(folder) / std::filesystem::path(input).stem()).string() + ".tvx";
    if (!written.insert(job.output).second) {
      report.Fail("'" + input + "' skipped: '" + job.output + "' is already written from another input");
      result = ExitFailure;
      continue;
    }
    std::error_code same;
    if (std::filesystem::equivalent(input, job.output, same)) {
      report.Fail("'" + input + "' skipped: its output '" + job.output + "' would replace it");
      result = ExitFailure;
      continue;
    }
    if (RunJob(report, job) != ExitOk) result = ExitFailure;
  }
  return result;
}

// One file of info; a result other than ExitOk has been reported.
int DescribeOne(const Reporter& report, const std::string& name) {
  const ToolOptions& options = report.options;
  StdStreams stdio;
  std::string path = name;
  if (IsStdio(name)) {
    Status status = stdio.TakeInput(std::cin, path);
    if (!status.ok()) return report.Fail(status.message());
  }
  const FileFormat format = InputFormat(path, FormatFromName(options.fromFormat));
  std::string text;
  if (format == FileFormat::Tvx) {
    TvxHeaderInfo header;
    Status status = ReadTvxHeader(path, header);
    if (!status.ok()) return report.Fail(stdio.Renamed(status.message()));
    text = DescribeTvxForPeople(header);
    if (options.verbosity == Verbosity::Verbose) text += "raw header records:\n" + DescribeTvxHeader(header);
  } else {
    SourceImage source;
    Status status = LoadSource(path, source, LoadSettings{format, false, options.maxPixels});
    if (!status.ok()) return report.Fail(stdio.Renamed(status.message()));
    text = DescribeSource(source);
  }
  report.out << "file: " << (IsStdio(name) ? "-" : name) << "\n" << text;
  return ExitOk;
}

int Info(const Reporter& report) {
  int result = ExitOk;
  bool first = true;
  for (const std::string& name : report.options.inputs) {
    if (!first) report.out << "\n";
    first = false;
    if (DescribeOne(report, name) != ExitOk) result = ExitFailure;
  }
  return result;
}

}  // namespace

int RunCommand(const ToolOptions& options, std::ostream& out, std::ostream& err) {
  const Reporter report{options, out, err};
  switch (options.command) {
    case Command::Help:
      out << UsageText(options.helpTopic);
      return ExitOk;
    case Command::Version:
      out << VersionText();
      return ExitOk;
    case Command::Convert:
    case Command::Decompress: return Transfer(report);
    case Command::Compress: return options.outDir.empty() ? Transfer(report) : CompressBatch(report);
    case Command::Info: return Info(report);
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
  // The codec takes its thread count from the environment when a job is
  // made; --threads sets it for this process.
  if (parsed.options.threads > 0)
    setenv("TAVIX_THREADS", std::to_string(parsed.options.threads).c_str(), 1);
  else if (parsed.options.threads == 0)
    unsetenv("TAVIX_THREADS");
  return RunCommand(parsed.options, out, err);
}
