#include "codec/progress.h"

#include <algorithm>

TXprogress::TXprogress() : active(1), progressValue(0.0), windowLow(0.0), windowHigh(1.0), taskLimit(0.0) {}
TXprogress::~TXprogress() = default;

void TXprogress::setWindow(double low, double high) {
  windowLow = low;
  windowHigh = high;
}

void TXprogress::setTaskLimit(TXimageParams*, TXcompressionParams*, long fileLength) {
  taskLimit = static_cast<double>(fileLength);
}

void TXprogress::setTaskLimit(double limit) { taskLimit = limit; }

void TXprogress::setProgressValue(double value) {
  progressValue = value >= 0.0 ? windowLow + value * (windowHigh - windowLow) : value;
}

double TXprogress::getProgressValue() { return progressValue; }

bool TXprogress::progressChanged() { return active != 0; }

namespace tavix {

bool ProgressReporter::Fraction(double done) {
  if (!m_progress) return true;
  done = std::clamp(done, 0.0, 1.0);
  // Only forward steps of a percent or more, and the final 1.0 once.
  if (done < 1.0 && done - m_lastFraction < 0.01) return true;
  if (done >= 1.0 && m_lastFraction >= 1.0) return true;
  m_lastFraction = done;
  m_progress->setProgressValue(done);
  return m_progress->progressChanged();
}

bool ProgressReporter::BytesWritten(long bytes) {
  if (!m_progress) return true;
  m_progress->setProgressValue(-static_cast<double>(bytes));
  return m_progress->progressChanged();
}

}  // namespace tavix
