// The tool's help texts: the general usage and one page per command.
#include <string>

#include "tools/Options.h"

#ifndef TAVIX_VERSION
#define TAVIX_VERSION "2.5.0"
#endif

namespace {

constexpr const char* kGeneral = R"(Usage:
  tavix convert IN OUT        convert between image formats
  tavix compress IN OUT.tvx   compress an image with the wavelet codec
  tavix compress --out-dir DIR IN...
                              compress each file to DIR/NAME.tvx
  tavix decompress IN.tvx OUT decode a .tvx file into a raster format
  tavix info FILE...          describe images and how .tvx files were compressed
  tavix COMMAND --help        the options of one command
  tavix --help | --version

Formats: read bmp, pcx, pnm/ppm/pgm, jpg/jpeg, tif/tiff, gif, tvx;
         write bmp, pnm/ppm/pgm, jpg/jpeg, tif/tiff, tvx.
         An input's format is recognised from its first bytes (the
         extension decides only when they match no format); an output's
         format is chosen by its extension or by --to.
         16-bit PGM/PPM files are compressed at full depth; 16-bit .tvx
         files decode to 16-bit PGM/PPM or TIFF.
         A file name "-" is standard input or output.

Compression (compress, and convert to .tvx):
  --quality Q          quality 1..50, higher is better: 50 gives the best
                       image and the largest file (default 40)
  --size BYTES         target size of the whole file (at least 57 bytes)
  --bpp X              target size in bits per pixel (X * pixels / 8 bytes)
  --lossless           exact reconstruction (wavelet sp unless ts or 5/3 is chosen)
  --wavelet W          9/7 (default), 18/10, mixed, sp, 9/7-lifted, ts, 5/3
  --layer L            standard (default), fast, fast-res
  --no-downsampling    keep the colour planes at full resolution
  --color-portion P    share of the budget for colour, 1..40 percent (default 10)
  --psnr               (compress) decode the result and add its PSNR to the summary

Other options:
  --from FORMAT        read the input as this format, whatever its first
                       bytes say: bmp, pcx, pnm, jpg, tif, gif, tvx
  --to FORMAT          format of the output: bmp, pnm, ppm, pgm, jpg, tif, tvx
  --jpeg-quality N     quality 0..100 of JPEG output (default 75)
  -q, --quiet          no summary line and no progress display
  -v, --verbose        say what each step did; info shows the raw header records
  --no-progress        no progress display on the terminal
  --max-pixels N       refuse images of more than N pixels before reading
                       them (default 268435456)
  --threads N          codec threads, 1..16 (default: TAVIX_THREADS when set,
                       else one per core; 0 also means one per core); the
                       output is the same for any count
  --version            the tool's version

The exit code is 0 on success (also when a .tvx file that ends early was
decoded as far as it goes: a warning says so), 1 when the operation fails
and 2 for a bad command line.
)";

constexpr const char* kCompress = R"(Usage:
  tavix compress [OPTIONS] IN OUT.tvx
  tavix compress [OPTIONS] --out-dir DIR IN...

Compresses an image (bmp, pcx, pnm, jpg, tif, gif) to a .tvx file and prints
one summary line on standard error: size of the input file and of the
output, ratio of the raw samples to the output, bits per pixel (and PSNR
with --psnr). IN "-" reads standard input, OUT "-" writes standard output.
With --out-dir each input becomes DIR/NAME.tvx; a file that fails is
reported and the others are still done (exit code 1 if any failed).

Rate (choose one; default --quality 40):
  --quality Q          1..50, higher is better: 50 gives the best image and
                       the largest file, 1 the smallest file
  --size BYTES         size of the whole file in bytes, at least 57
  --bpp X              size in bits per pixel of the image
  --lossless           exact reconstruction

Shape of the stream:
  --wavelet W          9/7 (default), 18/10, mixed, sp, 9/7-lifted, ts, 5/3
                       (lossless: sp, ts or 5/3; sp by default)
  --layer L            standard (default), fast, fast-res
  --no-downsampling    keep the colour planes at full resolution
  --color-portion P    share of the budget for colour, 1..40 percent (default 10)

Output:
  --psnr               decode the written file and report its PSNR
  --from FORMAT        read the input as this format (bmp, pcx, pnm, jpg, tif, gif)
  -q, --quiet          no summary line, no progress
  -v, --verbose        also say what was read and which settings were used
  --no-progress        no progress display
  --max-pixels N       refuse larger images (default 268435456)
  --threads N          codec threads, 1..16 (default: one per core); the
                       bytes are the same for any count
)";

constexpr const char* kDecompress = R"(Usage:
  tavix decompress [OPTIONS] IN.tvx OUT

Decodes a .tvx file into bmp, pnm/ppm/pgm, jpg or tif, chosen by OUT's
extension or by --to. IN "-" reads standard input, OUT "-" writes standard
output (PNM unless --to says otherwise). 16-bit files stay 16-bit in PGM/PPM
and TIFF. A file that ends before its stated length is decoded as far as it
goes, with a warning, and the exit code is 0.

Options:
  --to FORMAT          bmp, pnm, ppm, pgm, jpg, tif
  --jpeg-quality N     quality 0..100 of JPEG output (default 75)
  -q, --quiet          no progress display
  -v, --verbose        say what was read and written
  --no-progress        no progress display
  --max-pixels N       refuse larger images (default 268435456)
  --threads N          codec threads, 1..16 (default: one per core); the
                       pixels are the same for any count
)";

constexpr const char* kConvert = R"(Usage:
  tavix convert [OPTIONS] IN OUT

Converts between formats: reads bmp, pcx, pnm, jpg, tif, gif and tvx,
writes bmp, pnm/ppm/pgm, jpg, tif and tvx (chosen by OUT's extension or by
--to). Writing .tvx takes the compression options of `tavix compress --help`.
"-" is standard input or output.

Options:
  --from FORMAT        read the input as this format (bmp, pcx, pnm, jpg, tif, gif, tvx)
  --to FORMAT          output format: bmp, pnm, ppm, pgm, jpg, tif, tvx
  --jpeg-quality N     quality 0..100 of JPEG output (default 75)
  -q, --quiet / -v, --verbose / --no-progress / --max-pixels N / --threads N
)";

constexpr const char* kInfo = R"(Usage:
  tavix info [OPTIONS] FILE...

Describes each file: format, size and colour model; for .tvx files also how
it was compressed (mode and quality or target size, filter, layer, colour
portion of colour images, bits per pixel) and whether the file is complete:
a file that ends before the length its header states is reported as
"truncated", with both sizes. A file that cannot be read is reported and the
others are still described (exit code 1 if any failed).

Options:
  -v, --verbose        also show the raw header records
  --from FORMAT        read the files as this format
  --max-pixels N       refuse larger images (default 268435456)
)";

}  // namespace

std::string UsageText(Command topic) {
  switch (topic) {
    case Command::Compress: return kCompress;
    case Command::Decompress: return kDecompress;
    case Command::Convert: return kConvert;
    case Command::Info: return kInfo;
    case Command::Help:
    case Command::Version: break;
  }
  return kGeneral;
}

std::string VersionText() { return "tavix " TAVIX_VERSION " (TAVIX Photo)\n"; }
