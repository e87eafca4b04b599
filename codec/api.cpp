// The TX functions: argument checks, job life cycle and the library's one
// piece of global state, the TXinit reference count. Every entry point
// catches what its work might throw, so no exception leaves the library.
#include <atomic>
#include <new>

#include "codec/TavixLib.h"
#include "codec/job.h"
#include "codec/parallel.h"
#include "codec/pipeline.h"
#include "codec/stream.h"

using namespace tavix;

namespace {

constexpr int kLibraryVersion = 4;
std::atomic<int> g_initCount{0};

bool Initialised() { return g_initCount.load(std::memory_order_acquire) > 0; }

template <typename Work>
int Guarded(Work&& work) {
  try {
    return work();
  } catch (const std::bad_alloc&) {
    return TX_ERR_MEMORY;
  } catch (...) {
    return TX_ERR_ABORTED;
  }
}

}  // namespace

int TXinit(int version, TXallocator* allocator) {
  if (version != kLibraryVersion) return TX_ERR_UNSUPPORTED;
  if (allocator != nullptr) return TX_ERR_UNSUPPORTED;  // custom allocators are not offered
  g_initCount.fetch_add(1, std::memory_order_acq_rel);
  return TX_OK;
}

int TXterminate() {
  int count = g_initCount.load(std::memory_order_acquire);
  while (count > 0) {
    if (g_initCount.compare_exchange_weak(count, count - 1, std::memory_order_acq_rel)) return TX_OK;
  }
  return TX_ERR_NOT_INITIALISED;
}

int TXgetBitsPerPlane(int colorType) {
  const int bits = BitsPerSample(colorType);
  return bits < 0 ? TX_ERR_ARGUMENT : bits;
}

int TXgetNumberOfPlanes(int colorType) {
  const int planes = PlaneCount(colorType);
  return planes < 0 ? TX_ERR_ARGUMENT : planes;
}

int TXdecompressionJob(TXjob*& job, TXinputStream& input) {
  job = nullptr;
  if (!Initialised()) return TX_ERR_NOT_INITIALISED;
  return Guarded([&]() -> int {
    job = new TXjob(TXjob::Kind::Decode);
    job->threads = DefaultThreadCount();
    job->input = &input;
    if (TXpreviewInputStream* preview = input.asPreviewStream()) preview->job = job;
    return TX_OK;
  });
}

int TXsetPixelLimit(TXjob* job, uint64_t maxPixels) {
  if (job == nullptr || job->kind != TXjob::Kind::Decode || maxPixels == 0) return TX_ERR_ARGUMENT;
  job->pixelLimit = maxPixels;
  return TX_OK;
}

int TXsetThreadCount(TXjob* job, int threads) {
  if (job == nullptr || threads < 0 || threads > kMaxThreads) return TX_ERR_ARGUMENT;
  job->threads = threads == 0 ? DefaultThreadCount() : threads;
  return TX_OK;
}

int TXreadHeader(TXjob* job, TXimageParams*& image, TXcompressionParams*& compression) {
  image = nullptr;
  compression = nullptr;
  if (job == nullptr || job->kind != TXjob::Kind::Decode) return TX_ERR_ARGUMENT;
  return Guarded([&]() -> int {
    if (!job->headerRead) {
      if (job->imageRead) return TX_ERR_STATE;
      const int r = job->ReadHeader();
      if (r != TX_OK) return r;
    }
    image = new TXimageParams(job->header.image);
    compression = new TXcompressionParams(job->header.compression);
    return TX_OK;
  });
}

int TXreadImage(TXjob* job, void* pixels, long rowBytes, int, TXprogress* progress) {
  if (job == nullptr || job->kind != TXjob::Kind::Decode) return TX_ERR_ARGUMENT;
  return Guarded([&]() -> int { return job->ReadImage(pixels, rowBytes, progress); });
}

long TXgetCompressedSize(TXjob* job) {
  if (job == nullptr) return TX_ERR_ARGUMENT;
  if (job->kind == TXjob::Kind::Encode) return job->bytesWritten;
  if (!job->headerRead) return TX_ERR_STATE;
  // While and after decoding: the bytes of the stream used so far.
  if (job->decoder) return static_cast<long>(kHeaderBytes + job->bodyRead);
  return static_cast<long>(kHeaderBytes + job->header.bodyBytes);
}

int TXendJob(TXjob*& job) {
  if (job == nullptr) return TX_ERR_ARGUMENT;
  if (job->input != nullptr) {
    if (TXpreviewInputStream* preview = job->input->asPreviewStream(); preview && preview->job == job)
      preview->job = nullptr;
  }
  delete job;
  job = nullptr;
  return TX_OK;
}

int TXdisposeParams(TXimageParams* image, TXcompressionParams* compression) {
  delete image;
  delete compression;
  return TX_OK;
}

int TXcompressionJob(TXjob*& job, std::ostream& output) {
  job = nullptr;
  if (!Initialised()) return TX_ERR_NOT_INITIALISED;
  return Guarded([&]() -> int {
    job = new TXjob(TXjob::Kind::Encode);
    job->threads = DefaultThreadCount();
    job->output = &output;
    return TX_OK;
  });
}

int TXwriteHeader(TXjob* job, const TXimageParams& image, const TXcompressionParams& compression) {
  if (job == nullptr || job->kind != TXjob::Kind::Encode) return TX_ERR_ARGUMENT;
  if (job->imageWritten) return TX_ERR_STATE;
  const int r = ValidateParams(image, compression);
  if (r != TX_OK) return r;
  job->header = StreamHeader{};
  job->header.image = image;
  job->header.compression = compression;
  PlanHeader(job->header);
  job->headerGiven = true;
  return TX_OK;
}

int TXwriteImage(TXjob* job, const void* pixels, long rowBytes, int, TXprogress* progress) {
  if (job == nullptr || job->kind != TXjob::Kind::Encode) return TX_ERR_ARGUMENT;
  return Guarded([&]() -> int { return job->WriteImage(pixels, rowBytes, progress); });
}
