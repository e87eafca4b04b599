// The small window layer the plug-in's window procedures run over. A window
// handle is a CWindow; the browser hands one to NPP_SetWindow. Messages,
// procedures, properties, painting, scroll bars, pop-up menus and dialogs
// keep the shapes of the Windows calls the plug-in was written against.
//
// Threads: InvalidateRect and PostMessage may be called from any thread;
// everything else belongs to the thread that owns the window (the browser's).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DrawContext.h"
#include "platform/WinTypes.h"

class CWindow;
using HWND = CWindow*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

enum : UINT {
  WM_SIZE = 0x0005,
  WM_PAINT = 0x000F,
  WM_DRAWITEM = 0x002B,
  WM_MEASUREITEM = 0x002C,
  WM_HSCROLL = 0x0114,
  WM_VSCROLL = 0x0115,
  WM_RBUTTONDOWN = 0x0204,
  WM_PALETTECHANGED = 0x0311,
  WM_USER = 0x0400
};

// Scroll bar codes (low word of WPARAM for WM_HSCROLL/WM_VSCROLL; the high
// word carries the thumb position).
enum : UINT {
  SB_LINEUP = 0,
  SB_LINEDOWN = 1,
  SB_PAGEUP = 2,
  SB_PAGEDOWN = 3,
  SB_THUMBPOSITION = 4,
  SB_THUMBTRACK = 5,
  SB_TOP = 6,
  SB_BOTTOM = 7,
  SB_ENDSCROLL = 8
};
enum : int { SB_HORZ = 0, SB_VERT = 1 };

enum : UINT { ODT_MENU = 1 };

enum : UINT {
  MF_STRING = 0x0000,
  MF_GRAYED = 0x0001,
  MF_DISABLED = 0x0002,
  MF_OWNERDRAW = 0x0100,
  MF_SEPARATOR = 0x0800
};

// Window styles used for the full-page window.
enum : DWORD {
  WS_CHILD = 0x40000000,
  WS_VISIBLE = 0x10000000,
  WS_CLIPSIBLINGS = 0x04000000,
  WS_VSCROLL = 0x00200000,
  WS_HSCROLL = 0x00100000
};
enum : UINT { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_DBLCLKS = 0x0008 };

enum : int { COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_MENUTEXT = 7 };
enum : int { FW_NORMAL = 400, FW_BOLD = 700 };
enum : UINT { DT_LEFT = 0x0000, DT_VCENTER = 0x0004, DT_SINGLELINE = 0x0020 };

enum : unsigned { OFN_OVERWRITEPROMPT = 0x0002, OFN_HIDEREADONLY = 0x0004, OFN_PATHMUSTEXIST = 0x0800 };
constexpr size_t MAX_PATH = 260;

struct CPoint {
  int x = 0;
  int y = 0;
};

inline LPARAM MAKELPARAM(int low, int high) {
  return static_cast<LPARAM>(static_cast<uint32_t>((low & 0xFFFF) | ((high & 0xFFFF) << 16)));
}
inline int LOWORD(uintptr_t v) { return static_cast<int>(v & 0xFFFF); }
inline int HIWORD(uintptr_t v) { return static_cast<int>((v >> 16) & 0xFFFF); }
inline int GET_X_LPARAM(LPARAM v) { return static_cast<int16_t>(v & 0xFFFF); }
inline int GET_Y_LPARAM(LPARAM v) { return static_cast<int16_t>((v >> 16) & 0xFFFF); }
constexpr uint32_t RGB(int r, int g, int b) {
  return (static_cast<uint32_t>(r) << 16) | (static_cast<uint32_t>(g) << 8) | static_cast<uint32_t>(b);
}

// Where owner-drawn menu items are measured and drawn. Colours are 0xRRGGBB.
class CItemDrawContext {
public:
  virtual ~CItemDrawContext() = default;
  virtual CSize GetTextExtent(const std::string& text, int weight) = 0;
  virtual void FillRect(const CRect& rect, uint32_t rgb) = 0;
  virtual void DrawText(const std::string& text, const CRect& rect, int weight, uint32_t rgb, UINT format) = 0;
};

// For an owner-drawn menu item, itemData is the item's text (const char*).
struct MEASUREITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemWidth;
  UINT itemHeight;
  uintptr_t itemData;
  CItemDrawContext* hDC;
};

struct DRAWITEMSTRUCT {
  UINT CtlType;
  UINT CtlID;
  UINT itemID;
  UINT itemAction;
  UINT itemState;
  CItemDrawContext* hDC;
  CRect rcItem;
  uintptr_t itemData;
};

struct MenuItem {
  UINT flags = MF_STRING;
  UINT id = 0;
  std::string text;
};

// A pop-up menu built for one TrackPopupMenu call.
struct CPopupMenu {
  std::vector<MenuItem> items;
  void Append(UINT flags, UINT id = 0, std::string text = {}) { items.push_back({flags, id, std::move(text)}); }
};

struct SCROLLINFO {
  int nMin = 0;
  int nMax = 0;
  UINT nPage = 0;
  int nPos = 0;
};

struct WNDCLASS {
  std::string className;
  UINT style = 0;
  WNDPROC lpfnWndProc = nullptr;
  int background = COLOR_WINDOW + 1;  // system colour index + 1
};

struct FileFilter {
  std::string description;
  std::string pattern;
};

// The standard save dialog's request; `file` is the initial name in and the
// chosen path out, filterIndex (1-based) the selected filter in and out.
struct SaveFileRequest {
  HWND owner = nullptr;
  std::vector<FileFilter> filters;
  int filterIndex = 1;
  std::string title;
  std::string defaultExtension;
  unsigned flags = 0;
  std::string file;
};

class CWindow {
public:
  virtual ~CWindow() = default;

  // Procedure and messages.
  virtual WNDPROC SetWindowProc(WNDPROC proc) = 0;  // returns the procedure replaced
  virtual LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
  virtual bool PostMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;  // any thread
  virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  // Properties.
  virtual void SetProp(const std::string& name, void* value) = 0;
  virtual void* GetProp(const std::string& name) const = 0;
  virtual void RemoveProp(const std::string& name) = 0;

  // Geometry.
  virtual CRect GetClientRect() const = 0;
  virtual CRect GetWindowRect() const = 0;
  virtual CPoint ClientToScreen(CPoint point) const = 0;
  virtual void MoveWindow(int x, int y, int width, int height, bool repaint) = 0;

  // Painting.
  virtual void InvalidateRect(const CRect* rect, bool erase) = 0;  // any thread; null = whole client
  virtual void UpdateWindow() = 0;
  virtual CDrawContext* BeginPaint(CRect& paintRect) = 0;
  virtual void FillPaintRect(const CRect& rect, uint32_t rgb) = 0;  // between BeginPaint and EndPaint
  virtual void EndPaint() = 0;
  virtual bool IsPaletteDevice() const = 0;

  // Scrolling.
  virtual void SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw) = 0;
  virtual void ScrollWindow(int dx, int dy) = 0;

  // Child windows and classes of this window's module instance.
  virtual bool IsClassRegistered(const std::string& className) const = 0;
  virtual bool RegisterClass(const WNDCLASS& windowClass) = 0;
  virtual bool UnregisterClass(const std::string& className) = 0;
  virtual HWND CreateChildWindow(const std::string& className, const std::string& title, DWORD exStyle,
                                 DWORD style, int x, int y, int width, int height) = 0;
  virtual void DestroyWindow() = 0;  // for child windows made by CreateChildWindow

  // Menus and dialogs. TrackPopupMenu returns the chosen command id, 0 when
  // the menu was dismissed. MessageBox with owned false has no owner window.
  virtual UINT TrackPopupMenu(const CPopupMenu& menu, CPoint screenPoint) = 0;
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned style, bool owned) = 0;
  virtual bool GetSaveFileName(SaveFileRequest& request) = 0;
  virtual int GetMenuCheckMarkWidth() const = 0;
  virtual uint32_t GetSysColor(int index) const = 0;
};

// Calls a window procedure saved by subclassing.
inline LRESULT CallWindowProc(WNDPROC proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return proc ? proc(window, message, wParam, lParam) : window->DefWindowProc(message, wParam, lParam);
}
