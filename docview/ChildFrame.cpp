#include "docview/ChildFrame.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QSizePolicy>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "resources/Bitmaps.h"
#include "resources/resource.h"

namespace {

// The panes' text widths, or the width their longest usual text needs in
// the current font when that is more. The last pane starts at its width and
// takes the rest.
struct PaneLayout {
  int width;
  const char* longestText;
  const char* name;
};
constexpr PaneLayout kPanes[] = {{35, "400 %", "Zoom"},
                                 {45, "TAVIX", "Format"},
                                 {115, "8888 x 8888  8 Bit Palette", "Size"},
                                 {75, "888888888 Byte", "File size"},
                                 {50, "", "Compression"}};
constexpr int kPaneMargin = 2;

}  // namespace

CChildFrame::CChildFrame(CTXPhotoDoc* doc, CTXPhotoView* view) : m_pDoc(doc), m_pView(view) {
  setObjectName("CChildFrame");
  setAttribute(Qt::WA_DeleteOnClose);
  auto* body = new QWidget;
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(view, 1);
  m_pStatusBar = new QStatusBar(body);
  createStatusBar();
  layout->addWidget(m_pStatusBar);
  body->setFocusProxy(view);  // keys scroll the image once the window is active
  setWidget(body);
  setWindowTitle(doc->GetTitle());
  setWindowIcon(DocumentIcon());
  connect(doc, &CTXPhotoDoc::titleChanged, this, &QWidget::setWindowTitle);
  doc->AddFrame();
}

CChildFrame::~CChildFrame() { m_pDoc->RemoveFrame(); }

void CChildFrame::createStatusBar() {
  m_pStatusBar->setObjectName("IDW_DOC_STATUS_BAR");
  m_pStatusBar->setProperty("tavixId", IDW_DOC_STATUS_BAR);
  m_pStatusBar->setAccessibleName(QStringLiteral("Document status"));
  m_pStatusBar->setSizeGripEnabled(false);
  static_assert(std::tuple_size_v<decltype(m_panes)> == std::size(kPanes));
  const QFontMetrics metrics(m_pStatusBar->font());
  for (int i = 0; i < int(m_panes.size()); ++i) {
    auto* pane = new QLabel(m_pStatusBar);
    pane->setObjectName(QStringLiteral("ID_SEPARATOR"));
    pane->setProperty("tavixPane", i);
    pane->setAccessibleName(QString::fromLatin1(kPanes[i].name));
    pane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    pane->setIndent(kPaneMargin);
    const int text = std::max(kPanes[i].width, metrics.horizontalAdvance(QString::fromLatin1(kPanes[i].longestText)));
    const int width = text + 2 * (pane->frameWidth() + kPaneMargin);
    const bool last = i + 1 == int(m_panes.size());
    if (last) {
      // Grows with the window, never with its text: a long text is cut.
      pane->setMinimumWidth(width);
      pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    } else {
      pane->setFixedWidth(width);
    }
    m_pStatusBar->addWidget(pane, last ? 1 : 0);
    m_panes[size_t(i)] = pane;
  }
}

bool CChildFrame::IsStatusBarVisible() const { return m_pStatusBar && !m_pStatusBar->isHidden(); }

void CChildFrame::ShowStatusBar(bool show) {
  if (m_pStatusBar)
    m_pStatusBar->setVisible(show);
}

void CChildFrame::ToggleStatusBar() {
  const bool wasVisible = IsStatusBarVisible();
  // A bar that has not been laid out yet has no height of its own.
  const int barHeight = wasVisible && m_pStatusBar->testAttribute(Qt::WA_Resized)
                            ? m_pStatusBar->height()
                            : m_pStatusBar->sizeHint().height();
  ShowStatusBar(!wasVisible);
  if (!isMaximized())
    resize(width(), height() + (wasVisible ? -barHeight : barHeight));
  if (QWidget* body = widget(); body && body->layout())
    body->layout()->activate();
}

QLabel* CChildFrame::StatusPane(int index) const {
  return index >= 0 && index < int(m_panes.size()) ? m_panes[size_t(index)] : nullptr;
}

void CChildFrame::SetPaneText(int index, const QString& text) {
  if (QLabel* pane = StatusPane(index))
    pane->setText(text);
}

bool CChildFrame::OnCommand(int id) {
  if (id != ID_VIEW_DOC_STATUSBAR)
    return false;
  ToggleStatusBar();
  return true;
}

bool CChildFrame::OnUpdateCommand(CCmdUI& ui) {
  if (ui.m_nID != ID_VIEW_DOC_STATUSBAR)
    return false;
  ui.SetCheck(IsStatusBarVisible());
  return true;
}
