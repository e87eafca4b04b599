#include "app/DesktopIntegration.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

// The icons live in resources/tavix.qrc, compiled into a static library
// whose resource initialiser the linker drops unless something refers to it.
// Registering twice is harmless. Must stay outside any namespace.
static void RegisterIconResources() { Q_INIT_RESOURCE(tavix); }

namespace {

const QString kDesktopTemplate = QStringLiteral(":/tavix/desktop/TavixPhoto.desktop");
const QString kMimePackage = QStringLiteral(":/tavix/desktop/tavix-photo.xml");
const QString kIconRoot = QStringLiteral(":/tavix/icons/hicolor");
constexpr qint64 kMaxCompared = 4 << 20;  // a larger file on disk is simply replaced

QByteArray ReadResource(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool SameBytes(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  if (file.size() != bytes.size() || file.size() > kMaxCompared) return false;
  return file.open(QIODevice::ReadOnly) && file.readAll() == bytes;
}

// True when `path` now holds `bytes` because it was written.
bool WriteIfDifferent(const QString& path, const QByteArray& bytes) {
  if (bytes.isEmpty() || SameBytes(path, bytes)) return false;
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  file.write(bytes);
  return file.commit();
}

// The escapes of a desktop-entry string value.
QString EscapeString(const QString& value) {
  QString out;
  for (const QChar c : value) {
    if (c == u'\\') out += QStringLiteral("\\\\");
    else if (c == u'\n') out += QStringLiteral("\\n");
    else if (c == u'\t') out += QStringLiteral("\\t");
    else if (c == u'\r') out += QStringLiteral("\\r");
    else out += c;
  }
  return out;
}

// One Exec argument: '%' doubled, quoted when it holds a reserved character
// (with ", `, $ and \ escaped inside the quotes), then string-escaped.
QString ExecArgument(const QString& argument) {
  static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
  QString arg = argument;
  arg.replace(u'%', QStringLiteral("%%"));
  const bool needsQuotes =
      std::any_of(arg.begin(), arg.end(), [](QChar c) { return reserved.contains(c); });
  if (needsQuotes) {
    QString quoted = QStringLiteral("\"");
    for (const QChar c : arg) {
      if (c == u'"' || c == u'`' || c == u'$' || c == u'\\') quoted += u'\\';
      quoted += c;
    }
    arg = quoted + u'"';
  }
  return EscapeString(arg);
}

void RunDetached(const QString& tool, const QString& folder) {
  const QString program = QStandardPaths::findExecutable(tool);
  if (program.isEmpty()) return;
  QProcess process;
  process.setProgram(program);
  process.setArguments({folder});
  process.setStandardOutputFile(QProcess::nullDevice());
  process.setStandardErrorFile(QProcess::nullDevice());
  process.startDetached();
}

}  // namespace

QString DesktopDataHome() {
  const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
  if (!dataHome.isEmpty() && QDir::isAbsolutePath(dataHome)) return QDir::cleanPath(dataHome);
  return QDir::homePath() + QStringLiteral("/.local/share");
}

QByteArray DesktopEntryFor(const QString& executablePath) {
  const QString entry = QString::fromUtf8(ReadResource(kDesktopTemplate));
  if (entry.isEmpty()) return {};
  QStringList lines = entry.split(u'\n');
  for (qsizetype i = 0; i < lines.size(); ++i) {
    if (!lines[i].startsWith(QStringLiteral("Exec="))) continue;
    lines[i] = QStringLiteral("Exec=") + ExecArgument(executablePath) + QStringLiteral(" %F");
    // Launchers hide the entry once this program is gone (a deleted build folder).
    lines.insert(i + 1, QStringLiteral("TryExec=") + EscapeString(executablePath));
    break;
  }
  return lines.join(u'\n').toUtf8();
}

QStringList InstallDesktopFiles(const QString& dataHome, const QString& executablePath) {
  const QDir home(dataHome);
  QStringList written;
  auto install = [&](const QString& relative, const QByteArray& bytes) {
    const QString path = home.absoluteFilePath(relative);
    if (WriteIfDifferent(path, bytes)) written.append(path);
  };
  install(QStringLiteral("applications/TavixPhoto.desktop"), DesktopEntryFor(executablePath));
  install(QStringLiteral("mime/packages/tavix-photo.xml"), ReadResource(kMimePackage));
  RegisterIconResources();
  QDirIterator icons(kIconRoot, QDir::Files, QDirIterator::Subdirectories);
  while (icons.hasNext()) {
    const QString source = icons.next();
    install(QStringLiteral("icons/hicolor/") + source.mid(kIconRoot.size() + 1), ReadResource(source));
  }
  return written;
}

void RegisterDesktopIntegration() {
#if !defined(Q_OS_WIN) && !defined(Q_OS_MACOS)  // those register programs through installers
  const QString dataHome = DesktopDataHome();
  const QStringList written = InstallDesktopFiles(dataHome, QCoreApplication::applicationFilePath());
  const auto wroteUnder = [&](const QString& folder) {
    const QString prefix = QDir(dataHome).absoluteFilePath(folder) + u'/';
    return std::any_of(written.begin(), written.end(),
                       [&](const QString& path) { return path.startsWith(prefix); });
  };
  if (wroteUnder(QStringLiteral("mime")))
    RunDetached(QStringLiteral("update-mime-database"), QDir(dataHome).absoluteFilePath(QStringLiteral("mime")));
  if (wroteUnder(QStringLiteral("applications")))
    RunDetached(QStringLiteral("update-desktop-database"),
                QDir(dataHome).absoluteFilePath(QStringLiteral("applications")));
#endif
}
