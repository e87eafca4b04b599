#include "compression/ImageInfoDlg.h"

#include "app/ControlIds.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "app/TXPhotoApp.h"
#include "docview/QtDrawContext.h"
#include "image/Dib.h"
#include "resources/resource.h"

namespace {

// The picture frame's size in dialog units.
constexpr int kPictureWidthUnits = 107;
constexpr int kPictureHeightUnits = 85;
constexpr int kEditWidthUnits = 150;
constexpr int kParamsLines = 6;

const char* const kLabels[] = {"File Name:",    "File Format:",          "File Size (Byte):",
                               "Image Width (Pixel):", "Image Height (Pixel):", "Color Model:",
                               "Compression Mode:",    "Compression Ratio (R):", "Compression Parameters:"};

QGridLayout* GroupGrid(QGroupBox* group) {
  auto* grid = new QGridLayout(group);
  grid->setColumnStretch(1, 1);
  return grid;
}

bool PaletteDisplay() {
  const CTXPhotoApp* app = CTXPhotoApp::Instance();
  return app && app->IsPaletteDisplay();
}

}  // namespace

QRect FitPictureRect(const QSize& frame, const QSize& image) {
  const int w = frame.width(), h = frame.height();
  if (w <= 0 || h <= 0 || image.width() <= 0 || image.height() <= 0)
    return QRect();
  const double a = static_cast<double>(image.width()) / image.height();
  if (static_cast<double>(w) / h > a) {
    const int width = static_cast<int>(a * h);
    return QRect((w - width) / 2, 0, width, h);
  }
  const int height = static_cast<int>(w / a);
  return QRect(0, (h - height) / 2, w, height);
}

// ---------------------------------------------------------------- CImagePictureFrame

CImagePictureFrame::CImagePictureFrame(QWidget* parent) : QFrame(parent) {
  Identify(this, IDC_INFO_PICTURE, "IDC_INFO_PICTURE");
  setAccessibleName(QStringLiteral("Picture"));
  setFrameStyle(QFrame::Box | QFrame::Sunken);  // etched
}

void CImagePictureFrame::SetDib(CDib* dib) {
  m_pDib = dib;
  update();
}

QRect CImagePictureFrame::PictureRect() const {
  if (!m_pDib)
    return QRect();
  const CSize size = m_pDib->GetSize();
  const QRect inside = contentsRect();
  return FitPictureRect(inside.size(), QSize(size.cx, size.cy)).translated(inside.topLeft());
}

void CImagePictureFrame::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);
  const QRect picture = PictureRect();
  if (picture.isEmpty())
    return;
  QPainter painter(this);
  painter.setClipRect(contentsRect());
  CQtDrawContext context(&painter, PaletteDisplay());
  m_pDib->Draw(&context, picture.x(), picture.y(), picture.width(), picture.height());
}

// ---------------------------------------------------------------- CImageInfoDlg

CImageInfoDlg::CImageInfoDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_IMAGE_INFO, "IDD_IMAGE_INFO");
  setWindowTitle(QStringLiteral("Image Information"));
  const QFontMetrics metrics(font());
  for (const char* label : kLabels)
    m_nLabelWidth = std::max(m_nLabelWidth, metrics.horizontalAdvance(QString::fromLatin1(label)));

  auto* fileGroup = new QGroupBox(QStringLiteral("File Properties "));
  QGridLayout* fileGrid = GroupGrid(fileGroup);
  m_pFileName = addField(fileGrid, kLabels[0], IDC_INFO_FILE_NAME, "IDC_INFO_FILE_NAME");
  m_pFormat = addField(fileGrid, kLabels[1], IDC_INFO_FORMAT, "IDC_INFO_FORMAT");
  m_pFileSize = addField(fileGrid, kLabels[2], IDC_INFO_FILE_SIZE, "IDC_INFO_FILE_SIZE");

  auto* imageGroup = new QGroupBox(QStringLiteral("Image Information"));
  QGridLayout* imageGrid = GroupGrid(imageGroup);
  m_pWidth = addField(imageGrid, kLabels[3], IDC_INFO_WIDTH, "IDC_INFO_WIDTH");
  m_pHeight = addField(imageGrid, kLabels[4], IDC_INFO_HEIGHT, "IDC_INFO_HEIGHT");
  m_pColorModel = addField(imageGrid, kLabels[5], IDC_INFO_COLOR_MODEL, "IDC_INFO_COLOR_MODEL");

  auto* compressionGroup = new QGroupBox(QStringLiteral("Compression Properties "));
  QGridLayout* compressionGrid = GroupGrid(compressionGroup);
  m_pMode = addField(compressionGrid, kLabels[6], IDC_INFO_MODE, "IDC_INFO_MODE");
  m_pRatio = addField(compressionGrid, kLabels[7], IDC_INFO_RATIO, "IDC_INFO_RATIO");
  auto* paramsLabel = new QLabel(QString::fromLatin1(kLabels[8]));
  paramsLabel->setMinimumWidth(m_nLabelWidth);
  m_pParams = new QLabel;
  Identify(m_pParams, IDC_INFO_PARAMS, "IDC_INFO_PARAMS");
  m_pParams->setAccessibleName(paramsLabel->text());
  m_pParams->setTextFormat(Qt::PlainText);
  m_pParams->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_pParams->setTextInteractionFlags(Qt::TextSelectableByMouse);
  m_pParams->setMinimumHeight(metrics.lineSpacing() * kParamsLines);
  const int row = compressionGrid->rowCount();
  compressionGrid->addWidget(paramsLabel, row, 0, Qt::AlignTop);
  compressionGrid->addWidget(m_pParams, row, 1);
  compressionGrid->setRowStretch(row, 1);

  m_pPicture = new CImagePictureFrame;
  m_pPicture->setFixedSize(dialogUnitsX(kPictureWidthUnits), dialogUnitsY(kPictureHeightUnits));

  auto* ok = new QPushButton(QStringLiteral("OK"));
  Identify(ok, IDOK, "IDOK");
  ok->setAccessibleName(ok->text());
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* bottom = new QHBoxLayout;
  bottom->addWidget(compressionGroup, 1);
  bottom->addWidget(m_pPicture, 0, Qt::AlignBottom);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(fileGroup);
  layout->addWidget(imageGroup);
  layout->addLayout(bottom);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QLineEdit* CImageInfoDlg::addField(QGridLayout* grid, const QString& label, int id, const char* symbol) {
  auto* caption = new QLabel(label);
  caption->setMinimumWidth(m_nLabelWidth);
  auto* edit = new QLineEdit;
  Identify(edit, id, symbol);
  edit->setReadOnly(true);
  edit->setAccessibleName(label);
  edit->setMinimumWidth(dialogUnitsX(kEditWidthUnits));
  caption->setBuddy(edit);
  const int row = grid->count() / 2;  // two widgets a row
  grid->addWidget(caption, row, 0);
  grid->addWidget(edit, row, 1);
  return edit;
}

// Dialog units as the dialog's font measures them: a quarter of the average
// letter width across, an eighth of the line height down.
int CImageInfoDlg::dialogUnitsX(int units) const {
  const QFontMetrics metrics(font());
  const int letters =
      metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  const int average = (letters / 26 + 1) / 2;
  return units * average / 4;
}

int CImageInfoDlg::dialogUnitsY(int units) const { return units * QFontMetrics(font()).height() / 8; }

int CImageInfoDlg::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

void CImageInfoDlg::showEvent(QShowEvent* event) {
  if (!event->spontaneous())
    showMembers();
  QDialog::showEvent(event);
  if (auto* ok = findChild<QPushButton*>(QStringLiteral("IDOK")))
    ok->setFocus();
}

void CImageInfoDlg::showMembers() {
  m_pFileName->setText(m_strFileName);
  m_pFormat->setText(m_strFormat);
  m_pFileSize->setText(QString::number(m_nFileSize));
  m_pWidth->setText(QString::number(m_nWidth));
  m_pHeight->setText(QString::number(m_nHeight));
  m_pColorModel->setText(m_strColorModel);
  m_pMode->setText(m_strMode);
  m_pRatio->setText(m_strRatio);
  m_pParams->setText(m_strParams);
  m_pPicture->SetDib(m_pDib);
  for (QLineEdit* edit : {m_pFileName, m_pFormat, m_pFileSize, m_pWidth, m_pHeight, m_pColorModel, m_pMode, m_pRatio})
    edit->setCursorPosition(0);
}
