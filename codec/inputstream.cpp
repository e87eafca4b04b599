#include <algorithm>
#include <cmath>

#include "codec/TavixLib.h"
#include "codec/job.h"

namespace {
constexpr long kDefaultBufferSize = 4096;
// A caller-chosen buffer larger than this is refused (kept at this size).
constexpr long kMaxBufferSize = 1L << 26;
}  // namespace

TXinputStream::TXinputStream(std::istream* source) : stream(source) { setBuffer(kDefaultBufferSize); }

TXinputStream::~TXinputStream() { delete[] buffer; }

void TXinputStream::setBuffer(long size) {
  size = std::clamp(size, 1L, kMaxBufferSize);
  unsigned char* fresh = new (std::nothrow) unsigned char[static_cast<size_t>(size)];
  if (fresh == nullptr) return;  // keep the old buffer; reads go on with it
  delete[] buffer;
  buffer = fresh;
  bufferSize = size;
  bufferCount = 0;
  bufferPos = 0;
}

void TXinputStream::setTransferSize(long size) { transferSize = std::max(1L, size); }

int TXinputStream::fillBuffer(long requested) {
  bufferCount = 0;
  bufferPos = 0;
  if (stream == nullptr || buffer == nullptr) {
    endOfInput = true;
    return 0;
  }
  const long n = std::clamp(requested, 1L, bufferSize);
  stream->read(reinterpret_cast<char*>(buffer), n);
  bufferCount = static_cast<long>(stream->gcount());
  if (stream->bad()) {
    bufferCount = 0;
    endOfInput = true;
    return TX_ERR_IO;
  }
  if (bufferCount == 0) endOfInput = true;
  return 0;
}

TXpreviewInputStream::TXpreviewInputStream(std::istream* source) : TXinputStream(source) {}
TXpreviewInputStream::~TXpreviewInputStream() = default;

void TXpreviewInputStream::setExternalBuffer(unsigned char* pixels, int width, int height, long rowBytes) {
  externalBuffer = pixels;
  externalWidth = width;
  externalHeight = height;
  externalRowBytes = rowBytes;
}

bool TXpreviewInputStream::isPreviewPossible() { return job != nullptr && job->CanPreview(*this); }

int TXpreviewInputStream::doPreview() {
  if (job == nullptr) return TX_ERR_STATE;
  return job->RenderPreview(*this);
}

long TXpreviewInputStream::newTransferSize(float, float) {
  const double bytesRead = job != nullptr ? static_cast<double>(job->streamBytes) : 0.0;
  const double grown = std::min(bytesRead * previewTuning[1], double(kMaxBufferSize));
  return std::max(transferSize, static_cast<long>(grown));
}

bool TXpreviewInputStream::wantPreview(long bytesRead, float fractionRead, float bitsPerPixelRead) {
  if (fractionRead > previewTuning[0]) return false;
  if (bitsPerPixelRead < previewTuning[2]) return false;
  if (bytesRead < previewTuningBytes) return false;
  if (previewCount == 0) return true;
  // The gap grows with every preview: the k-th needs spacing^k times the
  // bytes of the one before, so a long stream still gets only a handful.
  const double factor = std::pow(std::max(1.0f, previewTuning[3]), previewCount);
  return bytesRead >= static_cast<double>(lastPreviewBytes) * factor;
}

bool TXpreviewInputStream::previewReady() { return true; }
