// Standard input and output as files: the readers and writers work on named
// files (some seek), so "-" goes through a private scratch folder: standard
// input is copied into it before reading, the output is written there and
// copied to standard output once it is complete. The folder is removed when
// the object goes, and on an interrupt.
#pragma once

#include <iosfwd>
#include <string>

#include "tools/Status.h"

class StdStreams {
public:
  StdStreams() = default;
  ~StdStreams();
  StdStreams(const StdStreams&) = delete;
  StdStreams& operator=(const StdStreams&) = delete;

  // Copies all of `in` into the scratch file "in"; its path goes to `path`.
  Status TakeInput(std::istream& in, std::string& path);
  // The path to write the output to; copy it out with DeliverOutput.
  Status OutputPath(std::string& path);
  Status DeliverOutput(std::ostream& out);

  // `text` with the scratch files named as the user knows them.
  std::string Renamed(std::string text) const;

private:
  Status Open();

  std::string m_folder;
};
