#include "resources/Bitmaps.h"

#include <QFile>
#include <QPixmap>
#include <QString>

#include "resources/MenuData.h"
#include "resources/resource.h"

// The pictures live in a static library, whose resource initialiser the
// linker would drop unless something refers to it. The registration must
// happen outside any namespace.
static bool RegisterPictures() {
  Q_INIT_RESOURCE(tavix);
  return true;
}

namespace {

void EnsurePictures() {
  static const bool registered = RegisterPictures();
  Q_UNUSED(registered);
}

constexpr QRgb kKeyColour = qRgb(255, 0, 255);  // background of the toolbar strips
constexpr int kToolbarImageWidth = 16;
constexpr int kToolbarImageHeight = 16;
constexpr int kUserImageWidth = 16;
constexpr int kUserImageHeight = 15;
constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

QString BitmapPath(int bitmapId) {
  switch (bitmapId) {
    case IDR_MAINFRAME: return QStringLiteral(":/tavix/images/toolbar128.bmp");
    case IDB_USER_IMAGES: return QStringLiteral(":/tavix/images/user153.bmp");
    case IDB_SPLASH: return QStringLiteral(":/tavix/images/splash174.bmp");
    case IDB_ABOUT_BACKGROUND: return QStringLiteral(":/tavix/images/about175.bmp");
    case IDB_ABOUT_PICTURE: return QStringLiteral(":/tavix/images/about176.bmp");
    default: return {};
  }
}

// The double-size drawing of a strip, for high-density screens.
QString DoubleSizePath(int bitmapId) {
  return bitmapId == IDR_MAINFRAME ? QStringLiteral(":/tavix/images/toolbar128@2x.png")
                                   : QStringLiteral(":/tavix/images/user153@2x.png");
}

// Image `index` of a strip of equally wide images, the key colour made
// transparent, together with its double-size drawing when there is one.
QIcon StripImage(int bitmapId, int index, int width, int height) {
  const QImage strip = ResourceImage(bitmapId);
  if (index < 0 || strip.isNull() || (index + 1) * width > strip.width() || strip.height() < height) {
    return {};
  }
  QImage image = strip.copy(index * width, 0, width, height).convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x) {
      if ((row[x] & 0xffffff) == (kKeyColour & 0xffffff)) row[x] = 0;
    }
  }
  QIcon icon;
  icon.addPixmap(QPixmap::fromImage(image));
  const QImage large(DoubleSizePath(bitmapId));
  if (large.width() >= 2 * (index + 1) * width && large.height() >= 2 * height) {
    icon.addPixmap(QPixmap::fromImage(large.copy(2 * index * width, 0, 2 * width, 2 * height)));
  }
  return icon;
}

// Button index of a command in toolbar 128 (separators do not count), or -1.
int StandardToolbarIndex(int command) {
  int index = 0;
  for (int id : StandardToolbarResource()) {
    if (id == 0) continue;
    if (id == command) return index;
    ++index;
  }
  return -1;
}

// Freedesktop icon-theme name of a standard command, or nullptr.
const char* ThemeIconName(int command) {
  switch (command) {
    case ID_FILE_OPEN: return "document-open";
    case ID_EDIT_COPY: return "edit-copy";
    case ID_EDIT_PASTE: return "edit-paste";
    case ID_ZOOM_IN: return "zoom-in";
    case ID_ZOOM_OUT: return "zoom-out";
    case ID_ORIGINAL_SIZE: return "zoom-original";
    case ID_HELP_CONTENTS: return "help-contents";
    case ID_APP_ABOUT: return "help-about";
    case ID_APP_EXIT: return "application-exit";
    default: return nullptr;
  }
}

QIcon BundledCommandIcon(int command) {
  const int toolbarIndex = StandardToolbarIndex(command);
  if (toolbarIndex >= 0) return ToolbarImage(toolbarIndex);
  const int userIndex = UserImageIndex(command);
  if (userIndex >= 0) return UserImage(userIndex);
  return {};
}

QIcon SizedIcon(const QString& context, const QString& name) {
  EnsurePictures();
  QIcon icon;
  for (int size : kIconSizes) {
    icon.addFile(QStringLiteral(":/tavix/icons/hicolor/%1x%1/%2/%3.png").arg(size).arg(context, name),
                 QSize(size, size));
  }
  return icon;
}

}  // namespace

QByteArray ResourceBitmapBytes(int bitmapId) {
  EnsurePictures();
  const QString path = BitmapPath(bitmapId);
  if (path.isEmpty()) return {};
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

QImage ResourceImage(int bitmapId) {
  const QByteArray bytes = ResourceBitmapBytes(bitmapId);
  if (bytes.isEmpty()) return {};
  return QImage::fromData(bytes, "BMP");
}

QIcon ToolbarImage(int index) {
  return StripImage(IDR_MAINFRAME, index, kToolbarImageWidth, kToolbarImageHeight);
}

QIcon UserImage(int index) {
  return StripImage(IDB_USER_IMAGES, index, kUserImageWidth, kUserImageHeight);
}

QIcon CommandIcon(int command) {
  const QIcon bundled = BundledCommandIcon(command);
  if (const char* name = ThemeIconName(command)) {
    return QIcon::fromTheme(QString::fromLatin1(name), bundled);
  }
  return bundled;
}

QIcon ApplicationIcon() {
  return SizedIcon(QStringLiteral("apps"), QStringLiteral("tavixphoto"));
}

QIcon DocumentIcon() {
  return SizedIcon(QStringLiteral("mimetypes"), QStringLiteral("image-x-tavix"));
}

QIcon WarningIcon() {
  EnsurePictures();
  return QIcon(QStringLiteral(":/tavix/images/warning255.png"));
}
