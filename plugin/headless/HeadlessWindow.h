// A window layer without a screen: each window paints into a memory canvas,
// pop-up menus and save dialogs answer from a script, and everything the
// plug-in asked for is recorded. Used by the scripted host and the tests.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/MemoryCanvas.h"
#include "plugin/window_layer.h"

class CHeadlessWindow;

// Records owner-drawn menu items as the plug-in measured and drew them.
class CHeadlessItemContext : public CItemDrawContext {
public:
  struct DrawnText {
    std::string text;
    CRect rect;
    int weight;
    uint32_t colour;
    UINT format;
  };
  // Text is measured as fixed-width cells: 6 pixels normal, 7 bold, 13 high.
  static constexpr int kNormalCell = 6;
  static constexpr int kBoldCell = 7;
  static constexpr int kLineHeight = 13;

  CSize GetTextExtent(const std::string& text, int weight) override;
  void FillRect(const CRect& rect, uint32_t rgb) override;
  void DrawText(const std::string& text, const CRect& rect, int weight, uint32_t rgb, UINT format) override;

  std::vector<DrawnText> texts;
  std::vector<std::pair<CRect, uint32_t>> fills;
};

// What one TrackPopupMenu call showed and returned.
struct RecordedMenu {
  std::vector<MenuItem> items;
  CPoint screenPoint;
  std::vector<MEASUREITEMSTRUCT> measured;  // itemData points into `items`
  CHeadlessItemContext drawing;
  UINT chosen = 0;
};

struct RecordedMessageBox {
  std::string text;
  std::string caption;
  unsigned style;
  bool owned;
};

// The "module instance" and desktop the windows live on: registered
// classes, the scripted answers of menus and dialogs, and the records.
class CHeadlessDesktop {
public:
  explicit CHeadlessDesktop(bool paletteDevice = false) : paletteDevice(paletteDevice) {}

  std::unique_ptr<CHeadlessWindow> CreateWindow(int width, int height);

  // The next menu answers with this id (0 dismisses it); ids of disabled,
  // greyed or missing items dismiss it too. Without a queued choice menus
  // are dismissed.
  void QueueMenuChoice(UINT id) { menuChoices.push_back(id); }
  // The next save dialog answers with this path and 1-based filter, or is
  // cancelled.
  void QueueSaveAnswer(std::string path, int filterIndex) {
    saveAnswers.push_back(SaveAnswer{std::move(path), filterIndex});
  }
  void QueueSaveCancel() { saveAnswers.push_back(std::nullopt); }

  bool paletteDevice;
  static constexpr int kCheckMarkWidth = 13;
  static constexpr uint32_t kMenuColour = 0xF0F0F0;
  static constexpr uint32_t kMenuTextColour = 0x000000;
  static constexpr uint32_t kWindowColour = 0xFFFFFF;

  struct SaveAnswer {
    std::string path;
    int filterIndex;
  };
  std::deque<UINT> menuChoices;
  std::deque<std::optional<SaveAnswer>> saveAnswers;

  std::map<std::string, WNDCLASS> classes;
  std::vector<std::string> unregisteredClasses;
  std::vector<std::unique_ptr<RecordedMenu>> menus;
  std::vector<RecordedMessageBox> messageBoxes;
  std::vector<SaveFileRequest> saveDialogs;
};

class CHeadlessWindow : public CWindow {
public:
  CHeadlessWindow(CHeadlessDesktop& desktop, CHeadlessWindow* parent, int x, int y, int width, int height);
  ~CHeadlessWindow() override;

  // CWindow
  WNDPROC SetWindowProc(WNDPROC proc) override;
  LRESULT SendMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  bool PostMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void SetProp(const std::string& name, void* value) override;
  void* GetProp(const std::string& name) const override;
  void RemoveProp(const std::string& name) override;
  CRect GetClientRect() const override;
  CRect GetWindowRect() const override;
  CPoint ClientToScreen(CPoint point) const override;
  void MoveWindow(int x, int y, int width, int height, bool repaint) override;
  void InvalidateRect(const CRect* rect, bool erase) override;
  void UpdateWindow() override;
  CDrawContext* BeginPaint(CRect& paintRect) override;
  void FillPaintRect(const CRect& rect, uint32_t rgb) override;
  void EndPaint() override;
  bool IsPaletteDevice() const override { return m_desktop.paletteDevice; }
  void SetScrollInfo(int bar, const SCROLLINFO& info, bool redraw) override;
  void ScrollWindow(int dx, int dy) override;
  bool IsClassRegistered(const std::string& className) const override;
  bool RegisterClass(const WNDCLASS& windowClass) override;
  bool UnregisterClass(const std::string& className) override;
  HWND CreateChildWindow(const std::string& className, const std::string& title, DWORD exStyle, DWORD style, int x,
                         int y, int width, int height) override;
  void DestroyWindow() override;
  UINT TrackPopupMenu(const CPopupMenu& menu, CPoint screenPoint) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned style, bool owned) override;
  bool GetSaveFileName(SaveFileRequest& request) override;
  int GetMenuCheckMarkWidth() const override { return CHeadlessDesktop::kCheckMarkWidth; }
  uint32_t GetSysColor(int index) const override;

  // For the host and tests.
  // Runs the messages posted to this window and its children on the
  // calling thread; returns how many ran.
  int DispatchPosted();
  const CMemoryCanvas& Canvas() const { return *m_canvas; }
  WNDPROC WindowProc() const { return m_proc; }
  SCROLLINFO ScrollInfo(int bar) const { return m_scroll[bar == SB_VERT ? 1 : 0]; }
  const std::vector<std::unique_ptr<CHeadlessWindow>>& Children() const { return m_children; }
  CHeadlessWindow* Parent() const { return m_parent; }
  int PostedPaints() const { return m_postedPaints; }
  int PaintCount() const { return m_paintCount; }
  const std::string& Title() const { return m_title; }
  DWORD Style() const { return m_style; }
  std::vector<std::pair<int, int>> scrolls;  // ScrollWindow calls
  // Called after each WM_PAINT has been handled.
  std::function<void(CHeadlessWindow&)> onPainted;

private:
  struct Posted {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
  };

  CHeadlessDesktop& m_desktop;
  CHeadlessWindow* m_parent;
  CRect m_rect;  // in parent (or screen) coordinates
  std::unique_ptr<CMemoryCanvas> m_canvas;
  WNDPROC m_proc = nullptr;
  std::map<std::string, void*> m_props;
  SCROLLINFO m_scroll[2];
  std::vector<std::unique_ptr<CHeadlessWindow>> m_children;
  std::string m_title;
  DWORD m_style = 0;
  bool m_painting = false;
  int m_paintCount = 0;

  // Shared with other threads.
  mutable std::mutex m_mutex;
  std::deque<Posted> m_posted;
  CRect m_invalid;  // empty when valid
  bool m_erase = false;
  std::atomic<int> m_postedPaints{0};
};
