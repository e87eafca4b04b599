// The view's compression settings: filled once from the image when the view
// is first shown, and turned into the image's codec records before every
// compression.
#include <algorithm>
#include <cstdint>
#include <limits>

#include "compression/CompressionSettings.h"
#include "compression/FileSizeDlg.h"
#include "compression/QualityDlg.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"

namespace {

constexpr int kDefaultColorPortion = 10;
constexpr int kMaxColorPortion = 40;
constexpr double kDefaultQuality = 40.0;
constexpr int kFileSizeDefaultRow = 1;  // 9/7, standard embedded
constexpr int kQualityDefaultRow = 12;
constexpr uint32_t kMinFileSize = 32;
constexpr int kLosslessPortion = 90;
constexpr int32_t kQualityAuxLong = 4000;

// The default ratio: 20 for grey images, 40 for colour.
double DefaultRatio(int bits) { return bits <= 8 ? 20.0 : 40.0; }

int ColorPortionFromFile(int portion) { return std::clamp(100 - portion, 1, kMaxColorPortion); }

bool DownsamplingFromFile(int codec) { return (codec & TXcodecNoDownsampling) == 0; }

QString FilterName(int wavelet) {
  switch (wavelet) {
    case TXwavelet1810: return QStringLiteral("18/10 Tap Filter");
    case TXwaveletMixed: return QStringLiteral("Mixed Filter");
    case TXwavelet53: return QStringLiteral("5/3 Tap Filter");
    default: return QStringLiteral("9/7 Tap Filter");
  }
}

// The File Size row a file's wavelet and coder were written with.
int FileSizeRowFromFile(int wavelet, int codec) {
  switch (wavelet) {
    case TXwavelet97: return (codec & TXcodecStandard) ? 1 : 2;
    case TXwavelet1810: return 3;
    case TXwaveletMixed: return 4;
    case TXwavelet53: return 0;
    default: return kFileSizeDefaultRow;
  }
}

// The Quality row a file's wavelet and coder were written with.
int QualityRowFromFile(int wavelet, int codec) {
  switch (wavelet) {
    case TXwavelet97:
      if (codec & TXcodecStandard)
        return 12;
      return (codec & TXcodecResolution) ? 14 : 13;
    case TXwavelet1810: return 15;
    case TXwaveletMixed: return 16;
    case TXwavelet53: return (codec & TXcodecResolution) ? 11 : 10;
    default: return kQualityDefaultRow;
  }
}

void SetFileSizeDefaults(CFileSizeDlg& dlg, uint32_t minFileSize) {
  const double ratio = DefaultRatio(dlg.m_nImageBits);
  dlg.m_dRatio = ratio;
  dlg.m_nFileSize = static_cast<uint32_t>(std::max(dlg.m_nRawSize / ratio, static_cast<double>(minFileSize)));
  dlg.m_dBitsPerPixel = dlg.m_nImageBits / ratio;
  dlg.m_nColorPortion = kDefaultColorPortion;
  dlg.m_nFilterChoice = kFileSizeDefaultRow;
}

void SetQualityDefaults(CQualityDlg& dlg) {
  dlg.m_dQuality = kDefaultQuality;
  dlg.m_nColorPortion = kDefaultColorPortion;
  dlg.m_nFilterChoice = kQualityDefaultRow;
  dlg.m_strFilter = FilterName(TXwavelet97);
}

void TakeFileSizeFile(CFileSizeDlg& dlg, const CDib& dib) {
  const TXcompressionParams& params = dib.m_compressionParams;
  const FileSizeValues values = FromFileSize(dib.m_nCompressedSize, dlg.m_nRawSize, dlg.m_nImageBits);
  dlg.m_nFileSize = values.fileSize;
  dlg.m_dRatio = values.ratio;
  dlg.m_dBitsPerPixel = values.bitsPerPixel;
  dlg.m_nColorPortion = ColorPortionFromFile(params.portion);
  dlg.m_bColorDownsampling = DownsamplingFromFile(params.codecType);
  dlg.m_nFilterChoice = FileSizeRowFromFile(params.waveletType, params.codecType);
}

void TakeQualityFile(CQualityDlg& dlg, const CDib& dib) {
  const TXcompressionParams& params = dib.m_compressionParams;
  dlg.m_dQuality = std::clamp(TargetToQuality(static_cast<uint32_t>(params.target)), 1, 50);
  dlg.m_nColorPortion = ColorPortionFromFile(params.portion);
  dlg.m_bColorDownsampling = DownsamplingFromFile(params.codecType);
  dlg.m_nFilterChoice = QualityRowFromFile(params.waveletType, params.codecType);
  dlg.m_strFilter = FilterName(params.waveletType);
}

// N = (B / 8) H W; images are limited to 2 GiB, so it fits 32 bits.
uint32_t RawSize(int width, int height, int bits) {
  const uint64_t bytes = static_cast<uint64_t>(std::max(bits, 0) / 8) * static_cast<uint64_t>(std::max(width, 0)) *
                         static_cast<uint64_t>(std::max(height, 0));
  return static_cast<uint32_t>(std::min<uint64_t>(bytes, std::numeric_limits<uint32_t>::max()));
}

template <class Dialog>
void SetInputs(Dialog& dlg, CTXPhotoDoc* doc, int width, int height, int bits) {
  dlg.m_pDoc = doc;
  dlg.m_nWidth = width;
  dlg.m_nHeight = height;
  dlg.m_nImageBits = bits;
  dlg.m_nRawSize = RawSize(width, height, bits);
  dlg.m_bOpenAfterSaving = 0;
  dlg.m_bColorDownsampling = 1;
  dlg.m_bUserDownsampling = 1;
}

}  // namespace

void CTXPhotoView::InitCompressionSettings() {
  if (!m_dlgFileSize || !m_dlgQuality)
    return;
  CFileSizeDlg& fileSize = *m_dlgFileSize;
  CQualityDlg& quality = *m_dlgQuality;
  const int width = m_sizeImage.width();
  const int height = m_sizeImage.height();
  SetInputs(fileSize, m_pDoc, width, height, m_nBitsPerPixel);
  SetInputs(quality, m_pDoc, width, height, m_nBitsPerPixel);
  quality.m_pImage = m_pDoc->GetDib();
  quality.m_bPreview = 0;

  const CDib* dib = m_pDoc->GetDib();
  const int fileMode = m_pDoc->m_nFormat == FormatTvx && dib ? dib->m_compressionParams.mode : -1;
  SetFileSizeDefaults(fileSize, fileMode == TXmodeLossless ? kMinFileSize : 1);
  SetQualityDefaults(quality);
  switch (fileMode) {
    case TXmodeFileSize:
      m_nSourceMode = CompressFileSize;
      TakeFileSizeFile(fileSize, *dib);
      break;
    case TXmodeQuality:
      m_nSourceMode = CompressQuality;
      TakeQualityFile(quality, *dib);
      break;
    case TXmodeLossless:
      m_nSourceMode = CompressLossless;
      break;
    default:
      // Other sources, and a .tvx mode this program does not write: the
      // defaults, so that the dialogs never show an empty target.
      m_nSourceMode = CompressNone;
      break;
  }
}

bool CTXPhotoView::BuildCompressionParams() {
  CDib* dib = m_pDoc->GetDib();
  if (!dib || !dib->Header() || !m_dlgFileSize || !m_dlgQuality)
    return false;
  int wavelet = -1;
  int codec = 0;
  int portion = kLosslessPortion;
  int mode = TXmodeLossless;
  int32_t target = 0;
  int32_t sizeMode = 0;
  int32_t auxLong = kQualityAuxLong;
  if (m_nCompressionMode == CompressFileSize) {
    const CFileSizeDlg& dlg = *m_dlgFileSize;
    MapFilterChoice(dlg.m_nFilterChoice, wavelet, codec);
    if (!dlg.m_bColorDownsampling)
      codec |= TXcodecNoDownsampling;
    target = static_cast<int32_t>(std::min<uint32_t>(dlg.m_nFileSize, std::numeric_limits<int32_t>::max()));
    portion = 100 - static_cast<int>(std::min<uint32_t>(dlg.m_nColorPortion, 100));
    mode = TXmodeFileSize;
    sizeMode = 1;
    auxLong = 0;
  } else if (m_nCompressionMode == CompressQuality) {
    const CQualityDlg& dlg = *m_dlgQuality;
    MapFilterChoice(dlg.m_nFilterChoice, wavelet, codec);
    if (!dlg.m_bColorDownsampling)
      codec |= TXcodecNoDownsampling;
    target = static_cast<int32_t>(QualityToTarget(dlg.m_dQuality));
    portion = 100 - static_cast<int>(std::min<uint32_t>(dlg.m_nColorPortion, 100));
    mode = TXmodeQuality;
  } else if (m_nCompressionMode == CompressLossless) {
    wavelet = TXwaveletSP;
    codec = TXcodecStandard;
  }
  if (wavelet < 0)
    return false;

  const CSize size = dib->GetSize();
  TXimageParams& image = dib->m_imageParams;
  image.width = static_cast<uint16_t>(size.cx);
  image.height = static_cast<uint16_t>(size.cy < 0 ? -size.cy : size.cy);
  image.colorType = dib->m_nColorType == DibGrey ? TXcolorGrey8 : TXcolorRGB24;
  TXcompressionParams& params = dib->m_compressionParams;
  params.auxWord2 = 2;
  params.auxWord3 = 0;
  params.waveletType = static_cast<uint16_t>(wavelet);
  params.codecType = static_cast<uint16_t>(codec);
  params.portion = static_cast<uint16_t>(portion);
  params.mode = static_cast<uint16_t>(mode);
  params.target = target;
  params.sizeMode = sizeMode;
  params.auxLong = auxLong;
  return true;
}
