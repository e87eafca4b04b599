// The arithmetic of the compression settings: the quality scale, the filter
// rows and the linked file size / ratio / bits-per-pixel rules. Pure
// functions, so the dialogs and the tests share one definition.
#pragma once

#include <cstdint>

// Quality factor Q (1..50) <-> the file's 16.16 target.
long QualityToTarget(double quality);
int TargetToQuality(uint32_t target);
// The in-dialog quantizer preview's own q scale (131072 for Q = 50).
long QuantizerPreviewValue(double quality);

// Filter row (0..4, 10..16) -> wavelet and codec; other values leave both untouched.
void MapFilterChoice(int choice, int& wavelet, int& codec);
// True when the row forces colour downsampling on (the standard embedded rows).
bool FilterChoiceForcesDownsampling(int choice);

// The File Size dialog's linked values. N = raw bytes, B = bits per pixel.
struct FileSizeValues {
  uint32_t fileSize = 0;
  double ratio = 0;
  double bitsPerPixel = 0;
};
int RatioSliderPosition(double ratio);  // floor(sqrt(1000 ratio) + 0.5)
FileSizeValues FromRatioSlider(int position, uint64_t rawSize, int bits);
FileSizeValues FromFileSize(uint32_t fileSize, uint64_t rawSize, int bits);
FileSizeValues FromRatio(double ratio, uint64_t rawSize, int bits);
FileSizeValues FromBitsPerPixel(double bitsPerPixel, uint64_t rawSize, int bits);
