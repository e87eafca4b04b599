#include "docview/TXPhotoView.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QScrollBar>
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <iterator>

#include "app/ContextMenuManager.h"
#include "app/MainFrame.h"
#include "app/PrivateMessages.h"
#include "app/TXPhotoApp.h"
#include "compression/FileSizeDlg.h"
#include "compression/QualityDlg.h"
#include "docview/ChildFrame.h"
#include "docview/QtDrawContext.h"
#include "docview/TXPhotoDoc.h"
#include "docview/ViewScaleDlg.h"
#include "image/Dib.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr double kZoomInFactor = 1.4142;
constexpr double kZoomOutFactor = 0.7071135624381276;  // 1 / 1.4142
constexpr double kMaxZoom = 4.0;
constexpr double kMinZoom = 0.25;
// Zoom factors this close to a whole number become that number.
constexpr double kSnapTolerance = 0.02;
// The displayed image fits when the main window's client area is this much larger.
constexpr double kFitMargin = 1.1;
// The client area assumed when there is no main window to measure.
constexpr int kDefaultClientWidth = 1024;
constexpr int kDefaultClientHeight = 768;
// Enough halvings of the area to bring any image down to nothing.
constexpr int kMaxFitSteps = 96;
constexpr int kLineDivisor = 50;

const char* const kFormatNames[] = {"TAVIX", "BMP", "TIFF", "JPEG", "PNM", "GIF", "CLP", "PCX"};

int ScaledExtent(int extent, double zoom) {
  return static_cast<int>(std::min(extent * zoom, static_cast<double>(INT_MAX / 2)));
}

QSize Scaled(const QSize& size, double zoom) {
  return QSize(ScaledExtent(size.width(), zoom), ScaledExtent(size.height(), zoom));
}

// Integer division per axis (QSize's own operator/ rounds).
QSize Divided(const QSize& size, int divisor) { return QSize(size.width() / divisor, size.height() / divisor); }

CMainFrame* MainFrame() {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app ? app->MainFrame() : nullptr;
}

QSize MainClientArea() {
  if (CMainFrame* frame = MainFrame(); frame && frame->MdiArea()) {
    const QSize area = frame->MdiArea()->viewport()->size();
    if (!area.isEmpty())
      return area;
  }
  return QSize(kDefaultClientWidth, kDefaultClientHeight);
}

bool IsPaletteDisplay() {
  CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app && app->IsPaletteDisplay();
}

// Page scrolling moves by the view's page size, not by the visible extent
// that sizes the scroll bar's thumb.
void ApplyPageSize(QScrollBar* bar, int action, int page) {
  page = std::max(page, 1);
  if (action == QAbstractSlider::SliderPageStepAdd)
    bar->setSliderPosition(bar->value() + page);
  else if (action == QAbstractSlider::SliderPageStepSub)
    bar->setSliderPosition(bar->value() - page);
}

void SetScrollRange(QScrollBar* bar, int total, int visible, int line) {
  bar->setRange(0, std::max(0, total - visible));
  bar->setPageStep(std::max(visible, 1));
  bar->setSingleStep(std::max(line, 1));
}

QString ZoomText(double zoom) { return QString::asprintf("%d %%", static_cast<int>(zoom * 100 + 0.5)); }

QString FormatText(int format) {
  return format >= 0 && format < int(std::size(kFormatNames)) ? QString::fromLatin1(kFormatNames[format]) : QString();
}

// "W x H" and the colour model: grey and palette images show their bits
// per plane, RGB images bits per plane times planes.
QString SizeText(const CDib& dib, const QSize& size) {
  int textId = IDS_PANE_RGB;
  int bits = dib.m_nBitsPerPlane * static_cast<int>(dib.m_nPlanes);
  if (dib.m_nColorType == DibGrey || dib.m_nColorType == DibPaletteColor) {
    textId = dib.m_nColorType == DibGrey ? IDS_PANE_GREY : IDS_PANE_PALETTE;
    bits = dib.m_nBitsPerPlane;
  }
  return QString::asprintf("%d x %d", size.width(), size.height()) +
         LoadStringResource(textId).replace(QStringLiteral("%d"), QString::number(bits));
}

// The compression mode a view's activation selects: that of a .tvx image,
// else the current one if it is a real mode.
int ActivationMode(const CTXPhotoDoc& doc, int current) {
  if (doc.m_nFormat == FormatTvx && doc.GetDib()) {
    switch (doc.GetDib()->m_compressionParams.mode) {
      case 1: return CompressQuality;
      case 2: return CompressLossless;
      default: return CompressFileSize;
    }
  }
  return current >= CompressFileSize && current <= CompressLossless ? current : CompressFileSize;
}

}  // namespace

CTXPhotoView::CTXPhotoView(CTXPhotoDoc* doc)
    : m_dlgFileSize(std::make_unique<CFileSizeDlg>(this)), m_dlgQuality(std::make_unique<CQualityDlg>(this)),
      m_pDoc(doc) {
  setObjectName("CTXPhotoView");
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setAccessibleName(doc->GetTitle());
  // paintEvent covers every pixel: the image and the window colour around it.
  viewport()->setAutoFillBackground(false);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { ApplyPageSize(horizontalScrollBar(), action, m_sizePage.width()); });
  connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
          [this](int action) { ApplyPageSize(verticalScrollBar(), action, m_sizePage.height()); });
}

CTXPhotoView::~CTXPhotoView() {
  if (m_pDoc && m_pDoc->m_pView == this)
    m_pDoc->m_pView = nullptr;
}

CChildFrame* CTXPhotoView::ParentFrame() const {
  for (QWidget* widget = parentWidget(); widget; widget = widget->parentWidget())
    if (auto* frame = qobject_cast<CChildFrame*>(widget))
      return frame;
  return nullptr;
}

// ---------------------------------------------------------------- fitting and zooming

void CTXPhotoView::OnInitialUpdate() {
  m_bInitialUpdateDone = true;
  m_pDoc->m_pView = this;
  m_nCompressionMode = CompressNone;
  const CDib* dib = m_pDoc->GetDib();
  if (!dib || !dib->Header())
    return;
  const CSize size = dib->GetSize();
  m_sizeImage = QSize(size.cx, std::abs(size.cy));
  m_nBitsPerPixel = dib->Header()->biBitCount;
  m_nImageBytes = static_cast<long long>(m_sizeImage.width()) * m_sizeImage.height() * m_nBitsPerPixel / 8;
  InitCompressionSettings();

  m_dZoom = 1.0;
  m_sizeDisplay = m_sizeImage;
  m_sizePage = Divided(m_sizeImage, 2);
  m_sizeLine = Divided(m_sizeImage, kLineDivisor);
  for (int step = 0; step < kMaxFitSteps && !displayFitsMainWindow(); ++step) {
    m_dZoom *= kZoomOutFactor;
    m_sizeDisplay = Scaled(m_sizeImage, m_dZoom);
  }
  setScrollSizes();
  resizeParentToFit();
  UpdateStatusPanes();
  viewport()->update();
}

void CTXPhotoView::ZoomBy(double factor) {
  if (!m_pDoc->GetDib() || m_sizeImage.isEmpty())
    return;
  m_dZoom *= factor;
  // Whole factors only: snapping to 0 would leave the image at no size
  // with no way back.
  const int whole = static_cast<int>(m_dZoom + 0.5);
  if (whole >= 1 && whole - kSnapTolerance < m_dZoom && m_dZoom < whole + kSnapTolerance)
    m_dZoom = whole;
  m_sizeDisplay = Scaled(m_sizeImage, m_dZoom);
  m_sizePage = Divided(m_sizeDisplay, 2);
  m_sizeLine = Divided(m_sizeDisplay, kLineDivisor);

  const bool hadScrollBar = horizontalScrollBar()->maximum() > 0 || verticalScrollBar()->maximum() > 0;
  setScrollSizes();
  horizontalScrollBar()->setValue(static_cast<int>(horizontalScrollBar()->value() * factor));
  verticalScrollBar()->setValue(static_cast<int>(verticalScrollBar()->value() * factor));

  const CChildFrame* frame = ParentFrame();
  if (frame && !frame->isMaximized() && displayFitsMainWindow() && !hadScrollBar)
    resizeParentToFit();
  UpdateZoomPane();
  viewport()->update();
}

bool CTXPhotoView::displayFitsMainWindow() const {
  const QSize client = MainClientArea();
  return client.width() >= kFitMargin * m_sizeDisplay.width() && client.height() >= kFitMargin * m_sizeDisplay.height();
}

void CTXPhotoView::setScrollSizes() {
  // An image that fits the view without scroll bars needs none, even while
  // the bars are still shown and take room.
  const QSize whole = maximumViewportSize();
  const bool fitsWhole = m_sizeDisplay.width() <= whole.width() && m_sizeDisplay.height() <= whole.height();
  const QSize visible = fitsWhole ? whole : viewport()->size();
  SetScrollRange(horizontalScrollBar(), m_sizeDisplay.width(), visible.width(), m_sizeLine.width());
  SetScrollRange(verticalScrollBar(), m_sizeDisplay.height(), visible.height(), m_sizeLine.height());
}

// Gives the frame the size at which the view shows the displayed image
// exactly, without scroll bars. The frame stays wide enough for its status
// bar; a narrower image leaves window colour at its right.
void CTXPhotoView::resizeParentToFit() {
  CChildFrame* frame = ParentFrame();
  if (!frame || frame->isMaximized() || frame->isMinimized())
    return;
  const QSize around = frame->size() - size();
  frame->resize((around + m_sizeDisplay).expandedTo(frame->minimumSizeHint()));
}

void CTXPhotoView::onViewScale() {
  CViewScaleDlg dialog(this);
  dialog.m_nScaleChoice = CViewScaleDlg::ScaleUser;
  dialog.m_nPercent = static_cast<int>(m_dZoom * 100 + 0.5);
  if (dialog.exec() != QDialog::Accepted)
    return;
  m_dZoom = dialog.Zoom();
  ZoomBy(1.0);
}

// ---------------------------------------------------------------- status panes

void CTXPhotoView::OnActivateView() {
  if (CMainFrame* frame = MainFrame())
    frame->SetCompressionMode(ActivationMode(*m_pDoc, frame->GetCompressionMode()));
  UpdateStatusPanes();
}

void CTXPhotoView::UpdateStatusPanes() {
  CChildFrame* frame = ParentFrame();
  const CDib* dib = m_pDoc->GetDib();
  if (!frame || !dib || !dib->Header())
    return;
  frame->SetPaneText(0, ZoomText(m_dZoom));
  frame->SetPaneText(1, FormatText(m_pDoc->m_nFormat));
  const CSize size = dib->GetSize();
  frame->SetPaneText(2, SizeText(*dib, QSize(size.cx, std::abs(size.cy))));
  frame->SetPaneText(3, QStringLiteral("%1 Byte").arg(dib->m_nFileSize));
  frame->SetPaneText(4, m_pDoc->m_nFormat == FormatTvx ? m_pDoc->m_strInfoShort : QString());
}

void CTXPhotoView::UpdateZoomPane() {
  if (CChildFrame* frame = ParentFrame())
    frame->SetPaneText(0, ZoomText(m_dZoom));
}

// ---------------------------------------------------------------- commands

bool CTXPhotoView::OnCommand(int id) {
  switch (id) {
    case ID_ZOOM_IN: ZoomBy(kZoomInFactor); return true;
    case ID_ZOOM_OUT: ZoomBy(kZoomOutFactor); return true;
    case ID_ORIGINAL_SIZE:
      m_dZoom = 1.0;
      ZoomBy(1.0);
      return true;
    case ID_VIEW_SCALE: onViewScale(); return true;
    case ID_FILE_EXPORT: OnFileExport(); return true;
    case ID_EDIT_COPY: OnEditCopy(); return true;
    case ID_IMAGE_INFO: OnImageInfo(); return true;
    case ID_COMPRESS_FILESIZE: OnCompressFileSize(); return true;
    case ID_COMPRESS_QUALITY: OnCompressQuality(); return true;
    case ID_COMPRESS_LOSSLESS: OnCompressLossless(); return true;
    case ID_COMPRESS: OnCompress(); return true;
    default: return false;
  }
}

bool CTXPhotoView::OnUpdateCommand(CCmdUI& ui) {
  switch (ui.m_nID) {
    case ID_ZOOM_IN: ui.Enable(m_dZoom < kMaxZoom); return true;
    case ID_ZOOM_OUT: ui.Enable(m_dZoom > kMinZoom); return true;
    case ID_ORIGINAL_SIZE: ui.Enable(m_dZoom != 1.0); return true;
    case ID_EDIT_COPY: ui.Enable(m_pDoc->GetDib() != nullptr && m_pDoc->GetDib()->Header() != nullptr); return true;
    case ID_VIEW_SCALE:
    case ID_FILE_EXPORT:
    case ID_IMAGE_INFO:
    case ID_COMPRESS: ui.Enable(true); return true;
    case ID_COMPRESS_FILESIZE:
      ui.SetCheck(m_nSourceMode == CompressFileSize);
      return true;
    case ID_COMPRESS_QUALITY:
      ui.SetCheck(m_nSourceMode == CompressQuality);
      return true;
    case ID_COMPRESS_LOSSLESS:
      ui.Enable(m_pDoc->GetDib() != nullptr && m_pDoc->GetDib()->m_nColorType == DibGrey);
      ui.SetCheck(m_nSourceMode == CompressLossless);
      return true;
    default: return false;
  }
}

// ---------------------------------------------------------------- events

bool CTXPhotoView::event(QEvent* event) {
  // "Preview" of a settings dialog: the dialog has closed; the document
  // runs the Preview dialog.
  if (event->type() == kShowPreviewEvent) {
    m_pDoc->PreviewAndSave();
    return true;
  }
  const bool handled = QAbstractScrollArea::event(event);
  // The first showing is the initial update: by then the main window's
  // client area has its size, also for files opened before it was shown.
  if (event->type() == QEvent::Show && !m_bInitialUpdateDone)
    OnInitialUpdate();
  return handled;
}

void CTXPhotoView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  setScrollSizes();
}

void CTXPhotoView::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  painter.setClipRegion(event->region());
  const QRect image(-horizontalScrollBar()->value(), -verticalScrollBar()->value(), m_sizeDisplay.width(),
                    m_sizeDisplay.height());
  const QColor window = palette().color(QPalette::Base);
  for (const QRect& rect : event->region() - QRegion(image))
    painter.fillRect(rect, window);
  CDib* dib = m_pDoc->GetDib();
  if (!dib || image.isEmpty())
    return;
  CQtDrawContext dc(&painter, IsPaletteDisplay());
  dib->Draw(&dc, image.x(), image.y(), image.width(), image.height());
}

void CTXPhotoView::keyPressEvent(QKeyEvent* event) {
  QScrollBar* horizontal = horizontalScrollBar();
  QScrollBar* vertical = verticalScrollBar();
  switch (event->key()) {
    case Qt::Key_PageUp: vertical->triggerAction(QAbstractSlider::SliderPageStepSub); break;
    case Qt::Key_PageDown: vertical->triggerAction(QAbstractSlider::SliderPageStepAdd); break;
    case Qt::Key_Home:
      horizontal->triggerAction(QAbstractSlider::SliderToMinimum);
      vertical->triggerAction(QAbstractSlider::SliderToMinimum);
      break;
    case Qt::Key_End:
      horizontal->triggerAction(QAbstractSlider::SliderToMaximum);
      vertical->triggerAction(QAbstractSlider::SliderToMaximum);
      break;
    case Qt::Key_Up: vertical->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Down: vertical->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    case Qt::Key_Left: horizontal->triggerAction(QAbstractSlider::SliderSingleStepSub); break;
    case Qt::Key_Right: horizontal->triggerAction(QAbstractSlider::SliderSingleStepAdd); break;
    default: event->ignore(); return;
  }
  event->accept();
}

void CTXPhotoView::mousePressEvent(QMouseEvent* event) {
  m_ptLastMouse = event->position().toPoint();
  QAbstractScrollArea::mousePressEvent(event);
}

// Dragging with the left button moves the image with the pointer, on the
// axes where it is larger than the window.
void CTXPhotoView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint position = event->position().toPoint();
  if ((event->buttons() & Qt::LeftButton) && position != m_ptLastMouse) {
    const QSize visible = viewport()->size();
    const QPoint delta = m_ptLastMouse - position;
    if (visible.width() < m_sizeDisplay.width())
      horizontalScrollBar()->setValue(horizontalScrollBar()->value() + delta.x());
    if (visible.height() < m_sizeDisplay.height())
      verticalScrollBar()->setValue(verticalScrollBar()->value() + delta.y());
    viewport()->update();
  }
  m_ptLastMouse = position;
}

void CTXPhotoView::contextMenuEvent(QContextMenuEvent* event) {
  if (auto* app = CTXPhotoApp::Instance(); app && app->ContextMenus())
    app->ContextMenus()->ShowPopupMenu(IDR_POPUP_VIEW, event->globalPos(), this);
}
