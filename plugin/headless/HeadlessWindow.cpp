#include "plugin/headless/HeadlessWindow.h"

#include <algorithm>

namespace {

bool IsEmpty(const CRect& r) { return r.right <= r.left || r.bottom <= r.top; }

CRect Union(const CRect& a, const CRect& b) {
  if (IsEmpty(a)) return b;
  if (IsEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
}

CRect Intersect(const CRect& a, const CRect& b) {
  CRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return IsEmpty(r) ? CRect{} : r;
}

bool IsChoosable(const MenuItem& item) {
  return !(item.flags & (MF_GRAYED | MF_DISABLED | MF_SEPARATOR | MF_OWNERDRAW));
}

}  // namespace

// ------------------------------------------------------------ item context

CSize CHeadlessItemContext::GetTextExtent(const std::string& text, int weight) {
  const int cell = weight >= FW_BOLD ? kBoldCell : kNormalCell;
  return {cell * static_cast<int>(text.size()), kLineHeight};
}

void CHeadlessItemContext::FillRect(const CRect& rect, uint32_t rgb) { fills.emplace_back(rect, rgb); }

void CHeadlessItemContext::DrawText(const std::string& text, const CRect& rect, int weight, uint32_t rgb,
                                    UINT format) {
  texts.push_back({text, rect, weight, rgb, format});
}

// ------------------------------------------------------------ desktop

std::unique_ptr<CHeadlessWindow> CHeadlessDesktop::CreateWindow(int width, int height) {
  return std::make_unique<CHeadlessWindow>(*this, nullptr, 0, 0, width, height);
}

// ------------------------------------------------------------ window

CHeadlessWindow::CHeadlessWindow(CHeadlessDesktop& desktop, CHeadlessWindow* parent, int x, int y, int width,
                                 int height)
    : m_desktop(desktop),
      m_parent(parent),
      m_rect{x, y, x + width, y + height},
      m_canvas(std::make_unique<CMemoryCanvas>(width, height, desktop.paletteDevice, CHeadlessDesktop::kWindowColour)) {}

CHeadlessWindow::~CHeadlessWindow() = default;

WNDPROC CHeadlessWindow::SetWindowProc(WNDPROC proc) {
  WNDPROC old = m_proc;
  m_proc = proc;
  return old;
}

LRESULT CHeadlessWindow::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  const LRESULT result = m_proc ? m_proc(this, message, wParam, lParam) : DefWindowProc(message, wParam, lParam);
  if (message == WM_PAINT) {
    ++m_paintCount;
    if (onPainted) onPainted(*this);
  }
  return result;
}

bool CHeadlessWindow::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard<std::mutex> guard(m_mutex);
  m_posted.push_back({message, wParam, lParam});
  if (message == WM_PAINT) ++m_postedPaints;
  return true;
}

int CHeadlessWindow::DispatchPosted() {
  int count = 0;
  for (;;) {
    Posted posted;
    {
      std::lock_guard<std::mutex> guard(m_mutex);
      if (m_posted.empty()) break;
      posted = m_posted.front();
      m_posted.pop_front();
    }
    SendMessage(posted.message, posted.wParam, posted.lParam);
    ++count;
  }
  for (size_t i = 0; i < m_children.size(); ++i) count += m_children[i]->DispatchPosted();
  return count;
}

LRESULT CHeadlessWindow::DefWindowProc(UINT message, WPARAM, LPARAM) {
  if (message == WM_PAINT && !m_painting) {
    CRect paint;
    BeginPaint(paint);
    EndPaint();
  }
  return 0;
}

void CHeadlessWindow::SetProp(const std::string& name, void* value) { m_props[name] = value; }

void* CHeadlessWindow::GetProp(const std::string& name) const {
  auto it = m_props.find(name);
  return it == m_props.end() ? nullptr : it->second;
}

void CHeadlessWindow::RemoveProp(const std::string& name) { m_props.erase(name); }

CRect CHeadlessWindow::GetClientRect() const { return {0, 0, m_rect.Width(), m_rect.Height()}; }

CRect CHeadlessWindow::GetWindowRect() const {
  const CPoint origin = ClientToScreen({0, 0});
  return {origin.x, origin.y, origin.x + m_rect.Width(), origin.y + m_rect.Height()};
}

CPoint CHeadlessWindow::ClientToScreen(CPoint point) const {
  CPoint screen{point.x + m_rect.left, point.y + m_rect.top};
  return m_parent ? m_parent->ClientToScreen(screen) : screen;
}

void CHeadlessWindow::MoveWindow(int x, int y, int width, int height, bool repaint) {
  const bool resized = width != m_rect.Width() || height != m_rect.Height();
  m_rect = {x, y, x + std::max(width, 0), y + std::max(height, 0)};
  if (resized)
    m_canvas = std::make_unique<CMemoryCanvas>(m_rect.Width(), m_rect.Height(), m_desktop.paletteDevice,
                                               CHeadlessDesktop::kWindowColour);
  if (resized) SendMessage(WM_SIZE, 0, MAKELPARAM(m_rect.Width(), m_rect.Height()));
  if (repaint) InvalidateRect(nullptr, true);
}

void CHeadlessWindow::InvalidateRect(const CRect* rect, bool erase) {
  std::lock_guard<std::mutex> guard(m_mutex);
  const CRect client{0, 0, m_rect.Width(), m_rect.Height()};
  m_invalid = Union(m_invalid, rect ? Intersect(*rect, client) : client);
  m_erase = m_erase || erase;
}

void CHeadlessWindow::UpdateWindow() {
  bool invalid;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    invalid = !IsEmpty(m_invalid);
  }
  if (invalid) SendMessage(WM_PAINT, 0, 0);
}

CDrawContext* CHeadlessWindow::BeginPaint(CRect& paintRect) {
  bool erase;
  {
    std::lock_guard<std::mutex> guard(m_mutex);
    paintRect = m_invalid;
    erase = m_erase;
    m_invalid = {};
    m_erase = false;
  }
  m_painting = true;
  if (erase) m_canvas->FillRect(paintRect.left, paintRect.top, paintRect.right, paintRect.bottom,
                                CHeadlessDesktop::kWindowColour);
  return m_canvas.get();
}

void CHeadlessWindow::FillPaintRect(const CRect& rect, uint32_t rgb) {
  m_canvas->FillRect(rect.left, rect.top, rect.right, rect.bottom, rgb);
}

void CHeadlessWindow::EndPaint() { m_painting = false; }

void CHeadlessWindow::SetScrollInfo(int bar, const SCROLLINFO& info, bool) { m_scroll[bar == SB_VERT ? 1 : 0] = info; }

// The exposed contents are repainted rather than moved; the result on the
// canvas is the same.
void CHeadlessWindow::ScrollWindow(int dx, int dy) {
  scrolls.emplace_back(dx, dy);
  InvalidateRect(nullptr, false);
}

bool CHeadlessWindow::IsClassRegistered(const std::string& className) const {
  return m_desktop.classes.count(className) != 0;
}

bool CHeadlessWindow::RegisterClass(const WNDCLASS& windowClass) {
  return m_desktop.classes.emplace(windowClass.className, windowClass).second;
}

bool CHeadlessWindow::UnregisterClass(const std::string& className) {
  if (!m_desktop.classes.erase(className)) return false;
  m_desktop.unregisteredClasses.push_back(className);
  return true;
}

HWND CHeadlessWindow::CreateChildWindow(const std::string& className, const std::string& title, DWORD, DWORD style,
                                        int x, int y, int width, int height) {
  auto it = m_desktop.classes.find(className);
  if (it == m_desktop.classes.end()) return nullptr;
  auto child = std::make_unique<CHeadlessWindow>(m_desktop, this, x, y, width, height);
  child->m_proc = it->second.lpfnWndProc;
  child->m_title = title;
  child->m_style = style;
  HWND handle = child.get();
  m_children.push_back(std::move(child));
  handle->SendMessage(WM_SIZE, 0, MAKELPARAM(width, height));
  return handle;
}

void CHeadlessWindow::DestroyWindow() {
  if (!m_parent) return;  // top-level windows belong to the host
  auto& siblings = m_parent->m_children;
  auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& w) { return w.get() == this; });
  if (it != siblings.end()) siblings.erase(it);  // destroys this window
}

UINT CHeadlessWindow::TrackPopupMenu(const CPopupMenu& menu, CPoint screenPoint) {
  auto record = std::make_unique<RecordedMenu>();
  RecordedMenu& shown = *record;
  m_desktop.menus.push_back(std::move(record));
  shown.items = menu.items;
  shown.screenPoint = screenPoint;

  int top = 0;
  for (const MenuItem& item : shown.items) {
    if (!(item.flags & MF_OWNERDRAW)) continue;
    MEASUREITEMSTRUCT measure{ODT_MENU, 0, item.id, 0, 0, reinterpret_cast<uintptr_t>(item.text.c_str()),
                              &shown.drawing};
    SendMessage(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure));
    shown.measured.push_back(measure);
    DRAWITEMSTRUCT draw{ODT_MENU, 0, item.id, 0, 0, &shown.drawing,
                        CRect{0, top, static_cast<int>(measure.itemWidth), top + static_cast<int>(measure.itemHeight)},
                        reinterpret_cast<uintptr_t>(item.text.c_str())};
    SendMessage(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw));
    top += static_cast<int>(measure.itemHeight);
  }

  UINT choice = 0;
  if (!m_desktop.menuChoices.empty()) {
    choice = m_desktop.menuChoices.front();
    m_desktop.menuChoices.pop_front();
  }
  const bool available = std::any_of(shown.items.begin(), shown.items.end(),
                                     [&](const MenuItem& item) { return item.id == choice && IsChoosable(item); });
  shown.chosen = available ? choice : 0;
  return shown.chosen;
}

int CHeadlessWindow::MessageBox(const std::string& text, const std::string& caption, unsigned style, bool owned) {
  m_desktop.messageBoxes.push_back({text, caption, style, owned});
  return 1;
}

bool CHeadlessWindow::GetSaveFileName(SaveFileRequest& request) {
  m_desktop.saveDialogs.push_back(request);
  if (m_desktop.saveAnswers.empty()) return false;
  std::optional<CHeadlessDesktop::SaveAnswer> answer = m_desktop.saveAnswers.front();
  m_desktop.saveAnswers.pop_front();
  if (!answer) return false;
  request.file = answer->path;
  request.filterIndex = answer->filterIndex;
  return true;
}

uint32_t CHeadlessWindow::GetSysColor(int index) const {
  switch (index) {
    case COLOR_MENU: return CHeadlessDesktop::kMenuColour;
    case COLOR_MENUTEXT: return CHeadlessDesktop::kMenuTextColour;
    default: return CHeadlessDesktop::kWindowColour;
  }
}
