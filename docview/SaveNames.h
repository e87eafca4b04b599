// Save and export names: the chosen path with its file name cut before the
// first '.' and the target extension appended; dots in the folders stay
// ("/out.backup/img.new" -> "/out.backup/img.tvx").
#pragma once

#include <QString>

inline QString PathWithExtension(const QString& chosen, const QString& extension) {
  const qsizetype nameStart = chosen.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = chosen.indexOf(QLatin1Char('.'), nameStart);
  return (dot < 0 ? chosen : chosen.left(dot)) + extension;
}
