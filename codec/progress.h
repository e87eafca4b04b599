// Drives a caller's TXprogress from inside a job: stores each value and
// calls progressChanged(), at most about once per percent.
#pragma once

#include "codec/TavixLib.h"

namespace tavix {

class ProgressReporter {
public:
  explicit ProgressReporter(TXprogress* progress) : m_progress(progress) {}
  // A fraction 0..1 of the whole job; false when the caller asked to stop.
  bool Fraction(double done);
  // Bytes written so far, reported as a negative value.
  bool BytesWritten(long bytes);
  // Asks the caller, without a new value, whether the job should go on:
  // lets long steps between progress values see a stop request promptly.
  bool StillWanted() { return !m_progress || m_progress->progressChanged(); }

private:
  TXprogress* m_progress;
  double m_lastFraction = -1.0;
};

}  // namespace tavix
