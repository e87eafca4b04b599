#include "tools/Options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <optional>

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
  size_t files;
};

constexpr CommandName kCommands[] = {
    {"convert", Command::Convert, 2},
    {"compress", Command::Compress, 2},
    {"decompress", Command::Decompress, 2},
    {"info", Command::Info, 1},
};

class Parser {
public:
  explicit Parser(const std::vector<std::string>& args) : m_args(args) {}

  ParseResult Run() {
    std::vector<std::string> files;
    for (m_index = 0; m_index < m_args.size() && m_result.error.empty(); ++m_index) {
      const std::string& arg = m_args[m_index];
      if (arg == "--help" || arg == "-h") {
        m_result.options.command = Command::Help;
        return m_result;
      }
      if (arg.size() > 1 && arg[0] == '-' && arg != "-")
        Option(arg);
      else
        files.push_back(arg);
    }
    if (!m_result.error.empty()) return m_result;
    if (files.empty()) return Fail("no command given (try --help)");
    Positional(files);
    return m_result;
  }

private:
  ParseResult Fail(const std::string& error) {
    m_result.error = error;
    return m_result;
  }

  void Positional(const std::vector<std::string>& files) {
    for (const CommandName& entry : kCommands) {
      if (files[0] != entry.name) continue;
      if (files.size() - 1 != entry.files) {
        Fail(std::string(entry.name) + " takes " + (entry.files == 1 ? "one file" : "an input and an output file"));
        return;
      }
      m_result.options.command = entry.command;
      m_result.options.input = files[1];
      if (entry.files == 2) m_result.options.output = files[2];
      CheckOptionsFit();
      return;
    }
    Fail("unknown command '" + files[0] + "' (try --help)");
  }

  void CheckOptionsFit() {
    const ToolOptions& options = m_result.options;
    const bool encodes = options.command == Command::Compress || options.command == Command::Convert;
    if (options.compression.customised && !encodes)
      Fail("compression options apply only to compress and convert");
    else if (m_jpegQualityGiven && options.command == Command::Info)
      Fail("--jpeg-quality does not apply to info");
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

  void Option(const std::string& arg) {
    std::string name = arg;
    std::optional<std::string> inline_value;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      inline_value = arg.substr(eq + 1);
    }
    CompressionChoice& choice = m_result.options.compression;
    const bool flag = name == "--lossless" || name == "--no-downsampling" || name == "--no-progress";
    if (flag && inline_value) {
      Fail(name + " takes no value");
      return;
    }
    if (name == "--no-progress") {
      m_result.options.progress = false;
      return;
    }
    if (name == "--max-pixels") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 1) {
        Fail("--max-pixels must be a whole number of pixels, at least 1");
        return;
      }
      m_result.options.maxPixels = static_cast<uint64_t>(*value);
      return;
    }
    if (name == "--jpeg-quality") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 0 || *value > 100) {
        Fail("--jpeg-quality must be a whole number from 0 to 100");
        return;
      }
      m_result.options.jpegQuality = static_cast<int>(*value);
      m_jpegQualityGiven = true;
      return;
    }
    choice.customised = true;
    if (name == "--lossless") {
      SetRate(RateMode::Lossless, name);
    } else if (name == "--no-downsampling") {
      choice.downsampling = false;
    } else if (name == "--size") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      std::optional<long long> value = ParseInteger(*text);
      if (!value || *value < 1 || *value > 0x7FFFFFFF) {
        Fail("--size must be a whole number of bytes from 1 to 2147483647");
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
        Fail("--quality must be a number from 1 to 50");
        return;
      }
      SetRate(RateMode::Quality, name);
      choice.quality = *value;
    } else if (name == "--wavelet") {
      std::optional<std::string> text = Value(name, inline_value);
      if (!text) return;
      choice.wavelet = WaveletFromName(*text);
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
  ParseResult m_result;
};

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) { return Parser(args).Run(); }

std::string UsageText() {
  return R"(Usage:
  tavix convert IN OUT        convert between image formats, chosen by extension
  tavix compress IN OUT.tvx   compress an image with the wavelet codec
  tavix decompress IN.tvx OUT decode a .tvx file into a raster format
  tavix info FILE             show size, colour model and, for .tvx, how it was compressed
  tavix --help                show this text

Formats: read bmp, pcx, pnm/ppm/pgm, jpg/jpeg, tif/tiff, gif, tvx;
         write bmp, pnm/ppm/pgm, jpg/jpeg, tif/tiff, tvx.
         16-bit PGM/PPM files are compressed at full depth.

Compression (compress, and convert to .tvx):
  --quality Q          quality factor 1..50 (default 40 when no rate is given)
  --size BYTES         target size of the whole file in bytes
  --bpp X              target size in bits per pixel (X * pixels / 8 bytes)
  --lossless           exact reconstruction (wavelet sp unless ts or 5/3 is chosen)
  --wavelet W          9/7 (default), 18/10, mixed, sp, 9/7-lifted, ts, 5/3
  --layer L            standard (default), fast, fast-res
  --no-downsampling    keep the colour planes at full resolution
  --color-portion P    share of the budget for colour, 1..40 percent (default 10)

Other options:
  --jpeg-quality N     quality 0..100 of JPEG output (default 75)
  --no-progress        no progress display on the terminal
  --max-pixels N       refuse images of more than N pixels before reading
                       them (default 268435456)

The exit code is 0 on success, 1 when the operation fails and 2 for a bad
command line.
)";
}
