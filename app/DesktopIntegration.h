// Registration with the user's desktop: the launcher entry, the image/x-tavix
// file type for *.tvx files and the icons, written under $XDG_DATA_HOME at
// start-up so that a program run from its build or unpacked folder shows up in
// menus and "Open With" like an installed one.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Writes the files that are missing or differ from this program's (see
// InstallDesktopFiles), then refreshes the desktop's MIME and launcher
// caches in the background when the tools for it exist. Never blocks on the
// tools and never reports: a desktop without them simply keeps its caches.
void RegisterDesktopIntegration();

// $XDG_DATA_HOME, or ~/.local/share when it is unset or not absolute.
QString DesktopDataHome();

// Writes under dataHome:
//   applications/TavixPhoto.desktop      launching `executablePath` with %F
//   mime/packages/tavix-photo.xml        image/x-tavix, *.tvx and its signature
//   icons/hicolor/<size>/{apps,mimetypes}/...png
// A file whose bytes already match is left alone. Returns the paths written.
QStringList InstallDesktopFiles(const QString& dataHome, const QString& executablePath);

// The desktop entry of this program with Exec and TryExec pointing at
// `executablePath` (quoted and escaped as desktop entries require); empty
// when the embedded template is missing.
QByteArray DesktopEntryFor(const QString& executablePath);
