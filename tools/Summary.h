// The line compress prints when it is done, and the PSNR it may carry.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "tools/ImageFiles.h"

// PSNR in dB of `decoded` against `original` over all samples, with the
// original's largest sample value as the peak; +infinity when they are
// identical; nothing when the two do not have the same shape.
std::optional<double> PeakSignalToNoise(SourceImage& original, SourceImage& decoded);

// "IN -> OUT: W x H, A -> B bytes, ratio R : 1, X bpp[, PSNR P dB]": the
// ratio is that of the raw samples to the written file.
std::string SummaryLine(const std::string& inName, const std::string& outName, const SourceImage& source,
                        uint64_t outputBytes, std::optional<double> psnr);

// One line on a loaded image: "PNM, 300 x 200, RGB 8 bit".
std::string BriefDescription(const SourceImage& source);
