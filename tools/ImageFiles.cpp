#include "tools/ImageFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "image/Limits.h"
#include "image/staged_file.h"
#include "image/tiff_glue.h"
#include "tools/Tiff16.h"
#include "tools/Messages.h"
#include "tools/OutputFile.h"
#include "tools/TerminalProgress.h"
#include "tools/TvxHeader.h"

int SourceImage::Width() const { return isWide ? wide.width : dib.GetSize().cx; }
int SourceImage::Height() const { return isWide ? wide.height : dib.GetSize().cy; }

namespace {

Status CheckReadable(const std::string& path, uint64_t& size) {
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) return Status::Fail("cannot open '" + path + "': it is a folder");
  std::ifstream file(path, std::ios::binary | std::ios::ate);
  if (!file) return Status::Fail("cannot open '" + path + "': " + std::strerror(errno));
  const std::streamoff length = file.tellg();
  size = length > 0 ? static_cast<uint64_t>(length) : 0;
  return Status::Ok();
}

// Builds the DIB from 8-bit interleaved samples.
Status DibFromSamples(CDib& dib, const uint8_t* samples, int width, int height, int planes) {
  size_t bytes = 0;
  if (!CheckedImageBytes(width, height, planes, bytes)) return Status::Fail("the image is too large");
  dib.m_nColorType = planes == 1 ? DibGrey : DibRGB;
  dib.m_nBitsPerPlane = 8;
  dib.m_nPlanes = static_cast<DWORD>(planes);
  if (!dib.AllocPixelBuffer(bytes)) return Status::Fail("out of memory");
  std::memcpy(dib.GetPixels(), samples, bytes);
  const int created = dib.CreateFromPixels(width, height, 8 * planes);
  dib.FreePixels();
  if (!created) return Status::Fail("the image could not be built");
  return Status::Ok();
}

std::string WithMessages(std::string text, const CRecordingMessageSink& sink) {
  for (const CRecordingMessageSink::Message& message : sink.messages) text += " (" + message.text + ")";
  return text;
}

// `detail` is what the format library said, when it said something.
Status FailedRead(const std::string& path, int code, FileFormat format, const CRecordingMessageSink& sink,
                  const std::string& detail = {}) {
  // The refusal of a size is its own, complete message.
  if (code == DIB_ERR_TOO_LARGE && !sink.messages.empty())
    return Status::Fail("cannot read '" + path + "': " + sink.messages.front().text);
  std::string text = WithMessages("cannot read '" + path + "': " + DescribeReadResult(code, format), sink);
  if (!detail.empty()) text += " (" + detail + ")";
  return Status::Fail(text);
}

// PNM: the image model's reader takes 8-bit files with maximum value 255;
// other depths are read here and go to the codec at full depth (above 255)
// or are scaled to 8 bits.
Status LoadPnm(const std::string& path, SourceImage& source, const CRecordingMessageSink& sink) {
  const int code = source.dib.ReadPNM(path);
  if (code == 0) return Status::Ok();
  if (code == 4) {
    SampleImage samples;
    Status status = ReadPnmSamples(path, samples, source.dib.GetMaxPixels());
    if (!status.ok()) return status;
    if (samples.maxValue > 255) {
      source.wide = std::move(samples);
      source.isWide = true;
      return Status::Ok();
    }
    const std::vector<uint8_t> scaled = ScaleTo8Bit(samples);
    return DibFromSamples(source.dib, scaled.data(), samples.width, samples.height, samples.planes);
  }
  return FailedRead(path, code, FileFormat::Pnm, sink);
}

Status LoadTvx(const std::string& path, SourceImage& source, bool progress) {
  TvxHeaderInfo header;
  Status status = ReadTvxHeader(path, header);
  if (!status.ok()) return status;
  source.statedSize = header.compressedSize > 0 ? static_cast<uint64_t>(header.compressedSize) : 0;
  ProgressLine line("decompressing", progress);
  CodecProgress codecProgress(line);
  const int colorType = header.image.colorType;
  if (colorType == TXcolorGrey16 || colorType == TXcolorRGB48) {
    source.isWide = true;
    return DecodeSamples(path, source.wide, &codecProgress, source.dib.GetMaxPixels());
  }
  int code = source.dib.ProbeTvx(path);
  if (code == 0) code = source.dib.ReadTvx(path, &codecProgress);
  if (code == DIB_ERR_TOO_LARGE)
    return Status::Fail("cannot read '" + path + "': " +
                        PixelLimitMessage(header.image.width, header.image.height, source.dib.GetMaxPixels()));
  if (code != 0) return Status::Fail("cannot read '" + path + "': " + DescribeReadResult(code, FileFormat::Tvx));
  return Status::Ok();
}

}  // namespace

FileFormat InputFormat(const std::string& path, FileFormat given) {
  if (given != FileFormat::Unknown) return given;
  const FileFormat content = SniffFormat(path);
  return content != FileFormat::Unknown ? content : FormatFromPath(path);
}

Status LoadSource(const std::string& path, SourceImage& source, const LoadSettings& settings) {
  const bool progress = settings.progress;
  const uint64_t maxPixels = settings.maxPixels;
  Status status = CheckReadable(path, source.fileSize);
  if (!status.ok()) return status;
  source.format = InputFormat(path, settings.format);
  if (!CanRead(source.format))
    return Status::Fail("'" + path + "' is not a supported format (neither its first bytes nor its extension name one)");

  CRecordingMessageSink sink;
  source.dib.SetMessageSink(&sink);
  source.dib.SetMaxPixels(maxPixels);
  int code = 0;
  switch (source.format) {
    case FileFormat::Bmp: {
      std::ifstream file(path, std::ios::binary);
      code = source.dib.ReadBMP(file);
      break;
    }
    case FileFormat::Pcx:
      code = source.dib.ReadPCX(path);
      break;
    case FileFormat::Pnm:
      status = LoadPnm(path, source, sink);
      break;
    case FileFormat::Jpeg: {
      ProgressLine line("reading", progress);
      LineProgressBar bar(line);
      code = source.dib.ReadJPEG(path, &bar);
      break;
    }
    case FileFormat::Tiff: {
      ProgressLine line("reading", progress);
      RowProgressScope scope(line);
      code = source.dib.ReadTIFF(path, RowProgress);
      // Deeper samples than the image model holds: read at full depth.
      if (code == DIB_ERR_FORMAT) {
        status = ReadTiffSamples(path, source.wide, maxPixels);
        source.isWide = status.ok();
        code = 0;
      }
      break;
    }
    case FileFormat::Gif:
      code = source.dib.ReadGIF(path);
      break;
    case FileFormat::Tvx:
      status = LoadTvx(path, source, progress);
      break;
    case FileFormat::Unknown:
      break;
  }
  source.dib.SetMessageSink(nullptr);
  if (code != 0) return FailedRead(path, code, source.format, sink, source.dib.GetReadDetail());
  if (!status.ok()) return status;
  if (!source.isWide && source.dib.GetSize().cx <= 0)
    return Status::Fail(WithMessages("cannot read '" + path + "': the reader returned no image", sink));
  if (source.format != FileFormat::Pcx && source.format != FileFormat::Tvx)
    source.dib.m_nFileSize = static_cast<DWORD>(source.fileSize);
  // A reader that succeeded and still had something to say (a damaged part
  // it skipped) is passed on as a warning.
  for (const CRecordingMessageSink::Message& message : sink.messages) source.warnings.push_back(message.text);
  return Status::Ok();
}

namespace {

bool IsGrey(const CDib& dib) { return dib.m_nColorType == DibGrey; }

// A copy of `source` as grey (luminance, rounded) or as RGB (grey repeated).
Status ConvertedCopy(CDib& source, bool toGrey, CDib& target) {
  if (!source.MakePixels()) return Status::Fail("the image could not be converted");
  const CSize size = source.GetSize();
  const size_t pixels = static_cast<size_t>(size.cx) * static_cast<size_t>(size.cy);
  const BYTE* in = source.GetPixels();
  std::vector<uint8_t> out(pixels * (toGrey ? 1 : 3));
  for (size_t i = 0; i < pixels; ++i) {
    if (toGrey) {
      const BYTE* rgb = in + 3 * i;
      out[i] = static_cast<uint8_t>((299 * rgb[0] + 587 * rgb[1] + 114 * rgb[2] + 500) / 1000);
    } else {
      out[3 * i] = out[3 * i + 1] = out[3 * i + 2] = in[i];
    }
  }
  source.FreePixels();
  return DibFromSamples(target, out.data(), size.cx, size.cy, toGrey ? 1 : 3);
}

Status WriteFailure(const std::string& path, int code, FileFormat format) {
  return Status::Fail("cannot write '" + path + "': " + DescribeResult(code, format));
}

Status SavePnm(const std::string& path, PnmFlavour flavour, CDib& dib) {
  const bool grey = IsGrey(dib);
  if ((flavour == PnmFlavour::Grey && !grey) || (flavour == PnmFlavour::Colour && grey)) {
    CDib converted;
    Status status = ConvertedCopy(dib, flavour == PnmFlavour::Grey, converted);
    if (!status.ok()) return status;
    const int code = converted.WritePNM(path);
    return code == 0 ? Status::Ok() : WriteFailure(path, code, FileFormat::Pnm);
  }
  const int code = dib.WritePNM(path);
  return code == 0 ? Status::Ok() : WriteFailure(path, code, FileFormat::Pnm);
}

Status SaveTvx(const std::string& path, SourceImage& source, const SaveSettings& settings) {
  ProgressLine line("compressing", settings.progress);
  CodecProgress codecProgress(line);
  if (source.isWide) {
    TXimageParams image;
    TXcompressionParams compression;
    const SampleKind kind = source.wide.planes == 1 ? SampleKind::Grey16 : SampleKind::RGB48;
    Status status = BuildCompressionParams(settings.compression, source.wide.width, source.wide.height, kind, image,
                                           compression);
    if (!status.ok()) return status;
    StagedFile staged(path);
    std::ofstream file(staged.TempName(), std::ios::binary | std::ios::trunc);
    if (!file) return Status::Fail("cannot open '" + path + "' for writing");
    status = EncodeSamples(source.wide, image, compression, file, &codecProgress);
    if (!status.ok()) return status;
    file.close();
    return file && staged.Commit() ? Status::Ok() : Status::Fail("cannot write '" + path + "'");
  }
  CDib& dib = source.dib;
  const CSize size = dib.GetSize();
  const SampleKind kind = IsGrey(dib) ? SampleKind::Grey8 : SampleKind::RGB24;
  Status status =
      BuildCompressionParams(settings.compression, size.cx, size.cy, kind, dib.m_imageParams, dib.m_compressionParams);
  if (!status.ok()) return status;
  const int code = dib.WriteTvx(path, &codecProgress);
  return code == 0 ? Status::Ok() : WriteFailure(path, code, FileFormat::Tvx);
}

// TIFF holds 16 bits per sample but no maximum value: the samples are
// stretched from 0..maxValue to 0..65535.
Status SaveTiff16(const std::string& path, const SampleImage& image, const SaveSettings& settings) {
  std::vector<uint16_t> samples(image.samples);
  if (image.maxValue != 65535 && image.maxValue > 0) {
    const uint32_t max = static_cast<uint32_t>(image.maxValue);
    for (uint16_t& sample : samples)
      sample = static_cast<uint16_t>((std::min<uint32_t>(sample, max) * 65535u + max / 2) / max);
  }
  ProgressLine line("writing", settings.progress);
  RowProgressScope scope(line);
  const int rowBytes = image.width * image.planes * 2;
  const BOOL written = TiffWriteImage(path.c_str(), reinterpret_cast<const BYTE*>(samples.data()),
                                      static_cast<unsigned>(image.width), static_cast<unsigned>(image.height),
                                      image.planes, 16, rowBytes, 0, RowProgress);
  return written ? Status::Ok() : WriteFailure(path, DIB_ERR_IO, FileFormat::Tiff);
}

std::string TypedName(const std::string& path, const SaveSettings& settings) {
  return settings.formatName.empty() ? path : "." + settings.formatName;
}

Status SaveRaster(const std::string& path, FileFormat format, CDib& dib, const SaveSettings& settings) {
  int code = 0;
  switch (format) {
    case FileFormat::Bmp:
      code = dib.SaveBMP(path);
      break;
    case FileFormat::Pnm:
      return SavePnm(path, PnmFlavourFromPath(TypedName(path, settings)), dib);
    case FileFormat::Jpeg: {
      ProgressLine line("writing", settings.progress);
      LineProgressBar bar(line);
      code = dib.WriteJPEG(path, settings.jpegQuality, &bar);
      break;
    }
    case FileFormat::Tiff: {
      ProgressLine line("writing", settings.progress);
      RowProgressScope scope(line);
      code = dib.WriteTIFF(path, RowProgress);
      break;
    }
    default:
      return Status::Fail("'" + path + "' is not a supported format for writing");
  }
  return code == 0 ? Status::Ok() : WriteFailure(path, code, format);
}

}  // namespace

FileFormat OutputFormat(const std::string& path, const SaveSettings& settings) {
  return FormatFromPath(TypedName(path, settings));
}

Status CheckWritable(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path target(StagedFile::ResolveLinks(path));
  std::error_code error;
  if (fs::is_directory(target, error)) return Status::Fail("cannot write '" + path + "': it is a folder");
  // Devices and FIFOs are written directly; a file is staged in its folder.
  if (fs::exists(target, error) && !fs::is_regular_file(target, error)) {
    if (access(target.c_str(), W_OK) != 0)
      return Status::Fail("cannot write '" + path + "': " + std::strerror(errno));
    return Status::Ok();
  }
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    return Status::Fail("cannot write '" + path + "': " + std::strerror(errno));
  if (!fs::is_directory(folder, error))
    return Status::Fail("cannot write '" + path + "': " + std::strerror(ENOTDIR));
  return Status::Ok();
}

Status SaveSource(const std::string& path, SourceImage& source, const SaveSettings& settings) {
  const FileFormat format = OutputFormat(path, settings);
  if (!CanWrite(format)) return Status::Fail("'" + path + "' is not a supported format for writing");
  OutputFile output(path);
  Status status;
  if (format == FileFormat::Tvx) {
    status = SaveTvx(path, source, settings);
  } else if (source.isWide && format == FileFormat::Pnm) {
    status = WritePnmSamples(path, source.wide);
  } else if (source.isWide && format == FileFormat::Tiff) {
    status = SaveTiff16(path, source.wide, settings);
  } else if (source.isWide) {
    CDib narrow;
    const std::vector<uint8_t> scaled = ScaleTo8Bit(source.wide);
    status = DibFromSamples(narrow, scaled.data(), source.wide.width, source.wide.height, source.wide.planes);
    if (status.ok()) status = SaveRaster(path, format, narrow, settings);
  } else {
    status = SaveRaster(path, format, source.dib, settings);
  }
  return output.Finish(status);
}

std::string DescribeSource(const SourceImage& source) {
  std::ostringstream text;
  text << "format: " << FormatName(source.format) << "\n"
       << "file size: " << source.fileSize << " bytes\n"
       << "width: " << source.Width() << "\n"
       << "height: " << source.Height() << "\n";
  if (source.isWide) {
    text << "colour model: " << (source.wide.planes == 1 ? "Grey" : "RGB") << ", 16 bit per sample (maximum value "
         << source.wide.maxValue << ")\n";
    return text.str();
  }
  const CDib& dib = source.dib;
  switch (dib.m_nColorType) {
    case DibGrey:
      text << "colour model: Grey, " << dib.m_nBitsPerPlane << " bit\n";
      break;
    case DibPaletteColor:
      text << "colour model: Palette, " << dib.m_nBitsPerPlane << " bit (held as 24-bit RGB)\n";
      break;
    default:
      text << "colour model: RGB, " << dib.m_nPlanes * dib.m_nBitsPerPlane << " bit\n";
      break;
  }
  return text.str();
}
