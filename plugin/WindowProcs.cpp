#include "plugin/WindowProcs.h"

#include <algorithm>

#include "plugin/ContextMenu.h"
#include "plugin/PluginInstance.h"
#include "plugin/ShowImage.h"

namespace {

constexpr uint32_t kFailedFillColour = RGB(215, 215, 215);
constexpr int kLineStep = 5;
constexpr int kPageStep = 50;

PluginInstance* InstanceOf(HWND hwnd) { return static_cast<PluginInstance*>(hwnd->GetProp(kInstanceProperty)); }

// Paints the image at the window's top-left corner, shifted by the scroll
// position, or the light grey of a corrupt stream when there is no image.
void Paint(PluginInstance& inst, HWND window, int scrollX, int scrollY) {
  CRect paint;
  CDrawContext* dc = window->BeginPaint(paint);
  if (!dc) return;
  const CPalette* oldPalette = nullptr;
  if (inst.palette) {
    oldPalette = dc->SelectPalette(inst.palette.get(), false);
    dc->RealizePalette();
  }
  if (std::shared_ptr<const CDisplayDib> display = inst.CurrentDisplay()) {
    const int width = display->GetWidth();
    const int height = display->GetHeight();
    // The part of the paint rectangle the image covers, in window coordinates.
    const int left = std::max(paint.left, -scrollX);
    const int top = std::max(paint.top, -scrollY);
    const int right = std::min(paint.right, width - scrollX);
    const int bottom = std::min(paint.bottom, height - scrollY);
    if (left < right && top < bottom && display->GetBits()) {
      const int sourceX = scrollX + left;
      const int sourceY = height - scrollY - bottom;  // DIB rows count from the bottom
      dc->StretchDIBits(left, top, right - left, bottom - top, sourceX, sourceY, right - left, bottom - top,
                        display->GetBits(), display->GetInfo(), DIB_RGB_COLORS, SRCCOPY);
    }
  } else if (inst.failedFill) {
    window->FillPaintRect(paint, kFailedFillColour);
  }
  if (inst.palette) dc->SelectPalette(oldPalette, false);
  window->EndPaint();
}

// Handles the messages both procedures share; true when the message is
// an owner-drawn menu item, which must not go on.
bool HandleCommon(PluginInstance& inst, HWND hwnd, UINT message, WPARAM, LPARAM lParam) {
  switch (message) {
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item && item->CtlType == ODT_MENU) {
        MeasurePanelItem(hwnd, *item);
        return true;
      }
      return false;
    }
    case WM_DRAWITEM: {
      auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlType == ODT_MENU) {
        DrawPanelItem(hwnd, *item);
        return true;
      }
      return false;
    }
    case WM_RBUTTONDOWN:
      if (!inst.noMenu) ShowContextMenu(inst, hwnd, CPoint{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return false;
    default: return false;
  }
}

// One scroll bar's step; returns the new position.
int ScrollPosition(int code, int thumb, int position, int maximum) {
  switch (code) {
    case SB_LINEUP: position -= kLineStep; break;
    case SB_LINEDOWN: position += kLineStep; break;
    case SB_PAGEUP: position -= kPageStep; break;
    case SB_PAGEDOWN: position += kPageStep; break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: position = thumb; break;
    default: break;
  }
  return std::clamp(position, 0, std::max(maximum, 0));
}

void Scroll(PluginInstance& inst, HWND hwnd, int bar, WPARAM wParam) {
  const bool horizontal = bar == SB_HORZ;
  int32_t& position = horizontal ? inst.hScrollPos : inst.vScrollPos;
  const int32_t maximum = horizontal ? inst.hScrollMax : inst.vScrollMax;
  const int next = ScrollPosition(LOWORD(wParam), HIWORD(wParam), position, maximum);
  if (next == position) return;
  const int delta = position - next;
  position = next;
  hwnd->ScrollWindow(horizontal ? delta : 0, horizontal ? 0 : delta);
  hwnd->UpdateWindow();
  auto display = inst.CurrentDisplay();
  SCROLLINFO info;
  info.nMin = 0;
  info.nMax = display ? (horizontal ? display->GetWidth() : display->GetHeight()) : 0;
  const CRect client = hwnd->GetClientRect();
  info.nPage = static_cast<UINT>(std::max(horizontal ? client.Width() : client.Height(), 0));
  info.nPos = next;
  hwnd->SetScrollInfo(bar, info, true);
}

}  // namespace

void UpdateScrollBars(PluginInstance& inst) {
  HWND window = inst.fullWindow;
  auto display = inst.CurrentDisplay();
  if (!window || !display) return;
  const CRect client = window->GetClientRect();
  const int extents[2] = {display->GetWidth(), display->GetHeight()};
  const int clientExtents[2] = {client.Width(), client.Height()};
  int32_t* positions[2] = {&inst.hScrollPos, &inst.vScrollPos};
  int32_t* maxima[2] = {&inst.hScrollMax, &inst.vScrollMax};
  for (int bar = SB_HORZ; bar <= SB_VERT; ++bar) {
    *maxima[bar] = extents[bar] > clientExtents[bar] ? extents[bar] - clientExtents[bar] : 0;
    *positions[bar] = std::min(*positions[bar], *maxima[bar]);
    SCROLLINFO info;
    info.nMin = 0;
    info.nMax = extents[bar];
    info.nPage = static_cast<UINT>(std::max(clientExtents[bar], 0));
    info.nPos = *positions[bar];
    window->SetScrollInfo(bar, info, true);
  }
}

LRESULT PluginWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PluginInstance* inst = InstanceOf(hwnd);
  if (!inst) return hwnd->DefWindowProc(message, wParam, lParam);
  if (inst->fullWindow) {
    if (message == WM_SIZE) {
      const CRect client = hwnd->GetClientRect();
      inst->fullWindow->MoveWindow(0, 0, client.Width(), client.Height(), true);
    }
  } else {
    switch (message) {
      case WM_PAINT: Paint(*inst, hwnd, 0, 0); break;
      case WM_PALETTECHANGED:
        hwnd->InvalidateRect(nullptr, false);
        hwnd->UpdateWindow();
        break;
      default: break;
    }
  }
  if (HandleCommon(*inst, hwnd, message, wParam, lParam)) return TRUE;
  return CallWindowProc(inst->prevWndProc, hwnd, message, wParam, lParam);
}

LRESULT FullPageWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  PluginInstance* inst = InstanceOf(hwnd);
  if (!inst) return hwnd->DefWindowProc(message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
    case kMessageImageChanged: UpdateScrollBars(*inst); break;
    case WM_PAINT: Paint(*inst, hwnd, inst->hScrollPos, inst->vScrollPos); break;
    case WM_HSCROLL: Scroll(*inst, hwnd, SB_HORZ, wParam); break;
    case WM_VSCROLL: Scroll(*inst, hwnd, SB_VERT, wParam); break;
    case WM_PALETTECHANGED:
      hwnd->InvalidateRect(nullptr, false);
      hwnd->UpdateWindow();
      break;
    default: break;
  }
  if (HandleCommon(*inst, hwnd, message, wParam, lParam)) return TRUE;
  return hwnd->DefWindowProc(message, wParam, lParam);
}

HWND CreateFullPageWindow(PluginInstance& inst) {
  HWND parent = inst.hwnd;
  if (!parent->IsClassRegistered(kFullPageClassName)) {
    WNDCLASS windowClass;
    windowClass.className = kFullPageClassName;
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = FullPageWindowProc;
    windowClass.background = COLOR_WINDOW + 1;
    if (!parent->RegisterClass(windowClass)) return nullptr;
  }
  const CRect rect = parent->GetWindowRect();
  HWND full = parent->CreateChildWindow(kFullPageClassName, kFullPageTitle, 0,
                                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_HSCROLL | WS_VSCROLL, 0, 0,
                                        rect.Width(), rect.Height());
  if (!full) return nullptr;
  full->SetProp(kInstanceProperty, &inst);
  {
    std::lock_guard<std::mutex> guard(inst.windowLock);
    inst.fullWindow = full;
  }
  UpdateScrollBars(inst);
  return full;
}

void DestroyFullPageWindow(PluginInstance& inst) {
  HWND full = inst.fullWindow;
  if (!full) return;
  {
    std::lock_guard<std::mutex> guard(inst.windowLock);
    inst.fullWindow = nullptr;
  }
  full->RemoveProp(kInstanceProperty);
  full->DestroyWindow();
  if (inst.hwnd) inst.hwnd->UnregisterClass(kFullPageClassName);
}
