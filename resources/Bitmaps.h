// The application's pictures: the bitmaps (as .bmp bytes and decoded), the
// toolbar button images, command icons, the application and document icons
// and the colour-table warning icon. All are compiled in (resources/tavix.qrc).
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QImage>

// The .bmp file bytes of bitmap 128, 153, 174, 175 or 176 (IDR_MAINFRAME,
// IDB_USER_IMAGES, IDB_SPLASH, IDB_ABOUT_BACKGROUND, IDB_ABOUT_PICTURE), as
// CDib::LoadResourceBitmap takes them; empty for any other id.
QByteArray ResourceBitmapBytes(int bitmapId);

// The same bitmap decoded; a null image for an unknown id.
QImage ResourceImage(int bitmapId);

// Image `index` of bitmap 128 (16 x 16, background transparent); a null
// icon when the index is out of range.
QIcon ToolbarImage(int index);

// Image `index` of bitmap 153 (16 x 15, background transparent); a null
// icon when the index is out of range.
QIcon UserImage(int index);

// The icon of a command: the desktop theme's icon for the standard commands
// (open, copy, paste, zooms, help, about, exit) with the bundled image as
// fallback, otherwise the command's image from bitmap 128 or 153. A null
// icon for a command without an image.
QIcon CommandIcon(int command);

QIcon ApplicationIcon();  // "tavixphoto", 16 to 256 pixels
QIcon DocumentIcon();     // .tvx documents ("image-x-tavix")
QIcon WarningIcon();      // icon 255 of the colour-table warning
