// The string table: every user-visible text of the application by its id,
// in UTF-8. Command ids carry their prompt, "status-bar text\ntooltip".
#include "resources/Strings.h"

#include <algorithm>
#include <iterator>

namespace {

struct StringEntry {
  int id;
  const char* text;
};

// Sorted by id, each id once (checked at compile time below).
constexpr StringEntry kStrings[] = {
    // Document string of IDR_TAVIXTYPE: window title, document name,
    // new-file name, filter name, filter extension, file type, type name.
    {129, "\nTAVIX\nTAVIX\nTAVIX\n.tvx\nTAVIX.Image\nTAVIX Image"},
    {130, "No Compression"},
    {131, "Run Length"},

    // Command prompts of the application.
    {32774, "Reduce the view of the active image\nZoom Out"},
    {32775, "Enlarge the view of the active image\nZoom In"},
    {32782, "Compress the active image in the selected mode\nCompress"},
    {32793, "Show the active image in its original size\nOriginal Size"},
    {32805, "Compress the active image (Quality)\nQuality"},
    {32806, "Compress the active image (Lossless)\nLossless"},
    {32807, "Compress the active image (File Size)\nFile Size"},
    {32808, "Show or hide the status bar of the main window\nStatusbar (Main Window)"},
    {32809, "Show or hide the status bar of the document window\nStatusbar (Document Window)"},
    {32810, "Show information about the active image\nImage Information"},
    {32812, "Visit TAVIX in the Internet\nTAVIX in the Internet"},
    {32820, "Show the help of TAVIX Photo\nHelp"},
    {32824, "Customize toolbars, menus and keyboard shortcuts\nCustomize"},
    {32825, "Select the compression mode of the Compress button\nCompression Mode"},
    {32831, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32832, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32833, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32834, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32835, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32836, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32837, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32838, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32839, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32840, "Show or hide this user-defined toolbar\nUser-defined Toolbar"},
    {32873, "Show or hide the User Toolbar\nUser Toolbar"},
    {32889, "Switch the full page mode on or off\nFull Page Mode"},
    {32893, "Set the view scale of the active image\nView Scale"},

    // Framework strings and command prompts.
    {57344, "TAVIX Photo 2.5"},
    {57345, "Ready"},
    {57601, "Open an existing image\nOpen"},
    {57602, "Close the active image\nClose"},
    {57604, "Export the active image as BMP, TIFF, JPEG or PNM\nExport"},
    {57616, "Open this image\nRecent File"},
    {57617, "Open this image\nRecent File"},
    {57618, "Open this image\nRecent File"},
    {57619, "Open this image\nRecent File"},
    {57634, "Copy the active image to the Clipboard\nCopy"},
    {57637, "Insert the image on the Clipboard as a new image\nPaste"},
    {57648, "Open another window for the active image\nNew Window"},
    {57649, "Arrange icons at the bottom of the window\nArrange Icons"},
    {57650, "Arrange the windows so that they overlap\nCascade Windows"},
    {57651, "Arrange the windows as tiles that do not overlap\nTile Windows"},
    {57664, "Show program information, version and credits\nProgram Information"},
    {57665, "Quit the application\nExit"},
    {57670, "Show help for the current task or command\nHelp"},
    {57680, "Switch to the next window pane\nNext Pane"},
    {57681, "Switch back to the previous window pane\nPrevious Pane"},
    {59392, "Show or hide the Standard Toolbar\nStandard Toolbar"},
    {59393, "Show or hide the status bar of the main window\nStatusbar (Main Window)"},

    // Messages, status texts and text pieces.
    {61216, "Compression in progress ..."},
    {61217, "Decompression in progress ..."},
    {61219, "TAVIX Photo 2.5"},
    {61220, "Program"},
    {61221, "Documentation"},
    {61222, "TIFF support: libtiff"},
    {61223, "More information"},
    {61224, "Wavelet image compression"},
    {61225, "The TAVIX Photo team"},
    {61226, "The TAVIX documentation team"},
    {61227, "Copyright Sam Leffler and Silicon Graphics, Inc."},
    {61228, "in the help and at TAVIX in the Internet"},
    {61235, "Loading JPEG file"},
    {61236, "Exporting JPEG file"},
    {61240, "The file\n\n'%s'\n\nis corrupted or damaged and cannot be handled by this application."},
    {61241, "Requested picture format\n\n'%s'\n\ncannot be handled by this application."},
    {61243, "TAVIX Photo is unable to save the file:\n\n'%s'"},
    {61244, "Loading TIFF file"},
    {61245, "Exporting TIFF file"},
    {61246, "Loading BMP file"},
    {61247, "Exporting BMP file"},
    {61248, "Loading GIF file"},
    {61250, "Loading PNM file"},
    {61251, "Exporting PNM file"},
    {61252, "TAVIX Photo is unable to connect to the interent."},
    {61257,
     "If you save this image as  '%s'  file, you will loose the palette information.\n"
     "Do you want to continue?"},
    {61259, "Do you want to delete the image data on the Clipboard?"},
    {61260, "Clipboard"},
    {61261, "TAVIX Photo is unable to insert Clipboard contents."},
    {61262, "TAVIX Photo is unable to put the data on the Clipboard."},
    {61263, "Creating preview ..."},
    {61264, "Requested picture format cannot be handled by this application."},
    {61265, "Lossless compression is only possible for grayscaled images."},
    {61268, "Q"},
    {61269, "LL"},
    {61270, "C"},
    {61271, "W"},
    {61272, "R"},
    {61273, "Compressed for File Size\nFile Size (T): %d byte\n"},
    {61274, "Compressed for Quality\nQuality Factor(Q): %d\n"},
    {61275, "Compressed Lossless (LL)\n"},
    {61276, "Color Portion (C): %d %% \n"},
    {61277, "Standard Toolbar"},
    {61278, "User Toolbar"},
    {61279, "Compress for File Size"},
    {61280, "Compress for Quality"},
    {61281, "Compress Lossless"},
    {61282, "Image Information"},
    {61283, "Help"},
    {61284, "Program Information"},
    {61285, "TAVIX in the Internet"},
    {61286, "Customize ..."},
    {61287, "Codec library TavixLib"},
    {61288, "The TAVIX codec team"},
    {61289,
     "The HTML Help cannot be executed. If you did not install \n"
     "the Active X Control  HHCTRL.OCX, execute the program\n"
     "\"hhupd.exe\" in the program directory \"TAVIX Kit\"."},
    {61291, "%d Bit color table"},
    {61292, "%d Bit gray table"},
    {61293, "%d Bit RGB"},
    {61294, "S"},
    {61295, "F"},
    {61296, "D"},
    {61297, "R"},
    {61298, "E"},
    {61299, "TAVIX Photo is unable to create a preview image."},
    {61300, "Clipboard"},
    {61301, "Byte computed"},
    {61302, "The minimum image size for compression is 32 x 32."},
    {61303, "TAVIX Photo is unable to compress the file (Code: %d)."},
    {61304, "%d Bytes geschrieben"},
    {61305, "Alle Bilddateien"},
    {61306, "Anwenderleiste"},
    {61307, "  %d Bit Grau"},
    {61308, "  %d Bit Palette"},
    {61309, "  %d Bit RGB "},
    {61310, "Internal Error"},
    {61311, "TAVIX Photo detected an internal error. Please transmit \nthe following information to '"},
    {61312, "Standard Menu"},
    {61440, "Open"},
    {61443, "All Files (*.*)"},
};

constexpr bool StrictlyIncreasing() {
  for (std::size_t i = 1; i < std::size(kStrings); ++i)
    if (kStrings[i - 1].id >= kStrings[i].id)
      return false;
  return true;
}
static_assert(StrictlyIncreasing(), "string table must be sorted by id, each id once");

const StringEntry* Find(int id) {
  const auto* end = std::end(kStrings);
  const auto* it = std::lower_bound(std::begin(kStrings), end, id,
                                    [](const StringEntry& entry, int key) { return entry.id < key; });
  return it != end && it->id == id ? it : nullptr;
}

}  // namespace

QString LoadStringResource(int id) {
  const StringEntry* entry = Find(id);
  return entry ? QString::fromUtf8(entry->text) : QString();
}

bool HasStringResource(int id) { return Find(id) != nullptr; }

QString CommandPrompt(int commandId) {
  const QString text = LoadStringResource(commandId);
  const qsizetype newline = text.indexOf(QLatin1Char('\n'));
  return newline < 0 ? text : text.left(newline);
}

QString CommandTooltip(int commandId) {
  const QString text = LoadStringResource(commandId);
  const qsizetype newline = text.indexOf(QLatin1Char('\n'));
  return newline < 0 ? QString() : text.mid(newline + 1);
}
