#include "tools/Messages.h"

#include "codec/TavixLib.h"
#include "image/Dib.h"

std::string CodecErrorName(int code) {
  switch (code) {
    case TX_ERR_ARGUMENT: return "invalid argument (TX_ERR_ARGUMENT)";
    case TX_ERR_MEMORY: return "out of memory (TX_ERR_MEMORY)";
    case TX_ERR_IO: return "read or write error (TX_ERR_IO)";
    case TX_ERR_FORMAT: return "not a .tvx file (TX_ERR_FORMAT)";
    case TX_ERR_UNSUPPORTED: return "unsupported version or option (TX_ERR_UNSUPPORTED)";
    case TX_ERR_CORRUPT: return "corrupt data (TX_ERR_CORRUPT)";
    case TX_ERR_ABORTED: return "aborted (TX_ERR_ABORTED)";
    case TX_ERR_STATE: return "codec call out of order (TX_ERR_STATE)";
    case TX_ERR_TOO_LARGE: return "image too large for the codec (TX_ERR_TOO_LARGE)";
    case TX_ERR_NOT_INITIALISED: return "codec not initialised (TX_ERR_NOT_INITIALISED)";
    default: return "codec error " + std::to_string(code);
  }
}

namespace {

std::string DibResultName(int code) {
  switch (code) {
    case DIB_ERR_IO: return "read or write error";
    case DIB_ERR_MEMORY: return "out of memory";
    case DIB_ERR_OPEN: return "cannot open or decode the file";
    case DIB_ERR_FORMAT: return "not a supported format";
    case DIB_ERR_INTERNAL: return "internal error (DIB_ERR_INTERNAL)";
    default: return "error " + std::to_string(code);
  }
}

std::string PnmResultName(int code) {
  switch (code) {
    case 1: return "cannot open the file";
    case 2: return "the file is truncated or could not be written completely";
    case 4: return "not a supported format (invalid PNM header)";
    case 5: return "not a supported format (PNM kind the image model does not hold)";
    default: return DibResultName(code);
  }
}

}  // namespace

std::string DescribeResult(int code, FileFormat format) {
  if (format == FileFormat::Pnm) return PnmResultName(code);
  if (format == FileFormat::Tvx) {
    // -4 is both the codec's wrong magic and the image model's refusal of
    // 16-bit samples; the callers read the header first, so say both.
    if (code == DIB_ERR_FORMAT) return "not a supported format (not a .tvx file, or samples deeper than 8 bits)";
    if (code == DIB_ERR_INTERNAL) return DibResultName(code);
    return CodecErrorName(code);
  }
  return DibResultName(code);
}

std::string DescribeReadResult(int code, FileFormat format) {
  if (format == FileFormat::Tvx && code == TX_ERR_IO) return "the file ends early or could not be read (TX_ERR_IO)";
  if (format == FileFormat::Pnm && code == 2) return "the file is truncated: it ends before all its pixels";
  if (format == FileFormat::Tiff && code == DIB_ERR_FORMAT)
    return "a TIFF kind the reader does not take (more than 8 bits per sample, or other than 1 or 3 samples per pixel)";
  if (format == FileFormat::Pnm || format == FileFormat::Tvx || code != DIB_ERR_IO) return DescribeResult(code, format);
  // The readers' DIB_ERR_IO: the library could not decode what it found.
  return std::string("damaged or unreadable ") + FormatName(format) + " data";
}
