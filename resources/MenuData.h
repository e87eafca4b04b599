// Menus, accelerators and toolbar layouts as data. The main frame builds
// its QMenus and QToolBars from these tables; nothing else hard-codes a
// menu's shape.
#pragma once

#include <span>

// One menu line. `depth` 0 is a top-level popup title, 1 an item inside it;
// command 0 with no text is a separator.
struct MenuEntry {
  int depth;
  int command;
  const char* text;
};

// Menus 128 (no document), 129 (a document is open), 214 (toolbar context
// menu), 107 (the view's context menu) and 110 (the Preview dialog's
// context menu). Empty for any other id.
std::span<const MenuEntry> MenuResource(int menuId);

struct AcceleratorEntry {
  const char* keys;  // QKeySequence portable text, "Ctrl+O"
  int command;
};
// Accelerator table 128.
std::span<const AcceleratorEntry> AcceleratorResource();

// Toolbar 128: command ids in order, 0 for a separator. Button i (counting
// only non-separators) takes image i of bitmap 128.
std::span<const int> StandardToolbarResource();

struct UserImageButton {
  int command;
  int image;      // index into bitmap 153
  int textId;     // string id of the button text, 0 for none
};
// The User Toolbar's buttons in order; command 0 is a separator.
std::span<const UserImageButton> UserToolbarResource();
// Image index in bitmap 153 of a command, or -1.
int UserImageIndex(int command);
