// The CDib side of .tvx files: probe, read, write and the memory pair, with
// the edge cases of bad files and the records carried into the image.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "codec/TavixLib.h"
#include "codec/codec_test_support.h"
#include "format_test_helpers.h"
#include "image/Dib.h"

using namespace formats_test;

namespace {

// A CDib holding a test pattern (grey or colour).
void FillDib(CDib& dib, int width, int height, bool colour, uint32_t seed = 1) {
  const int planes = colour ? 3 : 1;
  const Bytes pattern = TestPattern(width, height, planes, seed);
  ASSERT_TRUE(dib.AllocPixelBuffer(pattern.size()));
  std::memcpy(dib.GetPixels(), pattern.data(), pattern.size());
  dib.m_nColorType = colour ? DibRGB : DibGrey;
  ASSERT_TRUE(dib.CreateFromPixels(width, height, 8 * planes));
  dib.FreePixels();
  dib.m_imageParams.width = static_cast<uint16_t>(width);
  dib.m_imageParams.height = static_cast<uint16_t>(height);
  dib.m_imageParams.colorType = colour ? TXcolorRGB24 : TXcolorGrey8;
}

Bytes PixelsOf(CDib& dib) {
  EXPECT_TRUE(dib.MakePixels());
  const CSize size = dib.GetSize();
  const size_t bytes = static_cast<size_t>(size.cx) * size.cy * dib.PixelBytesPerPixel();
  Bytes pixels(dib.GetPixels(), dib.GetPixels() + bytes);
  dib.FreePixels();
  return pixels;
}

class RecordingProgress : public TXprogress {
public:
  void setTaskLimit(TXimageParams* image, TXcompressionParams* compression, long fileLength) override {
    limitLength = fileLength;
    sawRecords = image != nullptr && compression != nullptr;
    TXprogress::setTaskLimit(image, compression, fileLength);
  }
  bool progressChanged() override {
    ++calls;
    return true;
  }
  long limitLength = -1;
  bool sawRecords = false;
  int calls = 0;
};

class CountingPreviewStream : public TXpreviewInputStream {
public:
  bool previewReady() override {
    ++previews;
    geometryOk = geometryOk && previewWidth == externalWidth && previewHeight == externalHeight;
    return true;
  }
  int previews = 0;
  bool geometryOk = true;
};

// A .tvx file made directly through the codec (any colour type).
void WriteCodecFile(const std::string& path, int colorType, int width = 12, int height = 9) {
  const codec_test::TestImage image = codec_test::MakeImage(width, height, colorType);
  codec_test::LibraryScope library;
  std::string bytes;
  ASSERT_EQ(codec_test::Encode(image, codec_test::Params(TXmodeLossless, TXwavelet53), bytes), TX_OK);
  WriteBytes(path, Bytes(bytes.begin(), bytes.end()));
}

}  // namespace

TEST(TvxFile, ShortAndMissingFilesFailWithInternal) {
  TempDir dir;
  CDib dib;
  WriteBytes(dir.File("empty.tvx"), {});
  WriteBytes(dir.File("one.tvx"), {'T'});
  EXPECT_EQ(dib.ProbeTvx(dir.File("empty.tvx")), DIB_ERR_INTERNAL);
  EXPECT_EQ(dib.ProbeTvx(dir.File("one.tvx")), DIB_ERR_INTERNAL);
  EXPECT_EQ(dib.ProbeTvx(dir.File("missing.tvx")), DIB_ERR_INTERNAL);
  EXPECT_EQ(dib.ReadTvx(dir.File("missing.tvx"), nullptr), DIB_ERR_INTERNAL);
  // A short file that gets past the probe's length test fails in the codec.
  WriteBytes(dir.File("two.tvx"), {'T', 'V'});
  EXPECT_EQ(dib.ProbeTvx(dir.File("two.tvx")), TX_ERR_CORRUPT);
  WriteBytes(dir.File("foreign.tvx"), {'B', 'M', 0, 0});
  EXPECT_EQ(dib.ReadTvx(dir.File("foreign.tvx"), nullptr), TX_ERR_FORMAT);
  // The codec's library count is back to zero after every operation.
  EXPECT_EQ(TXterminate(), TX_ERR_NOT_INITIALISED);
}

TEST(TvxFile, SixteenBitColourTypesAreRefusedAndTheImageIsKept) {
  TempDir dir;
  CDib dib;
  FillDib(dib, 5, 4, true);
  dib.m_compressionParams.portion = 77;
  const Bytes before = PixelsOf(dib);
  for (int colorType : {TXcolorGrey16, TXcolorRGB48}) {
    SCOPED_TRACE(colorType);
    const std::string path = dir.File("deep" + std::to_string(colorType) + ".tvx");
    WriteCodecFile(path, colorType);
    EXPECT_EQ(dib.ProbeTvx(path), DIB_ERR_FORMAT);
    EXPECT_EQ(dib.ReadTvx(path, nullptr), DIB_ERR_FORMAT);
    EXPECT_EQ(dib.m_compressionParams.portion, 77);
    EXPECT_EQ(PixelsOf(dib), before);
  }
}

TEST(TvxFile, WriteThenReadIsExactAndCarriesTheRecords) {
  TempDir dir;
  for (bool colour : {false, true}) {
    SCOPED_TRACE(colour ? "colour" : "grey");
    CDib source;
    FillDib(source, 37, 23, colour, 4);  // odd width: DIB rows are padded, codec rows are not
    source.m_imageParams.imageTag = 9;
    source.m_compressionParams.mode = TXmodeLossless;
    source.m_compressionParams.waveletType = TXwaveletSP;
    source.m_compressionParams.codecType = 0x82;
    source.m_compressionParams.auxLong = 4000;
    const std::string path = dir.File(colour ? "c.tvx" : "g.tvx");
    ASSERT_EQ(source.WriteTvx(path, nullptr), DIB_OK);
    EXPECT_EQ(source.GetPixels(), nullptr);  // the pixel buffer is freed again

    CDib loaded;
    EXPECT_EQ(loaded.ProbeTvx(path), DIB_OK);
    RecordingProgress progress;
    ASSERT_EQ(loaded.ReadTvx(path, &progress), DIB_OK);
    const auto length = static_cast<DWORD>(std::filesystem::file_size(path));
    EXPECT_EQ(loaded.m_nFileSize, length);
    EXPECT_EQ(loaded.m_nCompressedSize, length);
    EXPECT_EQ(progress.limitLength, static_cast<long>(length));
    EXPECT_TRUE(progress.sawRecords);
    EXPECT_GT(progress.calls, 0);
    EXPECT_EQ(loaded.m_nPlanes, colour ? 3u : 1u);
    EXPECT_EQ(loaded.m_nBitsPerPlane, 8);
    EXPECT_EQ(loaded.m_nColorType, colour ? DibRGB : DibGrey);
    EXPECT_EQ(loaded.GetPixels(), nullptr);
    EXPECT_EQ(loaded.m_imageParams.imageTag, 9);
    EXPECT_EQ(loaded.m_imageParams.width, 37);
    EXPECT_EQ(loaded.m_imageParams.colorType, colour ? TXcolorRGB24 : TXcolorGrey8);
    EXPECT_EQ(loaded.m_compressionParams.waveletType, TXwaveletSP);
    EXPECT_EQ(loaded.m_compressionParams.codecType, 0x82);
    EXPECT_EQ(loaded.m_compressionParams.auxLong, 4000);
    EXPECT_EQ(PixelsOf(loaded), PixelsOf(source));
  }
}

TEST(TvxFile, GreyAndColourWritesUseOneAndThreeBytesPerPixel) {
  TempDir dir;
  for (bool colour : {false, true}) {
    CDib source;
    FillDib(source, 30, 10, colour, 2);
    // The record says something else: the pixel buffer's geometry wins.
    source.m_imageParams.colorType = colour ? TXcolorGrey8 : TXcolorRGB48;
    source.m_imageParams.width = 3;
    source.m_compressionParams.mode = TXmodeLossless;
    const std::string path = dir.File("rows.tvx");
    ASSERT_EQ(source.WriteTvx(path, nullptr), DIB_OK);
    codec_test::LibraryScope library;
    const Bytes file = ReadBytes(path);
    codec_test::TestImage decoded;
    ASSERT_EQ(codec_test::Decode(std::string(file.begin(), file.end()), decoded), TX_OK);
    EXPECT_EQ(decoded.width, 30);
    EXPECT_EQ(decoded.rowBytes, colour ? 90 : 30);
    EXPECT_EQ(decoded.bytes, PixelsOf(source));
  }
}

TEST(TvxFile, FailedReadKeepsTheRecordsAndFailedWriteLeavesNoFile) {
  TempDir dir;
  CDib source;
  FillDib(source, 20, 20, true);
  source.m_compressionParams.mode = TXmodeQuality;
  source.m_compressionParams.target = 248707;
  const std::string path = dir.File("good.tvx");
  ASSERT_EQ(source.WriteTvx(path, nullptr), DIB_OK);
  Bytes damaged = ReadBytes(path);
  damaged[20] ^= 0x40;  // inside the header records
  WriteBytes(dir.File("bad.tvx"), damaged);
  CDib dib;
  dib.m_compressionParams.portion = 55;
  EXPECT_EQ(dib.ReadTvx(dir.File("bad.tvx"), nullptr), TX_ERR_CORRUPT);
  EXPECT_EQ(dib.m_compressionParams.portion, 55);

  // A target file size the codec cannot meet: an error and nothing on disk,
  // and an older file of that name survives.
  source.m_compressionParams.mode = TXmodeFileSize;
  source.m_compressionParams.target = 10;
  EXPECT_EQ(source.WriteTvx(dir.File("tiny.tvx"), nullptr), TX_ERR_ARGUMENT);
  EXPECT_FALSE(std::filesystem::exists(dir.File("tiny.tvx")));
  EXPECT_NE(source.WriteTvx(path, nullptr), DIB_OK);
  EXPECT_EQ(ReadBytes(path).size(), std::filesystem::file_size(path));
  CDib stillGood;
  EXPECT_EQ(stillGood.ReadTvx(path, nullptr), DIB_OK);
  EXPECT_EQ(source.WriteTvx(dir.File("no/such/folder/x.tvx"), nullptr), DIB_ERR_INTERNAL);
}

TEST(TvxMemory, CompressThenDecompressWithPreviews) {
  CDib source;
  FillDib(source, 300, 200, true, 3);
  source.m_compressionParams.mode = TXmodeQuality;
  source.m_compressionParams.target = 248707;  // Q = 40
  source.m_compressionParams.codecType = 0x81;
  CDib preview;
  ASSERT_EQ(source.CompressToMemory(&preview, nullptr), DIB_OK);
  EXPECT_EQ(source.GetPixels(), nullptr);
  ASSERT_GT(preview.m_nCompressedLen, 56);
  ASSERT_NE(preview.m_pCompressed, nullptr);

  CountingPreviewStream stream;
  RecordingProgress progress;
  ASSERT_EQ(preview.DecompressFromMemory(stream, &progress), DIB_OK);
  EXPECT_GE(stream.previews, 1);
  EXPECT_TRUE(stream.geometryOk);
  EXPECT_EQ(stream.stream, nullptr);          // no pointer to the operation's memory stream is left
  EXPECT_EQ(stream.externalBuffer, nullptr);  // nor to the freed pixel buffer
  EXPECT_EQ(preview.m_nCompressedSize, static_cast<DWORD>(preview.m_nCompressedLen));
  EXPECT_EQ(preview.m_compressionParams.target, 248707);
  EXPECT_EQ(preview.GetSize().cx, 300);
  // Decoding the same bytes from a file gives the same image.
  TempDir dir;
  WriteBytes(dir.File("p.tvx"), Bytes(preview.m_pCompressed.get(), preview.m_pCompressed.get() + preview.m_nCompressedLen));
  CDib fromFile;
  ASSERT_EQ(fromFile.ReadTvx(dir.File("p.tvx"), nullptr), DIB_OK);
  EXPECT_EQ(PixelsOf(fromFile), PixelsOf(preview));
  const double psnr = [&] {
    const Bytes a = PixelsOf(source), b = PixelsOf(preview);
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += (a[i] - b[i]) * double(a[i] - b[i]);
    return 10 * std::log10(255.0 * 255.0 / (sum / a.size()));
  }();
  EXPECT_GT(psnr, 30.0);
}

TEST(TvxMemory, BadInputsToTheMemoryPair) {
  CDib source;
  FillDib(source, 16, 16, false);
  source.m_compressionParams.mode = TXmodeLossless;
  EXPECT_EQ(source.CompressToMemory(nullptr, nullptr), DIB_ERR_INTERNAL);
  CDib empty;
  CountingPreviewStream stream;
  EXPECT_EQ(empty.DecompressFromMemory(stream, nullptr), DIB_ERR_INTERNAL);
  CDib noImage;
  CDib target;
  EXPECT_EQ(noImage.CompressToMemory(&target, nullptr), DIB_ERR_IO);
  // Sixteen-bit bytes in memory are refused as by the file read.
  codec_test::LibraryScope library;
  std::string deep;
  ASSERT_EQ(codec_test::Encode(codec_test::MakeImage(8, 8, TXcolorRGB48), codec_test::Params(TXmodeLossless), deep),
            TX_OK);
  CDib holder;
  holder.m_pCompressed.reset(new BYTE[deep.size()]);
  std::memcpy(holder.m_pCompressed.get(), deep.data(), deep.size());
  holder.m_nCompressedLen = static_cast<int>(deep.size());
  EXPECT_EQ(holder.DecompressFromMemory(stream, nullptr), DIB_ERR_FORMAT);
  EXPECT_EQ(holder.GetPixels(), nullptr);
}
