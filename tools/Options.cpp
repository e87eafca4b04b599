#include "tools/Options.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

#include "tools/FileFormat.h"

namespace {

std::optional<long long> ParseInteger(const std::string& text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || text.empty()) return std::nullopt;
  return value;
}

std::optional<double> ParseNumber(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

struct CommandName {
  const char* name;
  Command command;
};

constexpr CommandName kCommands[] = {
    {"convert", Command::Convert},
    {"compress", Command::Compress},
    {"decompress", Command::Decompress},
    {"info", Command::Info},
};

constexpr const char* kFlags[] = {"--no-progress", "-q", "--quiet", "-v", "--verbose", "--psnr",
                                  "--version", "-V", "--lossless", "--no-downsampling"};

bool IsFlag(const std::string& name) {
  for (const char* flag : kFlags)
    if (name == flag) return true;
  return false;
}

bool IsHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

const CommandName* FindCommand(const std::string& name) {
  for (const CommandName& entry : kCommands)
    if (name == entry.name) return &entry;
  return nullptr;
}

// `--help` anywhere wins over everything else; the first command name on the
// line chooses which help is shown.
std::optional<ParseResult> HelpRequest(const std::vector<std::string>& args) {
  bool help = false;
  Command topic = Command::Help;
  for (const std::string& arg : args) {
    if (IsHelp(arg)) help = true;
    if (const CommandName* entry = FindCommand(arg); entry && topic == Command::Help) topic = entry->command;
  }
  if (!help) return std::nullopt;
  ParseResult result;
  result.options.command = Command::Help;
  result.options.helpTopic = topic;
  return result;
}

class Parser {
public:
  explicit Parser(const std::vector<std::string>& args) : m_args(args) {}

  ParseResult Run() {
    if (std::optional<ParseResult> help = HelpRequest(m_args)) return *help;
    std::vector<std::string> files;
    for (m_index = 0; m_index < m_args.size() && m_result.error.empty(); ++m_index) {
      const std::string& arg = m_args[m_index];
      if (arg.size() > 1 && arg[0] == '-' && arg != "-")
        Option(arg);
      else
        files.push_back(arg);
    }
    if (!m_result.error.empty()) return m_result;
    if (m_version) {
      m_result.options.command = Command::Version;
      return m_result;
    }
    if (files.empty()) return Fail("no command given (try --help)");
    Positional(files);
    if (m_result.error.empty()) CheckOptionsFit();
    return m_result;
  }

private:
  ParseResult Fail(const std::string& error) {
    m_result.error = error;
    return m_result;
  }

  void Positional(const std::vector<std::string>& files) {
    const CommandName* entry = FindCommand(files[0]);
    if (!entry) {
      Fail("unknown command '" + files[0] + "' (try --help)");
      return;
    }
    ToolOptions& options = m_result.options;
    options.command = entry->command;
    options.inputs.assign(files.begin() + 1, files.end());
    const bool batch = entry->command == Command::Compress && !options.outDir.empty();
    if (entry->command == Command::Info || batch) {
      if (options.inputs.empty()) Fail(std::string(entry->name) + " takes one or more files");
    } else if (options.inputs.size() != 2) {
      Fail(std::string(entry->name) + " takes an input and an output file");
    } else {
      options.output = options.inputs.back();
      options.inputs.pop_back();
    }
    if (!options.inputs.empty()) options.input = options.inputs.front();
  }

  // Options that contradict each other or the command: a usage error. The
  // first rule that applies gives the message.
  void CheckOptionsFit() {
    const ToolOptions& options = m_result.options;
    const Command command = options.command;
    const CompressionChoice& choice = options.compression;
    const bool encodes = command == Command::Compress || command == Command::Convert;
    const bool batch = !options.outDir.empty();
    const auto stdinCount = std::count(options.inputs.begin(), options.inputs.end(), "-");
    const FileFormat to = FormatFromName(options.toFormat);
    const struct {
      bool applies;
      std::string message;
    } rules[] = {
        {choice.customised && !encodes, "compression options apply only to compress and convert"},
        {m_jpegQualityGiven && command == Command::Info, "--jpeg-quality does not apply to info"},
        {m_quietGiven && m_verboseGiven, "choose either --quiet or --verbose, not both"},
        {options.psnr && command != Command::Compress, "--psnr applies only to compress"},
        {batch && command != Command::Compress, "--out-dir applies only to compress"},
        {batch && stdinCount > 0, "--out-dir takes files, not standard input"},
        {stdinCount > 1, "standard input (-) can be read only once"},
        {batch && !options.toFormat.empty(), "--out-dir writes .tvx files; --to does not apply"},
        {!options.toFormat.empty() && command == Command::Info, "--to does not apply to info"},
        {choice.rate == RateMode::Lossless && choice.wavelet && !IsReversibleWavelet(*choice.wavelet),
         "--lossless needs a reversible wavelet (sp, ts or 5/3), not --wavelet " + m_waveletName},
        {command == Command::Compress && !options.toFormat.empty() && to != FileFormat::Tvx,
         "compress writes .tvx; --to " + options.toFormat + " does not fit (use convert)"},
        {command == Command::Decompress && to == FileFormat::Tvx,
         "decompress writes a raster format; --to tvx does not fit (use convert)"},
    };
    for (const auto& rule : rules) {
      if (!rule.applies) continue;
      Fail(rule.message);
      return;
    }
  }

  // Splits "--name=value"; otherwise the value is the next argument.
  std::optional<std::string> Value(const std::string& name, const std::optional<std::string>& inline_value) {
    if (inline_value) return inline_value;
    if (m_index + 1 >= m_args.size()) {
      Fail(name + " needs a value");
      return std::nullopt;
    }
    return m_args[++m_index];
  }

  void SetRate(RateMode mode, const std::string& name) {
    CompressionChoice& choice = m_result.options.compression;
    if (choice.rate != RateMode::Default && choice.rate != mode)
      Fail("choose only one of --size, --bpp, --quality and --lossless (" + name + ")");
    choice.rate = mode;
  }

  // Options without a value. False when `name` is none of them.
  bool Flag(const std::string& name) {
    ToolOptions& options = m_result.options;
    if (name == "--no-progress") {
      options.progress = false;
    } else if (name == "-q" || name == "--quiet") {
      options.verbosity = Verbosity::Quiet;
      options.progress = false;
      m_quietGiven = true;
    } else if (name == "-v" || name == "--verbose") {
      options.verbosity = Verbosity::Verbose;
      m_verboseGiven = true;
    } else if (name == "--psnr") {
      options.psnr = true;
    } else if (name == "--version" || name == "-V") {
      m_version = true;
    } else if (name == "--lossless") {
      options.compression.customised = true;
      SetRate(RateMode::Lossless, name);
    } else if (name == "--no-downsampling") {
      options.compression.customised = true;
      options.compression.downsampling = false;
    } else {
      return false;
    }
    return true;
  }

  // --from, --to, --out-dir, --max-pixels, --jpeg-quality, --threads. False when
  // `name` is none of them.
  bool ToolValue(const std::string& name, const std::optional<std::string>& inline_value) {
    ToolOptions& options = m_result.options;
    if (name != "--from" && name != "--to" && name != "--out-dir" && name != "--max-pixels" &&
        name != "--jpeg-quality" && name != "--threads")
      return false;
    std::optional<std::string> text = Value(name, inline_value);
    if (!text) return true;
    if (name == "--from" || name == "--to") {
      const FileFormat format = FormatFromName(*text);
      if (name == "--from" ? !CanRead(format) : !CanWrite(format))
        Fail(name + " must name a format the tool can " + (name == "--from" ? "read" : "write") +
             ": bmp, pnm, ppm, pgm, jpg, tif, tvx" + (name == "--from" ? ", pcx, gif" : ""));
      (name == "--from" ? options.fromFormat : options.toFormat) = *text;
    } else if (name == "--out-dir") {
      if (text->empty()) Fail("--out-dir needs a folder");
      options.outDir = *text;
    } else if (name == "--threads") {
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 0 || *value > 16)
        Fail("--threads must be a whole number from 1 to 16 (0: as many as the machine has cores)");
      else
        options.threads = static_cast<int>(*value);
    } else if (name == "--max-pixels") {
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 1)
        Fail("--max-pixels must be a whole number of pixels, at least 1");
      else
        options.maxPixels = static_cast<uint64_t>(*value);
    } else {
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 0 || *value > 100)
        Fail("--jpeg-quality must be a whole number from 0 to 100");
      else
        options.jpegQuality = static_cast<int>(*value);
      m_jpegQualityGiven = true;
    }
    return true;
  }

  void Option(const std::string& arg) {
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    if (inline_value && IsFlag(name)) {
      Fail(name + " takes no value");
      return;
    }
    if (Flag(name) || ToolValue(name, inline_value)) return;
    CompressionOption(name, inline_value);
  }

  void CompressionOption(const std::string& name, const std::optional<std::string>& inline_value) {
    CompressionChoice& choice = m_result.options.compression;
    choice.customised = true;
    if (name == "--size") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 1 || *value > 0x7FFFFFFF) {
        Fail("--size must be a whole number of bytes from " + std::to_string(kMinTvxFileBytes) + " to 2147483647");
        return;
      }
      if (*value < kMinTvxFileBytes) {
        Fail("--size " + *text + " is too small: the smallest .tvx file is " + std::to_string(kMinTvxFileBytes) +
             " bytes (the header alone takes " + std::to_string(kTvxHeaderBytes) + ")");
        return;
      }
      SetRate(RateMode::FileSize, name);
      choice.sizeBytes = *value;
    } else if (name == "--bpp") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<double> value = ParseNumber(*text);
      if (!value || *value <= 0.0 || *value > 48.0) {
        Fail("--bpp must be a number of bits per pixel above 0 and at most 48");
        return;
      }
      SetRate(RateMode::BitsPerPixel, name);
      choice.bitsPerPixel = *value;
    } else if (name == "--quality") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<double> value = ParseNumber(*text);
      if (!value || *value < 1.0 || *value > 50.0) {
        Fail("--quality must be a number from 1 to 50 (50 is the best image)");
        return;
      }
      SetRate(RateMode::Quality, name);
      choice.quality = *value;
    } else if (name == "--wavelet") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      choice.wavelet = WaveletFromName(*text);
      m_waveletName = *text;
      if (!choice.wavelet) Fail("--wavelet must be one of 9/7, 18/10, mixed, sp, 9/7-lifted, ts, 5/3");
    } else if (name == "--layer") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<uint16_t> layer = LayerFromName(*text);
      if (!layer)
        Fail("--layer must be one of standard, fast, fast-res");
      else
        choice.layer = *layer;
    } else if (name == "--color-portion" || name == "--colour-portion") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 1 || *value > 40) {
        Fail("--color-portion must be a whole number from 1 to 40");
        return;
      }
      choice.colorPortion = static_cast<int>(*value);
    } else {
      Fail("unknown option '" + name + "' (try --help)");
    }
  }

  const std::vector<std::string>& m_args;
  size_t m_index = 0;
  bool m_jpegQualityGiven = false;
  bool m_quietGiven = false;
  bool m_verboseGiven = false;
  bool m_version = false;
  std::string m_waveletName;
  ParseResult m_result;
};

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) { return Parser(args).Run(); }
