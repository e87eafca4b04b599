// Portable any-map files: P1/P4 bitmaps, P2/P5 grey, P3/P6 colour, each
// with 8-bit samples (maximum value 255). P1-P3 are plain (decimal text),
// P4-P6 binary.
//
// The routines return small positive codes, which CDib::ReadPNM and
// CDib::WritePNM pass through unchanged (see PnmResult).
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>

#include "platform/WinTypes.h"

enum PnmResult : int {
  PnmOk = 0,
  PnmCannotOpen = 1,
  PnmShortData = 2,      // short read or write
  PnmInvalidHeader = 4,
  PnmMismatch = 5,       // size differs from the caller's, or a kind / plane count it does not handle
};

// Largest width or height the header's 16-bit fields hold.
constexpr int kPnmMaxDimension = 32767;

struct PnmHeader {
  int16_t kind = -1;     // 1..6 from the magic digit; -1 when invalid
  int16_t height = 0;
  int16_t width = 0;
  int16_t planes = 1;    // 3 when kind % 3 == 0
  int16_t bits = 8;      // 1 when kind % 3 == 1
  BYTE plain = 0;        // 1 for kinds 1..3
  std::string comment;   // written as "# text" after the magic line when not empty
};

// Reads up to `count` bytes; `count` becomes the number read. Returns 0, or
// 2 when fewer bytes arrived.
class PnmReader {
public:
  explicit PnmReader(std::istream& in) : m_in(in) {}
  int read(void* buffer, size_t& count);
  // Steps back one byte (the one just read).
  void unget();
  // One byte, or -1 at the end of the data.
  int get();

private:
  std::istream& m_in;
};

// Writes `count` bytes. Returns 0, or 2 when they could not all be written.
class PnmWriter {
public:
  explicit PnmWriter(std::ostream& out) : m_out(out) {}
  int write(const void* buffer, size_t& count);

private:
  std::ostream& m_out;
};

// Header parsing shared by the routines below. Returns 0 or 4.
int PnmReadHeader(PnmReader& reader, PnmHeader& header);

// Width, height and planes of the file; bitsCode is always 2 (8 bits per
// sample). Returns a PnmResult.
int PnmReadHeaderInfo(const std::string& name, int* width, int* height, int* planes, int* bitsCode);

// Fills `pixels` top-down with `height` rows of width * planes bytes. The
// file must be a grey or colour kind of exactly this size (else 5). Plain
// data that end early fail with 2 after filling what they hold; the rest of
// `pixels` is left as the caller set it.
int PnmRead(BYTE* pixels, int width, int height, int planes, const std::string& name);
int PnmRead(BYTE* pixels, int width, int height, int planes, std::istream& in);

// Writes a binary P5 (1 plane) or P6 (3 planes) file, or with `plain` the
// P2/P3 text kinds. The file is replaced only when everything was written.
int PnmWrite(const BYTE* pixels, int width, int height, int planes, const std::string& name, bool plain = false);
int PnmWrite(const BYTE* pixels, const PnmHeader& header, std::ostream& out);
