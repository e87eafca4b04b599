// Menus, accelerators and toolbar layouts of the main frame and the views.
// Menu texts keep their exact spelling and spacing: "\t" separates the
// shortcut shown at the right of an item.
#include "resources/MenuData.h"

#include <iterator>

#include "resources/resource.h"

namespace {

constexpr int kSeparator = 0;

// Menu 128: the menu bar while no document is open.
constexpr MenuEntry kMenuMainFrame[] = {
    {0, 0, "&File"},
    {1, ID_FILE_OPEN, "&Open ...\t Strg+O"},
    {1, ID_FILE_MRU_FILE1, "Recent File"},
    {1, ID_APP_EXIT, "E&xit"},
    {0, 0, "&Edit"},
    {1, ID_EDIT_COPY, "&Copy\t Strg+C"},
    {1, ID_EDIT_PASTE, "&Paste\t Strg+V"},
    {0, 0, "&View"},
    {1, ID_VIEW_TOOLBAR, "&Standard Toolbar"},
    {1, ID_VIEW_USER_TOOLBAR, "&User Toolbar"},
    {1, ID_VIEW_MAIN_STATUSBAR, "Statusbar (&Main Window)"},
    {1, ID_VIEW_DOC_STATUSBAR, "Statusbar (&Document Window)"},
    {1, ID_CUSTOMIZE, "&Customize ..."},
    {0, 0, "&?"},
    {1, ID_HELP_CONTENTS, "TAVIX Photo &Help \t  F1"},
    {1, ID_APP_ABOUT, "Inf&o about TAVIX Photo..."},
    {1, ID_INTERNET, "TAVIX in the &Internet"},
};

// Menu 129: the menu bar while an image document is open.
constexpr MenuEntry kMenuImage[] = {
    {0, 0, "&File"},
    {1, ID_FILE_OPEN, "&Open... \tStrg+O"},
    {1, ID_FILE_CLOSE, "&Close"},
    {1, ID_FILE_EXPORT, "&Export as ...\tStrg+E"},
    {1, ID_FILE_MRU_FILE1, "Recent File"},
    {1, ID_APP_EXIT, "E&xit"},
    {0, 0, "&Edit"},
    {1, ID_EDIT_COPY, "&Copy \t Strg+C"},
    {1, ID_EDIT_PASTE, "&Paste \t Strg+V"},
    {0, 0, "&View"},
    {1, ID_ZOOM_IN, "Zoom &In"},
    {1, ID_ZOOM_OUT, "Zoom &Out"},
    {1, ID_ORIGINAL_SIZE, "O&riginal Size"},
    {1, ID_VIEW_SCALE, "View Scale ..."},
    {1, ID_FULL_PAGE, "&Full Page Mode on /-off"},
    {1, ID_VIEW_TOOLBAR, "&Standard Toolbar"},
    {1, ID_VIEW_USER_TOOLBAR, "&User Toolbar"},
    {1, ID_VIEW_MAIN_STATUSBAR, "Statusbar (&Main Window)"},
    {1, ID_VIEW_DOC_STATUSBAR, "Statusbar (&Document Window)"},
    {1, ID_CUSTOMIZE, "&Customize ..."},
    {0, 0, "&Image"},
    {1, ID_IMAGE_INFO, "&Image Information\tStrg+I"},
    {0, 0, "&Compression"},
    {1, ID_COMPRESS_FILESIZE, "Compress for &File Size\tStrg+T"},
    {1, ID_COMPRESS_QUALITY, "Compress for &Quality\tStrg+Q"},
    {1, ID_COMPRESS_LOSSLESS, "Compress &Lossless\tStrg+L"},
    {0, 0, "&Window"},
    {1, ID_WINDOW_NEW, "&New Window"},
    {1, ID_WINDOW_CASCADE, "&Cascade"},
    {1, ID_WINDOW_TILE_HORZ, "&Tile"},
    {1, ID_WINDOW_ARRANGE, "&Arrange Icons"},
    {0, 0, "&?"},
    {1, ID_HELP_CONTENTS, "TAVIX Photo &Help\t  F1"},
    {1, ID_APP_ABOUT, "I&nfo about TAVIX Photo..."},
    {1, ID_INTERNET, "TAVIX in the &Internet"},
};

// Menu 214: the toolbar context menu. The ten "<User Toolbar>" entries are
// renamed after the user-defined toolbars that exist, or removed.
constexpr MenuEntry kMenuToolbar[] = {
    {0, 0, "Toolbars"},
    {1, ID_VIEW_TOOLBAR, "Standard Toolbar"},
    {1, ID_VIEW_USER_TOOLBAR, "User Toolbar"},
    {1, kSeparator, nullptr},
    {1, ID_VIEW_STATUS_BAR, "Statusbar (Main Window)"},
    {1, ID_VIEW_DOC_STATUSBAR, "Statusbar (Document Window)"},
    {1, ID_USER_TOOLBAR1, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR2, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR3, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR4, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR5, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR6, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR7, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR8, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR9, "<User Toolbar>"},
    {1, ID_USER_TOOLBAR10, "<User Toolbar>"},
    {1, kSeparator, nullptr},
    {1, ID_CUSTOMIZE, "Customize ..."},
};

// Menu 107: the view's context menu ("Standard Menu").
constexpr MenuEntry kMenuView[] = {
    {0, 0, "Standard Menu"},
    {1, ID_ZOOM_IN, "Zoom In"},
    {1, ID_ZOOM_OUT, "Zoom Out"},
    {1, ID_ORIGINAL_SIZE, "Original Size"},
    {1, ID_VIEW_SCALE, "View scale ..."},
    {1, kSeparator, nullptr},
    {1, ID_FULL_PAGE, "Full Page Mode on/-off"},
    {1, kSeparator, nullptr},
    {1, ID_IMAGE_INFO, "Image Information"},
    {1, kSeparator, nullptr},
    {1, ID_COMPRESS_FILESIZE, "Compress for File Size"},
    {1, ID_COMPRESS_QUALITY, "Compress for Quality"},
    {1, ID_COMPRESS_LOSSLESS, "Compress Lossless"},
    {1, kSeparator, nullptr},
    {1, ID_FILE_EXPORT, "Export as ..."},
};

// Menu 110: the Preview dialog's context menu; its items carry the ids of
// the dialog's buttons.
constexpr MenuEntry kMenuPreview[] = {
    {0, 0, "Preview"},
    {1, IDOK, "Save"},
    {1, IDCANCEL, "Close"},
    {1, IDC_PREVIEW_ZOOM_IN, "Zoom In"},
    {1, IDC_PREVIEW_ZOOM_OUT, "Zoom Out"},
    {1, IDC_PREVIEW_ORIGINAL_SIZE, "Original Size"},
};

// Accelerator table 128. Ctrl+T joins Ctrl+F for "Compress for File Size"
// because the Compression menu shows Strg+T for that command; F1 opens the
// help, as the help menu shows.
constexpr AcceleratorEntry kAccelerators[] = {
    {"Ctrl+C", ID_EDIT_COPY},         {"Ctrl+E", ID_FILE_EXPORT},
    {"Ctrl+F", ID_COMPRESS_FILESIZE}, {"Ctrl+I", ID_IMAGE_INFO},
    {"Ctrl+L", ID_COMPRESS_LOSSLESS}, {"Ctrl+O", ID_FILE_OPEN},
    {"Ctrl+Q", ID_COMPRESS_QUALITY},  {"Ctrl+T", ID_COMPRESS_FILESIZE},
    {"Ctrl+V", ID_EDIT_PASTE},        {"F6", ID_NEXT_PANE},
    {"Shift+F6", ID_PREV_PANE},       {"F1", ID_HELP_CONTENTS},
};

// Toolbar 128; 32825 is the place of the compression-mode combo box.
constexpr int kStandardToolbar[] = {
    ID_FILE_OPEN, ID_FILE_EXPORT, kSeparator, ID_EDIT_COPY, ID_EDIT_PASTE, kSeparator,
    ID_COMPRESSION_MODE, ID_COMPRESS, kSeparator, ID_ZOOM_IN, ID_ZOOM_OUT, ID_ORIGINAL_SIZE,
    ID_VIEW_SCALE,
};

constexpr UserImageButton kUserToolbar[] = {
    {ID_COMPRESS_FILESIZE, 0, IDS_BTN_COMPRESS_FILESIZE},
    {ID_COMPRESS_QUALITY, 1, IDS_BTN_COMPRESS_QUALITY},
    {ID_COMPRESS_LOSSLESS, 2, IDS_BTN_COMPRESS_LOSSLESS},
    {kSeparator, -1, 0},
    {ID_IMAGE_INFO, 6, IDS_BTN_IMAGE_INFO},
    {ID_HELP_CONTENTS, 3, IDS_BTN_HELP},
    {ID_APP_ABOUT, 4, IDS_BTN_PROGRAM_INFO},
    {ID_INTERNET, 5, IDS_BTN_INTERNET},
    {ID_CUSTOMIZE, 7, IDS_BTN_CUSTOMIZE},
    {ID_FULL_PAGE, 8, 0},
};

// Bitmap 153: the command of each image, by image index.
constexpr int kUserImageCommands[] = {
    ID_COMPRESS_FILESIZE, ID_COMPRESS_QUALITY, ID_COMPRESS_LOSSLESS,
    ID_HELP_CONTENTS,     ID_APP_ABOUT,        ID_INTERNET,
    ID_IMAGE_INFO,        ID_CUSTOMIZE,        ID_FULL_PAGE,
};

}  // namespace

std::span<const MenuEntry> MenuResource(int menuId) {
  switch (menuId) {
    case IDR_MAINFRAME: return kMenuMainFrame;
    case IDR_TAVIXTYPE: return kMenuImage;
    case IDR_POPUP_TOOLBAR: return kMenuToolbar;
    case IDR_POPUP_VIEW: return kMenuView;
    case IDR_POPUP_PREVIEW: return kMenuPreview;
    default: return {};
  }
}

std::span<const AcceleratorEntry> AcceleratorResource() { return kAccelerators; }

std::span<const int> StandardToolbarResource() { return kStandardToolbar; }

std::span<const UserImageButton> UserToolbarResource() { return kUserToolbar; }

int UserImageIndex(int command) {
  if (command == 0)
    return -1;
  for (std::size_t i = 0; i < std::size(kUserImageCommands); ++i)
    if (kUserImageCommands[i] == command)
      return static_cast<int>(i);
  return -1;
}
