// Progress on stderr while a long operation runs: one line rewritten in
// place, shown only when stderr is a terminal. The codec reports through
// TXprogress, the JPEG glue through IProgressBar, TIFF through ProgressFunc.
// A job of several phases (read, then write) sets each phase's share of the
// whole with a ProgressPhase, so the percentage counts up once and never
// starts again from 0.
#pragma once

#include <cstdio>
#include <string>

#include "codec/TavixLib.h"
#include "image/Progress.h"

class ProgressLine {
public:
  // `enabled` false (or stderr not a terminal) makes every call a no-op.
  ProgressLine(std::string label, bool enabled, std::FILE* out = stderr);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Percent(int percent);
  void Bytes(long bytes);
  // Clears the line.
  void Finish();
  bool Active() const { return m_enabled; }

private:
  void Show(const std::string& text);

  std::string m_label;
  double m_low;   // the phase's share of the job, from the ProgressPhase in force
  double m_high;
  bool m_enabled;
  std::FILE* m_out;
  int m_lastPercent = -1;
  long m_lastBytes = -1;
  bool m_shown = false;
};

// Codec progress: fractions become percentages, negative values byte counts.
class CodecProgress : public TXprogress {
public:
  explicit CodecProgress(ProgressLine& line) : m_line(line) {}
  bool progressChanged() override;

private:
  ProgressLine& m_line;
};

class LineProgressBar : public IProgressBar {
public:
  explicit LineProgressBar(ProgressLine& line) : m_line(line) {}
  int SetPos(int percent) override;

private:
  ProgressLine& m_line;
  int m_position = 0;
};

// ProgressFunc carries no context, so the line it drives is installed for
// the duration of one TIFF call by a RowProgressScope.
int RowProgress(unsigned done, unsigned total);

class RowProgressScope {
public:
  explicit RowProgressScope(ProgressLine& line);
  ~RowProgressScope();
  RowProgressScope(const RowProgressScope&) = delete;
  RowProgressScope& operator=(const RowProgressScope&) = delete;

private:
  ProgressLine* m_previous;
};

// The part of the job the operations started while it lives cover: their
// 0..100 % is shown as low..high percent of the whole. Phases nest by
// replacing the window; the previous one comes back at the end.
class ProgressPhase {
public:
  ProgressPhase(double low, double high);
  ~ProgressPhase();
  ProgressPhase(const ProgressPhase&) = delete;
  ProgressPhase& operator=(const ProgressPhase&) = delete;

private:
  double m_previousLow;
  double m_previousHigh;
};
