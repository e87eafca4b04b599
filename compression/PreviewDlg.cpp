#include "compression/PreviewDlg.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QRegion>
#include <QScrollBar>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>

#include "app/ControlIds.h"
#include "app/HelpWindow.h"
#include "app/PrivateMessages.h"
#include "app/TXPhotoApp.h"
#include "docview/QtDrawContext.h"
#include "docview/TXPhotoDoc.h"
#include "image/Dib.h"
#include "resources/MenuData.h"
#include "resources/resource.h"

namespace {

constexpr int kPaneWidth = 440;
constexpr int kPaneHeight = 330;
const QColor kPaneGrey(100, 100, 100);

constexpr double kZoomInFactor = 1.4142;
constexpr double kZoomOutFactor = 0.7071135624381276;  // 1 / 1.4142
constexpr double kMaxZoom = 4.0;
constexpr double kSnapToOne = 0.05;

constexpr int kScrollMax = 1000;
constexpr int kScrollLine = 50;
constexpr int kScrollPage = 142;
// Where the keyboard puts the context menu, from the upper left client corner.
constexpr int kMenuKeyOffset = 5;
constexpr int kEditWidth = 80;

struct ControlName {
  int id;
  const char* symbol;
};
constexpr ControlName kMenuSymbols[] = {{IDOK, "IDOK"},
                                        {IDCANCEL, "IDCANCEL"},
                                        {IDC_PREVIEW_ZOOM_IN, "IDC_PREVIEW_ZOOM_IN"},
                                        {IDC_PREVIEW_ZOOM_OUT, "IDC_PREVIEW_ZOOM_OUT"},
                                        {IDC_PREVIEW_ORIGINAL_SIZE, "IDC_PREVIEW_ORIGINAL_SIZE"}};

QString MenuSymbol(int id) {
  for (const ControlName& entry : kMenuSymbols)
    if (entry.id == id)
      return QString::fromLatin1(entry.symbol);
  return QString();
}

bool ZoomAllowed(double zoom) { return zoom >= 0 && zoom <= kMaxZoom; }

int Trunc(double value) { return static_cast<int>(value); }

// The picture control: it paints through the dialog, so that a repaint
// shows the dialog's current state at once.
class CPreviewPane : public QWidget {
public:
  CPreviewPane(CPreviewDlg* dialog, QWidget* parent) : QWidget(parent), m_pDialog(dialog) {
    Identify(this, IDC_PREVIEW_PANE, "IDC_PREVIEW_PANE");
    setAccessibleName(QStringLiteral("Preview image"));
    setFixedSize(kPaneWidth, kPaneHeight);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setCursor(Qt::OpenHandCursor);
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    m_pDialog->PaintPane(painter);
  }

private:
  CPreviewDlg* m_pDialog;
};

// One axis of the layout: the fields of that axis by reference.
struct AxisLayout {
  int& origin;
  int& vis;
  int& draw;
  int& offset;
  int& range;
  bool& fits;
  int pane;
  int image;
};

// Fits the axis: an image narrower than the pane is centred, a larger one
// scrolls over the range of zoomed pixels the pane does not show.
void LayOutAxis(const AxisLayout& axis, double zoom) {
  axis.vis = Trunc(axis.pane / zoom);
  if (axis.vis > axis.image) {
    axis.fits = true;
    axis.origin = 0;
    axis.offset = Trunc((axis.vis - axis.image) * zoom * 0.5);
    axis.vis = axis.image;
    axis.draw = Trunc(axis.image * zoom);
    axis.range = -1;
    return;
  }
  axis.fits = false;
  axis.offset = 0;
  axis.draw = axis.pane;
  axis.origin = std::clamp(axis.origin, 0, axis.image - axis.vis);
  axis.range = Trunc(axis.image * zoom - axis.pane);
  if (axis.range == 0)
    axis.range = -1;
}

QPushButton* MakeButton(const QString& text, int id, const char* symbol) {
  auto* button = new QPushButton(text);
  Identify(button, id, symbol);
  button->setAccessibleName(text);
  button->setAutoDefault(false);
  return button;
}

QLineEdit* MakeValueEdit(int id, const char* symbol, const QString& label) {
  auto* edit = new QLineEdit;
  Identify(edit, id, symbol);
  edit->setAccessibleName(label);
  edit->setReadOnly(true);
  edit->setAlignment(Qt::AlignRight);
  edit->setFixedWidth(kEditWidth);
  return edit;
}

QScrollBar* MakeScrollBar(Qt::Orientation orientation, int id, const char* symbol, const QString& name) {
  auto* bar = new QScrollBar(orientation);
  Identify(bar, id, symbol);
  bar->setAccessibleName(name);
  bar->setRange(0, kScrollMax);
  bar->setSingleStep(kScrollLine);
  bar->setPageStep(kScrollPage);
  return bar;
}

bool PaletteDisplay() {
  const CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app && app->IsPaletteDisplay();
}

}  // namespace

CPreviewDlg::CPreviewDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_PREVIEW, "IDD_PREVIEW");
  setWindowTitle(QStringLiteral("Preview"));
  createControls();
}

CPreviewDlg::~CPreviewDlg() = default;

void CPreviewDlg::createControls() {
  m_pPane = new CPreviewPane(this, this);
  m_pPane->installEventFilter(this);
  auto* paneFrame = new QFrame;
  paneFrame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
  auto* paneLayout = new QVBoxLayout(paneFrame);
  paneLayout->setContentsMargins(1, 1, 1, 1);
  paneLayout->addWidget(m_pPane);
  paneFrame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  m_pHScroll = MakeScrollBar(Qt::Horizontal, IDC_PREVIEW_HSCROLL, "IDC_PREVIEW_HSCROLL", "Horizontal scroll bar");
  m_pVScroll = MakeScrollBar(Qt::Vertical, IDC_PREVIEW_VSCROLL, "IDC_PREVIEW_VSCROLL", "Vertical scroll bar");
  connect(m_pHScroll, &QScrollBar::valueChanged, this, &CPreviewDlg::OnHScroll);
  connect(m_pVScroll, &QScrollBar::valueChanged, this, &CPreviewDlg::OnVScroll);
  auto* picture = new QGridLayout;
  picture->setSpacing(0);
  picture->addWidget(paneFrame, 0, 0);
  picture->addWidget(m_pVScroll, 0, 1);
  picture->addWidget(m_pHScroll, 1, 0);

  const QString fileSizeLabel = QStringLiteral("File Size");
  const QString ratioLabel = QStringLiteral("Compression Ratio");
  m_pFileSize = MakeValueEdit(IDC_PREVIEW_FILE_SIZE, "IDC_PREVIEW_FILE_SIZE", fileSizeLabel);
  m_pRatio = MakeValueEdit(IDC_PREVIEW_RATIO, "IDC_PREVIEW_RATIO", ratioLabel);
  auto* openAfterSaving = new QCheckBox(QStringLiteral("Open after saving"));
  Identify(openAfterSaving, IDC_PREVIEW_OPEN_AFTER_SAVING, "IDC_PREVIEW_OPEN_AFTER_SAVING");
  openAfterSaving->setAccessibleName(openAfterSaving->text());
  m_pOpenAfterSaving = openAfterSaving;
  auto* values = new QHBoxLayout;
  values->addWidget(new QLabel(fileSizeLabel));
  values->addWidget(m_pFileSize);
  values->addWidget(new QLabel(QStringLiteral("Byte")));
  values->addSpacing(16);
  values->addWidget(new QLabel(ratioLabel));
  values->addWidget(m_pRatio);
  values->addWidget(new QLabel(QStringLiteral(": 1")));
  values->addStretch(1);

  QPushButton* save = MakeButton(QStringLiteral("Save"), IDOK, "IDOK");
  save->setDefault(true);
  QPushButton* close = MakeButton(QStringLiteral("Close"), IDCANCEL, "IDCANCEL");
  QPushButton* help = MakeButton(QStringLiteral("Help"), ID_HELP, "ID_HELP");
  QPushButton* zoomIn = MakeButton(QStringLiteral("Zoom In"), IDC_PREVIEW_ZOOM_IN, "IDC_PREVIEW_ZOOM_IN");
  QPushButton* zoomOut = MakeButton(QStringLiteral("Zoom Out"), IDC_PREVIEW_ZOOM_OUT, "IDC_PREVIEW_ZOOM_OUT");
  QPushButton* originalSize =
      MakeButton(QStringLiteral("Original Size"), IDC_PREVIEW_ORIGINAL_SIZE, "IDC_PREVIEW_ORIGINAL_SIZE");
  m_pZoomIn = zoomIn;
  m_pZoomOut = zoomOut;
  m_pOriginalSize = originalSize;
  for (QPushButton* button : {save, close, zoomIn, zoomOut, originalSize}) {
    const int id = button->property("tavixId").toInt();
    connect(button, &QPushButton::clicked, this, [this, id] { OnCommand(id); });
  }
  connect(help, &QPushButton::clicked, this, &CPreviewDlg::OnHelp);

  auto* original = new QRadioButton(QStringLiteral("Original"));
  Identify(original, IDC_PREVIEW_ORIGINAL, "IDC_PREVIEW_ORIGINAL");
  original->setAccessibleName(original->text());
  auto* compressed = new QRadioButton(QStringLiteral("Compressed"));
  Identify(compressed, IDC_PREVIEW_COMPRESSED, "IDC_PREVIEW_COMPRESSED");
  compressed->setAccessibleName(compressed->text());
  m_pOriginal = original;
  m_pCompressed = compressed;
  connect(original, &QRadioButton::clicked, this, &CPreviewDlg::OnShowOriginal);
  connect(compressed, &QRadioButton::clicked, this, &CPreviewDlg::OnShowCompressed);

  auto* zoomGroup = new QGroupBox(QStringLiteral("Zoom"));
  auto* zoomLayout = new QVBoxLayout(zoomGroup);
  for (QPushButton* button : {zoomIn, zoomOut, originalSize})
    zoomLayout->addWidget(button);
  auto* imageGroup = new QGroupBox(QStringLiteral("Image"));
  auto* imageLayout = new QVBoxLayout(imageGroup);
  imageLayout->addWidget(original);
  imageLayout->addWidget(compressed);

  auto* column = new QVBoxLayout;
  column->addWidget(save);
  column->addWidget(close);
  column->addSpacing(8);
  column->addWidget(zoomGroup);
  column->addWidget(imageGroup);
  column->addWidget(openAfterSaving);
  column->addStretch(1);
  column->addWidget(help);

  auto* left = new QVBoxLayout;
  left->addLayout(picture);
  left->addLayout(values);
  auto* layout = new QHBoxLayout(this);
  layout->addLayout(left);
  layout->addLayout(column);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CPreviewDlg::DoModal() { return exec() == IDOK ? IDOK : IDCANCEL; }

// ---------------------------------------------------------------- opening and creating the preview

void CPreviewDlg::showEvent(QShowEvent* event) {
  if (!event->spontaneous())
    OnInitDialog();
  QDialog::showEvent(event);
}

void CPreviewDlg::OnInitDialog() {
  m_nPaneWidth = m_pPane->width();
  m_nPaneHeight = m_pPane->height();
  m_dZoom = 1.0;
  m_nFileSize = 0;
  m_nRatio = 1;
  const CDib* image = m_pDoc ? m_pDoc->GetDib() : nullptr;
  const CSize size = image && image->Header() ? image->GetSize() : CSize{0, 0};
  m_nImageWidth = size.cx;
  m_nImageHeight = std::abs(size.cy);
  m_pOpenAfterSaving->setChecked(m_bOpenAfterSaving != 0);
  (m_nImage == 1 ? m_pCompressed : m_pOriginal)->setChecked(true);
  CentreOrigin();
  ShowValues();
  LayOut();
  findChild<QPushButton*>(QStringLiteral("IDOK"))->setFocus();
}

void CPreviewDlg::CentreOrigin() {
  m_nOriginX = (m_nImageWidth - m_nPaneWidth) / 2;
  m_nOriginY = (m_nImageHeight - m_nPaneHeight) / 2;
}

// The preview is made once the dialog has been seen, so the user watches it
// being built.
void CPreviewDlg::paintEvent(QPaintEvent* event) {
  QDialog::paintEvent(event);
  if (m_bFirstPaint) {
    m_bFirstPaint = false;
    QCoreApplication::postEvent(this, new QEvent(kCreatePreviewEvent));
  }
}

bool CPreviewDlg::event(QEvent* event) {
  if (event->type() == kCreatePreviewEvent) {
    OnCreatePreview();
    return true;
  }
  return QDialog::event(event);
}

void CPreviewDlg::OnCreatePreview() {
  if (!m_pDoc || !isVisible())
    return;
  m_pDoc->CreatePreview();
  DrawImage();
  const CDib* image = m_pDoc->GetDib();
  const CDib* preview = m_pDoc->m_pPreviewDib.get();
  if (!image || !image->Header() || !preview || preview->m_nCompressedLen <= 0)
    return;
  m_nFileSize = preview->m_nCompressedLen;
  const double raw = image->Header()->biBitCount / 8 * double(m_nImageHeight) * m_nImageWidth;
  m_nRatio = static_cast<unsigned>(raw / m_nFileSize + 0.5);
  ShowValues();
}

void CPreviewDlg::ShowValues() {
  m_pFileSize->setText(QString::number(m_nFileSize));
  m_pRatio->setText(QString::number(m_nRatio));
}

// ---------------------------------------------------------------- layout, zoom and scrolling

void CPreviewDlg::LayOut() {
  LayOutAxis({m_nOriginX, m_nVisWidth, m_nDrawWidth, m_nOffsetX, m_nRangeX, m_bFitsX, m_nPaneWidth, m_nImageWidth},
             m_dZoom);
  LayOutAxis(
      {m_nOriginY, m_nVisHeight, m_nDrawHeight, m_nOffsetY, m_nRangeY, m_bFitsY, m_nPaneHeight, m_nImageHeight},
      m_dZoom);
  m_pHScroll->setEnabled(m_nRangeX > 0);
  m_pVScroll->setEnabled(m_nRangeY > 0);
  SetScrollPositions();
  EnableZoomButtons();
  DrawImage();
}

void CPreviewDlg::ClampOrigin() {
  m_nOriginX = std::clamp(m_nOriginX, 0, std::max(0, m_nImageWidth - m_nVisWidth));
  m_nOriginY = std::clamp(m_nOriginY, 0, std::max(0, m_nImageHeight - m_nVisHeight));
}

// The vertical bar counts from the top, the origin from the bottom row.
void CPreviewDlg::SetScrollPositions() {
  const int x = m_nRangeX > 0 ? Trunc(m_nOriginX * m_dZoom / m_nRangeX * kScrollMax) : 0;
  const int y = m_nRangeY > 0 ? Trunc((1 - m_nOriginY * m_dZoom / m_nRangeY) * kScrollMax) : 0;
  const QSignalBlocker blockH(m_pHScroll);
  const QSignalBlocker blockV(m_pVScroll);
  m_pHScroll->setValue(std::clamp(x, 0, kScrollMax));
  m_pVScroll->setValue(std::clamp(y, 0, kScrollMax));
}

void CPreviewDlg::EnableZoomButtons() {
  m_pOriginalSize->setEnabled(std::fabs(m_dZoom - 1) >= 0.01);
  m_pZoomIn->setEnabled(ZoomAllowed(m_dZoom * kZoomInFactor));
  m_pZoomOut->setEnabled((m_dZoom > 1 || !m_bFitsX || !m_bFitsY) && ZoomAllowed(m_dZoom * kZoomOutFactor));
}

// The origin moves by half the change of the visible extent, keeping the
// centre; a zoom that comes back near 1 becomes exactly 1.
void CPreviewDlg::OnZoom(double factor, double originFactor) {
  const double zoom = m_dZoom * factor;
  if (!ZoomAllowed(zoom))
    return;
  m_dZoom = std::fabs(zoom - 1) < kSnapToOne ? 1.0 : zoom;
  m_nOriginX += Trunc((m_nVisWidth - m_nVisWidth * originFactor) * 0.5);
  m_nOriginY += Trunc((m_nVisHeight - m_nVisHeight * originFactor) * 0.5);
  LayOut();
}

void CPreviewDlg::OnOriginalSize() {
  m_dZoom = 1.0;
  CentreOrigin();
  LayOut();
}

void CPreviewDlg::OnHScroll(int position) {
  if (m_nRangeX <= 0)
    return;
  m_nOriginX = Trunc(m_nRangeX * position * 0.001 / m_dZoom);
  ClampOrigin();
  DrawImage();
}

void CPreviewDlg::OnVScroll(int position) {
  if (m_nRangeY <= 0)
    return;
  m_nOriginY = Trunc((1 - position * 0.001) * m_nRangeY / m_dZoom);
  ClampOrigin();
  DrawImage();
}

// ---------------------------------------------------------------- commands

void CPreviewDlg::OnCommand(int id) {
  switch (id) {
    case IDOK: done(IDOK); break;
    case IDCANCEL: done(IDCANCEL); break;
    case IDC_PREVIEW_ZOOM_IN: OnZoom(kZoomInFactor, kZoomOutFactor); break;
    case IDC_PREVIEW_ZOOM_OUT: OnZoom(kZoomOutFactor, kZoomInFactor); break;
    case IDC_PREVIEW_ORIGINAL_SIZE: OnOriginalSize(); break;
    default: break;
  }
}

void CPreviewDlg::done(int result) {
  m_bOpenAfterSaving = m_pOpenAfterSaving->isChecked() ? 1 : 0;
  QDialog::done(result);
}

void CPreviewDlg::reject() { done(IDCANCEL); }

void CPreviewDlg::OnHelp() {
  const CTXPhotoApp* app = CTXPhotoApp::Instance();
  if (!ShowHelp(app ? app->m_strChmPath : QString(), HID_PREVIEW_DIALOG, this))
    ShowHelpMissingMessage(this);
}

void CPreviewDlg::OnShowOriginal() {
  if (m_nImage == 1 && m_pDoc && m_pDoc->GetDib() && m_pDoc->GetDib()->Header()) {
    m_nImage = 0;
    DrawImage();
    const int bits = m_pDoc->GetDib()->Header()->biBitCount;
    m_nFileSize = static_cast<long>(bits / 8) * m_nImageHeight * m_nImageWidth;
    ShowValues();
  }
  (m_nImage == 1 ? m_pCompressed : m_pOriginal)->setChecked(true);
}

void CPreviewDlg::OnShowCompressed() {
  if (m_nImage == 0 && m_pDoc && m_pDoc->m_pPreviewDib) {
    m_nImage = 1;
    DrawImage();
    m_nFileSize = m_pDoc->m_pPreviewDib->m_nCompressedLen;
    ShowValues();
  }
  (m_nImage == 1 ? m_pCompressed : m_pOriginal)->setChecked(true);
}

// ---------------------------------------------------------------- drawing

int CPreviewDlg::DrawImage() {
  // At once, not queued: the decoder calls this while it holds the thread.
  m_pPane->repaint();
  return 1;
}

CDib* CPreviewDlg::ShownImage() const {
  if (!m_pDoc || !m_pDoc->m_pDib || !m_pDoc->m_pPreviewDib)
    return nullptr;
  CDib* image = m_nImage == 1 ? m_pDoc->m_pPreviewDib.get() : m_pDoc->m_pDib.get();
  return image->Header() && image->m_pBits ? image : nullptr;
}

void CPreviewDlg::PaintPane(QPainter& painter) {
  const QRect pane = m_pPane->rect();
  CDib* image = ShownImage();
  if (!image) {
    painter.fillRect(pane, kPaneGrey);
    return;
  }
  const QRect drawn(m_nOffsetX, m_nOffsetY, m_nDrawWidth, m_nDrawHeight);
  // The bands around a centred image (and any rounding remainder).
  for (const QRect& band : QRegion(pane) - QRegion(drawn))
    painter.fillRect(band, kPaneGrey);
  painter.setClipRect(pane);
  CQtDrawContext context(&painter, PaletteDisplay());
  image->Draw(&context, m_nOffsetX, m_nOffsetY, m_nDrawWidth, m_nDrawHeight, m_nOriginX, m_nOriginY, m_nVisWidth,
              m_nVisHeight);
}

// ---------------------------------------------------------------- dragging and the context menu

bool CPreviewDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pPane) {
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseMove: OnPaneMouse(event); break;
      default: break;
    }
  }
  return QDialog::eventFilter(watched, event);
}

// Dragging moves the image with the pointer: right and down move the
// origin left and up (rows count from the bottom).
void CPreviewDlg::OnPaneMouse(QEvent* event) {
  auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint point = mouse->globalPosition().toPoint();
  if (event->type() != QEvent::MouseMove) {
    const bool pressed = event->type() == QEvent::MouseButtonPress && mouse->button() == Qt::LeftButton;
    m_pPane->setCursor(pressed ? Qt::ClosedHandCursor : Qt::OpenHandCursor);
    m_ptLast = point;
    return;
  }
  const QRect pane(m_pPane->mapToGlobal(QPoint(0, 0)), m_pPane->size());
  m_bOverPane = pane.contains(point);
  if (m_bOverPane && (mouse->buttons() & Qt::LeftButton) && point != m_ptLast) {
    const QPoint delta = point - m_ptLast;
    m_nOriginX -= Trunc(delta.x() / m_dZoom + 0.5);
    m_nOriginY += Trunc(delta.y() / m_dZoom + 0.5);
    ClampOrigin();
    SetScrollPositions();
    DrawImage();
  }
  m_ptLast = point;
}

QMenu* CPreviewDlg::BuildContextMenu() {
  auto* menu = new QMenu(this);
  menu->setObjectName(QStringLiteral("IDR_POPUP_PREVIEW"));
  int popups = 0;
  for (const MenuEntry& entry : MenuResource(IDR_POPUP_PREVIEW)) {
    if (entry.depth == 0 && ++popups > 1)
      break;  // the first popup only
    if (entry.depth == 0)
      continue;
    if (entry.command == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* action = menu->addAction(QString::fromLatin1(entry.text));
    action->setData(entry.command);
    action->setObjectName(MenuSymbol(entry.command));
    if (entry.command == IDC_PREVIEW_ZOOM_IN)
      action->setEnabled(m_pZoomIn->isEnabled());
    else if (entry.command == IDC_PREVIEW_ZOOM_OUT)
      action->setEnabled(m_pZoomOut->isEnabled());
    else if (entry.command == IDC_PREVIEW_ORIGINAL_SIZE)
      action->setEnabled(m_pOriginalSize->isEnabled());
  }
  return menu;
}

void CPreviewDlg::contextMenuEvent(QContextMenuEvent* event) {
  const QPoint position = event->reason() == QContextMenuEvent::Keyboard
                              ? mapToGlobal(QPoint(kMenuKeyOffset, kMenuKeyOffset))
                              : event->globalPos();
  std::unique_ptr<QMenu> menu(BuildContextMenu());
  if (const QAction* chosen = menu->exec(position))
    OnCommand(chosen->data().toInt());
}
