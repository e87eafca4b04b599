#include "plugin/ContextMenu.h"

#include <cstdio>

#include "plugin/BrowserFuncs.h"
#include "plugin/DecoderState.h"
#include "plugin/PluginInstance.h"
#include "plugin/Save.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
  char text[256];
  std::snprintf(text, sizeof text, format, args...);
  return text;
}

const char* ColorModeText(uint16_t colorType) {
  switch (colorType) {
    case 0:
    case 1: return "Grayscale (8 bit)";
    case 2: return "True Color (24 bit)";
    case 3: return "Grayscale (16 bit)";
    case 4: return "True Color (48 bit)";
    default: return "";
  }
}

const char* CompressionModeText(int16_t mode) {
  switch (mode) {
    case 0:
    case 1: return "Lossy";
    case 2: return "Lossless";
    default: return "";
  }
}

void AddHeading(CPopupMenu& menu, const char* text) {
  menu.Append(MF_OWNERDRAW | MF_DISABLED, ID_PANEL_HEADING, text);
}
void AddLine(CPopupMenu& menu, std::string text) {
  menu.Append(MF_OWNERDRAW | MF_DISABLED, ID_PANEL_LINE, std::move(text));
}
void AddSeparator(CPopupMenu& menu) { menu.Append(MF_SEPARATOR, ID_PANEL_LINE); }

bool IsColourImage(uint16_t colorType) { return colorType != 0 && colorType != 1 && colorType != 3; }

// Asks the browser for the file again; NPP_NewStream turns the answer into
// a range request for the missing bytes.
void Improve(PluginInstance& instance) {
  DecoderState* decoder = instance.decoder.get();
  if (!decoder) return;
  {
    std::lock_guard<std::mutex> guard(decoder->lock);
    instance.partial = false;
    instance.decodeEnded = false;
  }
  if (NPN_GetURL(instance.npp, instance.url.c_str(), nullptr) != NPERR_NO_ERROR) {
    // Nothing will come: keep the paused state so the menu still offers it.
    std::lock_guard<std::mutex> guard(decoder->lock);
    instance.partial = true;
    instance.decodeEnded = true;
  }
}

}  // namespace

CPopupMenu BuildContextMenu(PluginInstance& inst) {
  CPopupMenu menu;
  if (!inst.decodeEnded || !inst.decoder) return menu;
  bool pausedAtLimit;
  uint32_t received;
  {
    std::lock_guard<std::mutex> guard(inst.decoder->lock);
    pausedAtLimit = inst.limited && inst.partial;
    received = inst.received;
  }
  menu.Append(inst.decodeOK ? UINT{MF_STRING} : UINT{MF_STRING | MF_GRAYED}, ID_SAVE_IMAGE, "Save image as...");
  menu.Append(MF_SEPARATOR);
  menu.Append(MF_STRING, ID_HOMEPAGE, "TAVIX Homepage...");
  // Only a decoder that is still waiting at the limit can use the rest.
  if (pausedAtLimit && !inst.decodeOK && inst.decoder->result == 0) {
    menu.Append(MF_SEPARATOR);
    menu.Append(MF_STRING, ID_IMPROVE, "Improve...");
  }
  const uint32_t whole = pausedAtLimit ? inst.streamLength : received;
  AddSeparator(menu);
  AddHeading(menu, "Transfer Status:");
  AddLine(menu, Format("  %d of %d Byte transfered", static_cast<int>(received), static_cast<int>(whole)));
  if (inst.headerKnown) {
    AddSeparator(menu);
    AddHeading(menu, "Image information:");
    AddLine(menu, Format("  Image size: %d x %d", inst.imageWidth, inst.imageHeight));
    AddLine(menu, std::string("  Color mode: ") + ColorModeText(inst.colorType));
    AddSeparator(menu);
    AddHeading(menu, "Compression parameter:");
    const double ratio = whole ? static_cast<double>(inst.rawSize) / whole : 0.0;
    AddLine(menu, Format("  Compression ratio: %.2f", ratio));
    AddLine(menu, std::string("  Compression mode: ") + CompressionModeText(inst.compressionMode));
  }
  return menu;
}

void ShowContextMenu(PluginInstance& inst, HWND window, CPoint clientPoint) {
  const CPopupMenu menu = BuildContextMenu(inst);
  if (menu.items.empty()) return;
  switch (window->TrackPopupMenu(menu, window->ClientToScreen(clientPoint))) {
    case ID_SAVE_IMAGE: SaveImage(inst, IsColourImage(inst.colorType)); break;
    case ID_HOMEPAGE: NPN_GetURL(inst.npp, kHomepageUrl, "_blank"); break;
    case ID_IMPROVE: Improve(inst); break;
    default: break;
  }
}

namespace {
int ItemWeight(UINT id) { return id == ID_PANEL_LINE ? FW_NORMAL : FW_BOLD; }
const char* ItemText(uintptr_t itemData) {
  const char* text = reinterpret_cast<const char*>(itemData);
  return text ? text : "";
}
}  // namespace

void MeasurePanelItem(HWND window, MEASUREITEMSTRUCT& item) {
  if (!item.hDC) return;
  const CSize extent = item.hDC->GetTextExtent(ItemText(item.itemData), ItemWeight(item.itemID));
  item.itemWidth = static_cast<UINT>(extent.cx + window->GetMenuCheckMarkWidth() + 8);
  item.itemHeight = static_cast<UINT>(extent.cy);
}

void DrawPanelItem(HWND window, const DRAWITEMSTRUCT& item) {
  if (!item.hDC) return;
  item.hDC->FillRect(item.rcItem, window->GetSysColor(COLOR_MENU));
  CRect textRect = item.rcItem;
  textRect.left += window->GetMenuCheckMarkWidth();
  item.hDC->DrawText(ItemText(item.itemData), textRect, ItemWeight(item.itemID), window->GetSysColor(COLOR_MENUTEXT),
                     DT_LEFT | DT_SINGLELINE | DT_VCENTER);
}
