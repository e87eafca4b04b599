// Numeric identifiers of the application's resources: commands, strings,
// dialogs, controls, bitmaps, menus and accelerators. Command ids double as
// the ids of their prompt strings ("status text\ntooltip"). The numbers are
// fixed: stored settings, tests and the help pages refer to them.
//
// Keep every definition on one line as "constexpr int NAME = number;": the
// id -> symbol table (ResourceSymbols.h) is generated from these lines.
#pragma once

// ---------------------------------------------------------------- menus, bitmaps, icons, cursors
constexpr int IDR_MAINFRAME = 128;        // menu, accelerators, toolbar and bitmap of the main frame
constexpr int IDR_TAVIXTYPE = 129;        // menu, icon and document string of the image document
constexpr int IDR_POPUP_VIEW = 107;       // the view's context menu ("Standard Menu")
constexpr int IDR_POPUP_PREVIEW = 110;    // the Preview dialog's context menu
constexpr int IDR_POPUP_TOOLBAR = 214;    // the toolbar context menu
constexpr int IDR_HAND_CURSOR = 210;      // hand cursor over the preview panes
constexpr int IDB_USER_IMAGES = 153;      // user toolbar images, 16 x 15 each
constexpr int IDB_SPLASH = 174;           // 485 x 251
constexpr int IDB_ABOUT_BACKGROUND = 175; // 532 x 218
constexpr int IDB_ABOUT_PICTURE = 176;    // 256 x 128, 8-bit grey
constexpr int IDI_WARNING_ICON = 255;     // icon of the colour-table warning

// ---------------------------------------------------------------- dialogs
constexpr int IDD_JPEG_QUALITY = 142;        // "JPEG Quality Factor"
constexpr int IDD_FILESIZE = 188;            // "File Size" compression settings
constexpr int IDD_QUALITY = 189;             // "Quality" compression settings
constexpr int IDD_IMAGE_INFO = 194;          // "Image Information"
constexpr int IDD_PREVIEW = 227;             // "Preview"
constexpr int IDD_COLORTABLE_WARNING = 252;  // colour-table warning
constexpr int IDD_VIEW_SCALE = 258;          // "View Scale"

// ---------------------------------------------------------------- controls
// Buttons shared by many dialogs ("Save"/"Continue" and "Cancel"/"Close").
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Colour-table warning (252); "Continue" is IDOK.
constexpr int IDC_SHOW_AGAIN = 1133;
constexpr int IDC_EXIT = 1134;

// Standard file-dialog controls moved when the dialog is enlarged.
constexpr int IDC_FILE_TYPE_LABEL = 1090;
constexpr int IDC_FILE_NAME_LABEL = 1089;
constexpr int IDC_FILE_NAME = 1152;
constexpr int IDC_FILE_TYPE = 1136;
constexpr int IDC_FILE_LIST = 1120;

// JPEG Quality Factor (142); "Save" is IDOK, "Cancel" IDCANCEL.
constexpr int IDC_JPEG_QUALITY = 1049;         // edit "Quality Factor:"
constexpr int IDC_JPEG_QUALITY_SLIDER = 1050;  // track bar "Low" .. "High"

// File Size (188); "Save" is IDOK, "Cancel" IDCANCEL, "Help" ID_HELP.
constexpr int IDC_FILESIZE_BYTES = 1000;             // edit "File Size in Byte:"
constexpr int IDC_FILESIZE_COMPRESSION_SLIDER = 1002;// track bar "Compression:" "Low" .. "High"
constexpr int IDC_FILESIZE_RATIO = 1004;             // edit "Compression Ratio:"
constexpr int IDC_FILESIZE_FILTER = 1020;            // two-column filter combo box
constexpr int IDC_FILESIZE_COLOR_PORTION = 1026;     // edit "Color Portion:"
constexpr int IDC_FILESIZE_COLOR_SLIDER = 1027;      // track bar 1..40
constexpr int IDC_FILESIZE_BITS_PER_PIXEL = 1042;    // edit "Bit per Pixel:"
constexpr int IDC_FILESIZE_COLOR_LABEL = 1045;       // colour statics, disabled for grey images
constexpr int IDC_FILESIZE_COLOR_UNIT = 1046;
constexpr int IDC_FILESIZE_COLOR_MIN = 1127;         // "1%"
constexpr int IDC_FILESIZE_COLOR_MAX = 1128;         // "40%"
constexpr int IDC_OPEN_AFTER_SAVING = 1091;          // check box "Open after saving" (188 and 189)
constexpr int IDC_FILESIZE_PREVIEW = 1093;           // button "Preview"
constexpr int IDC_FILESIZE_DOWNSAMPLING = 1143;      // check box "Color Downsampling"

// Quality (189); "Save" is IDOK, "Cancel" IDCANCEL, "Help" ID_HELP, "Open after saving" 1091.
constexpr int IDC_QUALITY_PREVIEW = 3;               // button "Preview"
constexpr int IDC_QUALITY_COLOR_PORTION = 1003;      // edit, colour portion
constexpr int IDC_QUALITY_COLOR_SLIDER = 1009;       // track bar 1..40
constexpr int IDC_QUALITY_SLIDER = 1010;             // track bar 1..50 "Low" .. "High"
constexpr int IDC_QUALITY_SHOW_PREVIEW = 1014;       // check box "Preview "
constexpr int IDC_QUALITY_FACTOR = 1028;             // edit "Quality Factor"
constexpr int IDC_QUALITY_FILTER = 1029;             // two-column filter combo box
constexpr int IDC_QUALITY_PANE = 1035;               // preview pane (etched frame)
constexpr int IDC_QUALITY_COLOR_LABEL = 1047;        // colour statics, disabled for grey images
constexpr int IDC_QUALITY_COLOR_UNIT = 1048;
constexpr int IDC_QUALITY_ZOOM_IN = 1051;            // button "+"
constexpr int IDC_QUALITY_ZOOM_OUT = 1052;           // button "--"
constexpr int IDC_QUALITY_PREVIEW_GROUP = 1092;      // frame of the preview controls
constexpr int IDC_QUALITY_COLOR_MIN = 1129;          // "1%"
constexpr int IDC_QUALITY_COLOR_MAX = 1130;          // "40%"
constexpr int IDC_QUALITY_DOWNSAMPLING = 1144;       // check box "Color Downsampling"
constexpr int IDC_QUALITY_SHOW_ORIGINAL = 1145;      // radio "Original"
constexpr int IDC_QUALITY_SHOW_COMPRESSED = 1146;    // radio "Compressed"

// Image Information (194); "OK" is IDOK.
constexpr int IDC_INFO_RATIO = 1078;        // "Compression Ratio (R):"
constexpr int IDC_INFO_MODE = 1079;         // "Compression Mode:"
constexpr int IDC_INFO_FILE_NAME = 1080;    // "File Name:"
constexpr int IDC_INFO_FORMAT = 1081;       // "File Format:"
constexpr int IDC_INFO_FILE_SIZE = 1083;    // "File Size (Byte):"
constexpr int IDC_INFO_WIDTH = 1084;        // "Image Width (Pixel):"
constexpr int IDC_INFO_HEIGHT = 1085;       // "Image Height (Pixel):"
constexpr int IDC_INFO_COLOR_MODEL = 1087;  // "Color Model:"
constexpr int IDC_INFO_PICTURE = 1088;      // etched frame with the picture
constexpr int IDC_INFO_PARAMS = 1090;       // "Compression Parameters:"

// Preview (227); "Save" is IDOK, "Close" IDCANCEL, "Help" ID_HELP. Menu 110 uses these ids.
constexpr int IDC_PREVIEW_HSCROLL = 1105;
constexpr int IDC_PREVIEW_VSCROLL = 1106;
constexpr int IDC_PREVIEW_PANE = 1110;
constexpr int IDC_PREVIEW_ZOOM_IN = 1116;
constexpr int IDC_PREVIEW_ZOOM_OUT = 1117;
constexpr int IDC_PREVIEW_ORIGINAL_SIZE = 1118;
constexpr int IDC_PREVIEW_ORIGINAL = 1121;         // radio "Original"
constexpr int IDC_PREVIEW_COMPRESSED = 1122;       // radio "Compressed"
constexpr int IDC_PREVIEW_FILE_SIZE = 1125;        // "File Size" ... "Byte"
constexpr int IDC_PREVIEW_RATIO = 1126;            // "Compression Ratio" ... ": 1"
constexpr int IDC_PREVIEW_OPEN_AFTER_SAVING = 1132;// "Open after" / "saving"

// View Scale (258); one radio group, then the percentage edit.
constexpr int IDC_SCALE_200 = 1136;
constexpr int IDC_SCALE_100 = 1137;
constexpr int IDC_SCALE_75 = 1138;
constexpr int IDC_SCALE_50 = 1139;
constexpr int IDC_SCALE_25 = 1140;
constexpr int IDC_SCALE_USER = 1141;     // "User defined:"
constexpr int IDC_SCALE_PERCENT = 1142;

// ---------------------------------------------------------------- framework windows
constexpr int IDW_PROGRESS_BAR = 1;        // the status-bar progress control
constexpr int IDW_DOC_STATUS_BAR = 104;    // the document window's status bar
constexpr int AFX_IDW_TOOLBAR = 59392;     // the standard toolbar
constexpr int AFX_IDW_STATUS_BAR = 59393;  // the main status bar (0xE801)
constexpr int IDW_MENUBAR = 59412;
constexpr int IDW_USER_TOOLBAR = 59413;
constexpr int IDW_USER_DEFINED_FIRST = 59432;  // ten user-defined toolbars
constexpr int IDW_USER_DEFINED_LAST = 59441;

// ---------------------------------------------------------------- framework commands
constexpr int ID_FILE_OPEN = 57601;
constexpr int ID_FILE_CLOSE = 57602;
constexpr int ID_FILE_EXPORT = 57604;
constexpr int ID_FILE_MRU_FILE1 = 57616;  // the four recent files: 57616..57619
constexpr int ID_FILE_MRU_FILE2 = 57617;
constexpr int ID_FILE_MRU_FILE3 = 57618;
constexpr int ID_FILE_MRU_FILE4 = 57619;
constexpr int ID_EDIT_COPY = 57634;
constexpr int ID_EDIT_PASTE = 57637;
constexpr int ID_WINDOW_NEW = 57648;
constexpr int ID_WINDOW_ARRANGE = 57649;
constexpr int ID_WINDOW_CASCADE = 57650;
constexpr int ID_WINDOW_TILE_HORZ = 57651;
constexpr int ID_APP_ABOUT = 57664;
constexpr int ID_APP_EXIT = 57665;
constexpr int ID_HELP = 57670;
constexpr int ID_NEXT_PANE = 57680;
constexpr int ID_PREV_PANE = 57681;
constexpr int ID_VIEW_TOOLBAR = 59392;
constexpr int ID_VIEW_STATUS_BAR = 59393;

// ---------------------------------------------------------------- application commands
constexpr int ID_ZOOM_OUT = 32774;
constexpr int ID_ZOOM_IN = 32775;
constexpr int ID_COMPRESS = 32782;
constexpr int ID_ORIGINAL_SIZE = 32793;
constexpr int ID_VIEW_SCALE = 32893;
constexpr int ID_COMPRESS_QUALITY = 32805;
constexpr int ID_COMPRESS_LOSSLESS = 32806;
constexpr int ID_COMPRESS_FILESIZE = 32807;
constexpr int ID_VIEW_MAIN_STATUSBAR = 32808;
constexpr int ID_VIEW_DOC_STATUSBAR = 32809;
constexpr int ID_IMAGE_INFO = 32810;
constexpr int ID_INTERNET = 32812;
constexpr int ID_HELP_CONTENTS = 32820;
constexpr int ID_CUSTOMIZE = 32824;
constexpr int ID_COMPRESSION_MODE = 32825;
constexpr int ID_USER_TOOLBAR1 = 32831;  // ten entries: 32831..32840
constexpr int ID_USER_TOOLBAR2 = 32832;
constexpr int ID_USER_TOOLBAR3 = 32833;
constexpr int ID_USER_TOOLBAR4 = 32834;
constexpr int ID_USER_TOOLBAR5 = 32835;
constexpr int ID_USER_TOOLBAR6 = 32836;
constexpr int ID_USER_TOOLBAR7 = 32837;
constexpr int ID_USER_TOOLBAR8 = 32838;
constexpr int ID_USER_TOOLBAR9 = 32839;
constexpr int ID_USER_TOOLBAR10 = 32840;
constexpr int ID_VIEW_USER_TOOLBAR = 32873;
constexpr int ID_FULL_PAGE = 32889;

// ---------------------------------------------------------------- strings
constexpr int AFX_IDS_APP_TITLE = 57344;    // "TAVIX Photo 2.5"
constexpr int AFX_IDS_IDLEMESSAGE = 57345;  // "Ready"
constexpr int AFX_IDS_OPENFILE = 61440;     // "Open"
constexpr int AFX_IDS_ALLFILTER = 61443;    // the all-files filter text

// Document string (IDR_TAVIXTYPE) and the compression-mode names of the information dialog.
constexpr int IDS_NO_COMPRESSION = 130;     // "No Compression"
constexpr int IDS_RUN_LENGTH = 131;         // "Run Length"

// Progress and About texts.
constexpr int IDS_COMPRESSING = 61216;           // "Compression in progress ..."
constexpr int IDS_DECOMPRESSING = 61217;         // "Decompression in progress ..."
constexpr int IDS_ABOUT_LINE1_FIRST = 61219;     // first lines of text pairs 0, 1, 3, 4, 5: 61219..61223
constexpr int IDS_ABOUT_LINE2_FIRST = 61224;     // second lines: 61224..61228

// Loading and exporting status texts.
constexpr int IDS_LOADING_JPEG = 61235;
constexpr int IDS_EXPORTING_JPEG = 61236;
constexpr int IDS_LOADING_TIFF = 61244;
constexpr int IDS_EXPORTING_TIFF = 61245;
constexpr int IDS_LOADING_BMP = 61246;
constexpr int IDS_EXPORTING_BMP = 61247;
constexpr int IDS_LOADING_GIF = 61248;
constexpr int IDS_LOADING_PNM = 61250;
constexpr int IDS_EXPORTING_PNM = 61251;

// Messages.
constexpr int IDS_FILE_CORRUPTED = 61240;
constexpr int IDS_FORMAT_NOT_HANDLED_EXT = 61241;
constexpr int IDS_SAVE_FAILED = 61243;
constexpr int IDS_NO_INTERNET = 61252;
constexpr int IDS_PALETTE_LOSS = 61257;
constexpr int IDS_DELETE_CLIPBOARD = 61259;
constexpr int IDS_CLIPBOARD_NAME = 61260;        // names of a pasted document
constexpr int IDS_PASTE_FAILED = 61261;
constexpr int IDS_COPY_FAILED = 61262;
constexpr int IDS_CREATING_PREVIEW = 61263;
constexpr int IDS_FORMAT_NOT_HANDLED = 61264;
constexpr int IDS_LOSSLESS_GREY_ONLY = 61265;
constexpr int IDS_HELP_MISSING = 61289;
constexpr int IDS_PREVIEW_FAILED = 61299;
constexpr int IDS_CLIPBOARD_TITLE = 61300;       // title of a pasted document
constexpr int IDS_MIN_IMAGE_SIZE = 61302;
constexpr int IDS_COMPRESS_FAILED = 61303;

// Pieces of the compression description.
constexpr int IDS_INFO_Q = 61268;
constexpr int IDS_INFO_LL = 61269;
constexpr int IDS_INFO_C = 61270;
constexpr int IDS_INFO_W = 61271;
constexpr int IDS_INFO_R = 61272;
constexpr int IDS_INFO_MODE_FILESIZE = 61273;
constexpr int IDS_INFO_MODE_QUALITY = 61274;
constexpr int IDS_INFO_MODE_LOSSLESS = 61275;
constexpr int IDS_INFO_COLOR_PORTION = 61276;
constexpr int IDS_LAYER_STANDARD = 61294;        // "S"
constexpr int IDS_LAYER_FAST = 61295;            // "F"
constexpr int IDS_LAYER_DOWNSAMPLING = 61296;    // "D"
constexpr int IDS_LAYER_RESOLUTION = 61297;      // "R"
constexpr int IDS_LAYER_EMBEDDED = 61298;        // "E"

// Colour models of the information dialog.
constexpr int IDS_COLOR_TABLE_BITS = 61291;      // "%d Bit color table"
constexpr int IDS_GRAY_TABLE_BITS = 61292;       // "%d Bit gray table"
constexpr int IDS_RGB_BITS = 61293;              // "%d Bit RGB"

// Toolbar titles and user-image button texts.
constexpr int IDS_STANDARD_TOOLBAR = 61277;
constexpr int IDS_USER_TOOLBAR = 61278;
constexpr int IDS_BTN_COMPRESS_FILESIZE = 61279;
constexpr int IDS_BTN_COMPRESS_QUALITY = 61280;
constexpr int IDS_BTN_COMPRESS_LOSSLESS = 61281;
constexpr int IDS_BTN_IMAGE_INFO = 61282;
constexpr int IDS_BTN_HELP = 61283;
constexpr int IDS_BTN_PROGRAM_INFO = 61284;
constexpr int IDS_BTN_INTERNET = 61285;
constexpr int IDS_BTN_CUSTOMIZE = 61286;
constexpr int IDS_ABOUT_PAIR2_LINE1 = 61287;
constexpr int IDS_ABOUT_PAIR2_LINE2 = 61288;
constexpr int IDS_BYTE_COMPUTED = 61301;

// Fixed texts that have no number of their own elsewhere, kept in the table
// so that every user-visible text is looked up by id.
constexpr int IDS_BYTES_WRITTEN = 61304;         // "%d Bytes geschrieben"
constexpr int IDS_ALL_IMAGE_FILES = 61305;       // "Alle Bilddateien"
constexpr int IDS_USER_CATEGORY = 61306;         // "Anwenderleiste"
constexpr int IDS_PANE_GREY = 61307;             // "  %d Bit Grau"
constexpr int IDS_PANE_PALETTE = 61308;          // "  %d Bit Palette"
constexpr int IDS_PANE_RGB = 61309;              // "  %d Bit RGB "
constexpr int IDS_INTERNAL_ERROR = 61310;        // caption of the crash report
constexpr int IDS_INTERNAL_ERROR_TEXT = 61311;   // its first line, up to the support address
constexpr int IDS_STANDARD_MENU = 61312;         // name of the view's context menu

// Help contexts: the resource help base 0x20000 + the resource id.
constexpr int HID_MAIN_HELP = 0x20081;       // the "Help" menu command (base + 129)
constexpr int HID_FILESIZE_DIALOG = 0x200BC; // base + 188
constexpr int HID_QUALITY_DIALOG = 0x200BD;  // base + 189
constexpr int HID_PREVIEW_DIALOG = 0x200E3;  // base + 227

// ---------------------------------------------------------------- private messages (QEvent types)
constexpr int WM_USER = 0x0400;
constexpr int WM_CREATEPREVIEW = WM_USER + 4;
constexpr int WM_OPENPATH = WM_USER + 6;
constexpr int WM_SHOWPREVIEW = WM_USER + 9;
