// The context menu: saving, the homepage, "Improve..." and the information
// panel of owner-drawn, disabled items about the transfer, the image and
// its compression.
#pragma once

#include <string>

#include "plugin/window_layer.h"

struct PluginInstance;

enum : UINT {
  ID_PANEL_LINE = 1100,
  ID_PANEL_HEADING = 1101,
  ID_SAVE_IMAGE = 1111,
  ID_HOMEPAGE = 1112,
  ID_IMPROVE = 1113
};

inline constexpr const char* kHomepageUrl = "http://www.tavix.com/";

// Builds the menu for the instance's current state; empty while decoding
// runs (the menu then does not open).
CPopupMenu BuildContextMenu(PluginInstance& instance);

// Opens the menu at a client point of `window` and carries out the choice.
void ShowContextMenu(PluginInstance& instance, HWND window, CPoint clientPoint);

// Owner-drawn panel items.
void MeasurePanelItem(HWND window, MEASUREITEMSTRUCT& item);
void DrawPanelItem(HWND window, const DRAWITEMSTRUCT& item);
