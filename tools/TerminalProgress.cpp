#include "tools/TerminalProgress.h"

#include <unistd.h>

namespace {

// The line RowProgress drives; one per thread, set by RowProgressScope.
thread_local ProgressLine* t_rowLine = nullptr;

// The window of the current phase; one per thread, set by ProgressPhase.
thread_local double t_phaseLow = 0.0;
thread_local double t_phaseHigh = 1.0;

}  // namespace

ProgressLine::ProgressLine(std::string label, bool enabled, std::FILE* out)
    : m_label(std::move(label)),
      m_low(t_phaseLow),
      m_high(t_phaseHigh),
      m_enabled(enabled && out && isatty(fileno(out))),
      m_out(out) {}

ProgressLine::~ProgressLine() { Finish(); }

void ProgressLine::Show(const std::string& text) {
  std::fprintf(m_out, "\r%s %s\x1b[K", m_label.c_str(), text.c_str());
  std::fflush(m_out);
  m_shown = true;
}

void ProgressLine::Percent(int percent) {
  if (!m_enabled) return;
  if (percent < 0) percent = 0;
  if (percent > 100) percent = 100;
  // Into the phase's window; an operation that starts over (another pass)
  // does not move the display back.
  percent = static_cast<int>(100.0 * m_low + (m_high - m_low) * percent);
  if (percent <= m_lastPercent) return;
  m_lastPercent = percent;
  Show(std::to_string(percent) + " %");
}

void ProgressLine::Bytes(long bytes) {
  if (!m_enabled) return;
  // Redraw about every 64 KiB, not for every block the coder emits.
  if (m_lastBytes >= 0 && bytes - m_lastBytes < 65536 && bytes >= m_lastBytes) return;
  m_lastBytes = bytes;
  Show((m_lastPercent >= 0 ? std::to_string(m_lastPercent) + " %, " : std::string()) + std::to_string(bytes) +
       " bytes");
}

void ProgressLine::Finish() {
  if (m_enabled && m_shown) {
    std::fprintf(m_out, "\r\x1b[K");
    std::fflush(m_out);
  }
  m_shown = false;
}

bool CodecProgress::progressChanged() {
  if (progressValue >= 0.0)
    m_line.Percent(static_cast<int>(progressValue * 100.0));
  else
    m_line.Bytes(static_cast<long>(-progressValue));
  return true;
}

int LineProgressBar::SetPos(int percent) {
  const int previous = m_position;
  m_position = percent;
  m_line.Percent(percent);
  return previous;
}

int RowProgress(unsigned done, unsigned total) {
  if (t_rowLine && total > 0) t_rowLine->Percent(static_cast<int>(static_cast<unsigned long long>(done) * 100 / total));
  return 1;
}

RowProgressScope::RowProgressScope(ProgressLine& line) : m_previous(t_rowLine) { t_rowLine = &line; }

RowProgressScope::~RowProgressScope() { t_rowLine = m_previous; }

ProgressPhase::ProgressPhase(double low, double high) : m_previousLow(t_phaseLow), m_previousHigh(t_phaseHigh) {
  t_phaseLow = low;
  t_phaseHigh = high;
}

ProgressPhase::~ProgressPhase() {
  t_phaseLow = m_previousLow;
  t_phaseHigh = m_previousHigh;
}
