// Progress interfaces of the raster readers and writers. The application's
// status-bar progress bar implements them; tests record them.
#pragma once

// Called with the rows or pixels done so far and the total; the TIFF writer
// stops when it returns 0.
using ProgressFunc = int (*)(unsigned done, unsigned total);

// A progress bar that can be moved to a percentage 0..100 (and shown).
class IProgressBar {
public:
  virtual ~IProgressBar() = default;
  // Returns the previous position.
  virtual int SetPos(int percent) = 0;
};
