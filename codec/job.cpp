#include "codec/job.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "codec/pipeline.h"
#include "codec/progress.h"

using namespace tavix;

namespace {

// Minimum row length of a pixel buffer for a header's image.
long MinimumRowBytes(const StreamHeader& h) {
  return static_cast<long>(h.image.width) * PlaneCount(h.image.colorType) * (BitsPerSample(h.image.colorType) / 8);
}

CodingLayer LayerOf(int codecType) { return static_cast<CodingLayer>(LayerOfCodecType(codecType)); }

// Feeds the entropy decoder from the job's input, up to the announced body
// length, and reports progress about once per percent of the body.
class JobByteSource : public ByteSource {
public:
  JobByteSource(TXjob& job, ProgressReporter& reporter) : m_job(job), m_reporter(reporter) {
    m_step = std::max<uint64_t>(1, job.header.bodyBytes / 100);
    m_nextReport = m_step;
  }
  int NextByte(uint8_t& byte) override {
    if (m_job.bodyRead >= m_job.header.bodyBytes) return 0;
    const int r = m_job.PullByte(byte);
    if (r != 1) return r;
    if (++m_job.bodyRead >= m_nextReport) {
      m_nextReport += m_step;
      if (!m_reporter.Fraction(0.95 * m_job.bodyRead / m_job.header.bodyBytes)) return TX_ERR_ABORTED;
    }
    return 1;
  }

private:
  TXjob& m_job;
  ProgressReporter& m_reporter;
  uint64_t m_step;
  uint64_t m_nextReport;
};

// Lends a job the stop check of the running TXreadImage, so previews rendered
// meanwhile can be ended part-way too.
class RenderStopScope {
public:
  RenderStopScope(TXjob& job, StopCheck& stop) : m_job(job) { job.renderStop = &stop; }
  ~RenderStopScope() { m_job.renderStop = nullptr; }
  RenderStopScope(const RenderStopScope&) = delete;
  RenderStopScope& operator=(const RenderStopScope&) = delete;

private:
  TXjob& m_job;
};

}  // namespace

int TXjob::Refill() {
  TXinputStream& in = *input;
  long request = in.getTransferSize();
  if (TXpreviewInputStream* preview = in.asPreviewStream())
    request = preview->newTransferSize(FractionRead(), BitsPerPixelRead());
  request = std::clamp<long>(request, 1, std::max<long>(in.bufferSize, 1));
  in.bufferCount = 0;
  in.bufferPos = 0;
  const int r = in.fillBuffer(request);
  if (r < 0) return r;
  // Never trust the counts an override left behind.
  if (in.buffer == nullptr || in.bufferCount < 0 || in.bufferCount > in.bufferSize || in.bufferPos < 0 ||
      in.bufferPos > in.bufferCount)
    return TX_ERR_IO;
  // An empty fill ends the data (endOfInput or not), so a stalled source
  // cannot keep the decoder spinning.
  return in.bufferPos < in.bufferCount ? 1 : 0;
}

int TXjob::PullByte(uint8_t& byte) {
  TXinputStream& in = *input;
  if (in.bufferPos >= in.bufferCount || in.buffer == nullptr) {
    if (inputEnded) return 0;
    const int r = Refill();
    if (r <= 0) {
      inputEnded = true;
      return r;
    }
  }
  byte = in.buffer[in.bufferPos++];
  ++streamBytes;
  return 1;
}

int TXjob::ReadHeader() {
  uint8_t bytes[kHeaderBytes];
  size_t got = 0;
  while (got < kHeaderBytes) {
    const int r = PullByte(bytes[got]);
    if (r < 0) return r;
    if (r == 0) break;
    // Reject a foreign stream as soon as its first bytes show it.
    if (got < sizeof kMagic && bytes[got] != kMagic[got]) return TX_ERR_FORMAT;
    ++got;
  }
  if (got == 0) return TX_ERR_FORMAT;
  if (got < kHeaderBytes) return TX_ERR_CORRUPT;
  const int r = ParseHeader(bytes, header);
  if (r != TX_OK) return r;
  headerRead = true;
  return TX_OK;
}

float TXjob::FractionRead() const {
  if (!headerRead) return 0.0f;
  return static_cast<float>(static_cast<double>(streamBytes) / (kHeaderBytes + double(header.bodyBytes)));
}

float TXjob::BitsPerPixelRead() const {
  if (!headerRead) return 0.0f;
  return static_cast<float>(8.0 * bodyRead / (double(header.image.width) * header.image.height));
}

int TXjob::ReadImage(void* pixels, long rowBytes, TXprogress* progress) {
  if (!headerRead || imageRead) return TX_ERR_STATE;
  if (pixels == nullptr || rowBytes < MinimumRowBytes(header)) return TX_ERR_ARGUMENT;
  if (uint64_t{header.image.width} * header.image.height > pixelLimit) return TX_ERR_TOO_LARGE;
  ProgressReporter reporter(progress);
  try {
    decoder = std::make_unique<PlaneDecoder>(PlaneShapes(header), LayerOf(header.compression.codecType));
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
  JobByteSource source(*this, reporter);
  StopCheck stop([&reporter] { return reporter.StillWanted(); });
  RenderStopScope stopScope(*this, stop);
  const int r = decoder->Run(source, [&](size_t) { return OfferPreview() ? PassAction::Continue : PassAction::Stop; });
  if (r < 0) return r;
  if (stopRequested || stop.Stopped()) return TX_ERR_ABORTED;
  // The final image takes each plane's coefficients and frees that plane's
  // decoding state at once: the state is not needed any more, and the
  // memory goes to the planes being reconstructed.
  finalRenderStarted = true;
  const PlaneSource takeFinalPlane{
      [this, &stop](int i, CoefficientPlane& out) {
        if (!decoder->ReconstructPlane(static_cast<size_t>(i), out, &stop, threads)) return TX_ERR_ABORTED;
        decoder->ReleasePlane(static_cast<size_t>(i));
        return TX_OK;
      },
      [this, &stop](int i, const QuantiserSettings& settings, PlaneVector<float>& out) {
        if (!decoder->TakeDequantised(static_cast<size_t>(i), DequantiseScales(settings), kReconstructionOffset, out,
                                      &stop, threads))
          return TX_ERR_ABORTED;
        return TX_OK;
      }};
  const int written = CoefficientsToPixels(takeFinalPlane, header, pixels, rowBytes, &stop, threads);
  if (written != TX_OK) return written;
  imageRead = true;
  if (!reporter.Fraction(1.0)) return TX_ERR_ABORTED;
  return TX_OK;
}

int TXjob::WriteBytes(const uint8_t* data, size_t size, ProgressReporter& reporter) {
  constexpr size_t kChunk = 1 << 16;
  for (size_t done = 0; done < size;) {
    const size_t n = std::min(kChunk, size - done);
    output->write(reinterpret_cast<const char*>(data + done), static_cast<std::streamsize>(n));
    if (!*output) return TX_ERR_IO;
    done += n;
    bytesWritten += static_cast<long>(n);
    if (!reporter.BytesWritten(bytesWritten)) return TX_ERR_ABORTED;
  }
  return TX_OK;
}

int TXjob::WriteImage(const void* pixels, long rowBytes, TXprogress* progress) {
  if (!headerGiven || imageWritten) return TX_ERR_STATE;
  if (pixels == nullptr || rowBytes < MinimumRowBytes(header)) return TX_ERR_ARGUMENT;
  const TXcompressionParams& c = header.compression;
  EncodeSettings settings;
  settings.layer = LayerOf(c.codecType);
  if (c.mode == TXmodeFileSize) {
    if (c.target <= static_cast<int32_t>(kHeaderBytes)) return TX_ERR_ARGUMENT;
    // The colour portion acts through the colour planes' weight (see
    // ChromaFactor), as in quality mode, so the coder spends the budget in
    // order of benefit across all planes. Hard byte caps per plane cost
    // 0.1 to 1 dB at the same size on photographs.
    settings.byteBudget = static_cast<size_t>(c.target) - kHeaderBytes;
  }
  ProgressReporter reporter(progress);
  // Each plane goes into the coder as soon as it is transformed (and is
  // quantised on the way in), so the image is never held as floats,
  // integers and coding state at once.
  PlaneEncoder encoder;
  const CoefficientSink toEncoder{
      [&encoder](CoefficientPlane&& plane) { return encoder.Add(plane); },
      [&encoder](const Plane<float>& plane, const QuantiserSettings& s) {
        return encoder.Add(QuantisingPlane{plane.width, plane.height, s.levels, plane.data.data(),
                                           QuantiseScales(s), kMaxQuantisedMagnitude});
      },
      [&encoder] { encoder.Clear(); }};
  int r = PixelsToCoefficients(pixels, rowBytes, header, toEncoder,
                               [&](double f) { return reporter.Fraction(0.3 * f); }, threads);
  if (r != TX_OK) return r;
  settings.progress = [&](double f) { return reporter.Fraction(0.3 + 0.7 * f); };
  std::vector<uint8_t> body;
  try {
    r = encoder.Finish(settings, body);
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  }
  if (r != TX_OK) return r;
  encoder.Clear();
  // The coder keeps to the budget; cutting here only guards that promise,
  // and a cut body is still a valid (coarser) stream.
  if (body.size() > settings.byteBudget) body.resize(settings.byteBudget);
  if (body.size() > kMaxBodyBytes) return TX_ERR_TOO_LARGE;
  header.bodyBytes = static_cast<uint32_t>(body.size());
  uint8_t head[kHeaderBytes];
  SerializeHeader(header, head);
  r = WriteBytes(head, kHeaderBytes, reporter);
  if (r == TX_OK) r = WriteBytes(body.data(), body.size(), reporter);
  if (r == TX_OK) {
    output->flush();
    if (!*output) r = TX_ERR_IO;
  }
  if (r != TX_OK) return r;
  imageWritten = true;
  return TX_OK;
}
