// Shared by the application benchmarks: medians and the test photographs,
// made from the sample with ImageMagick into the temporary folder.
#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <algorithm>
#include <vector>

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// The sample photograph resized to `size` ("2048x1536") and stored as
// `fileName`, with extra ImageMagick options (e.g. a JPEG quality); empty
// when ImageMagick fails.
inline QString MakeBenchPhoto(const QString& fileName, const QString& size, const QStringList& options = {}) {
  const QString path = QDir::temp().filePath(fileName);
  if (QFile::exists(path))
    return path;
  const QStringList arguments =
      QStringList{QString(TAVIX_SOURCE_DIR) + "/samples/chelsea.ppm", "-resize", size + "!"} + options + QStringList{path};
  return QProcess::execute("convert", arguments) == 0 ? path : QString();
}
