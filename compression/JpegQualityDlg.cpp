#include "compression/JpegQualityDlg.h"

#include "app/ControlIds.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>

#include "resources/resource.h"

namespace {

constexpr int kEditWidth = 48;
constexpr int kSliderWidth = 200;
constexpr int kTickInterval = 10;

QPushButton* MakeButton(const QString& text, int id, const char* symbol) {
  auto* button = new QPushButton(text);
  Identify(button, id, symbol);
  button->setAccessibleName(QString(text).remove(QLatin1Char('&')));
  return button;
}

}  // namespace

CJpegQualityDlg::CJpegQualityDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_JPEG_QUALITY, "IDD_JPEG_QUALITY");
  setWindowTitle(QStringLiteral("JPEG Quality Factor"));

  auto* label = new QLabel(QStringLiteral("Quality Factor:"));
  m_pEdit = new QLineEdit;
  Identify(m_pEdit, IDC_JPEG_QUALITY, "IDC_JPEG_QUALITY");
  m_pEdit->setAccessibleName(label->text());
  m_pEdit->setFixedWidth(kEditWidth);
  m_pEdit->setAlignment(Qt::AlignRight);
  // Whole numbers only, short enough never to overflow; the range is applied
  // when the box is left, so that 150 can be typed and becomes 100.
  m_pEdit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?\\d{0,6}")), m_pEdit));
  m_pEdit->installEventFilter(this);
  label->setBuddy(m_pEdit);

  m_pSlider = new QSlider(Qt::Horizontal);
  Identify(m_pSlider, IDC_JPEG_QUALITY_SLIDER, "IDC_JPEG_QUALITY_SLIDER");
  m_pSlider->setAccessibleName(label->text());
  m_pSlider->setRange(kMinQuality, kMaxQuality);
  m_pSlider->setTickPosition(QSlider::TicksBelow);
  m_pSlider->setTickInterval(kTickInterval);
  m_pSlider->setPageStep(kTickInterval);
  m_pSlider->setMinimumWidth(kSliderWidth);
  connect(m_pSlider, &QSlider::valueChanged, this, &CJpegQualityDlg::onSliderMoved);

  QPushButton* save = MakeButton(QStringLiteral("Save"), IDOK, "IDOK");
  QPushButton* cancel = MakeButton(QStringLiteral("Cancel"), IDCANCEL, "IDCANCEL");
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, &CJpegQualityDlg::accept);
  connect(cancel, &QPushButton::clicked, this, &CJpegQualityDlg::reject);

  auto* quality = new QHBoxLayout;
  quality->addWidget(label);
  quality->addWidget(m_pEdit);
  quality->addStretch(1);

  auto* track = new QHBoxLayout;
  track->addWidget(new QLabel(QStringLiteral("Low")));
  track->addWidget(m_pSlider, 1);
  track->addWidget(new QLabel(QStringLiteral("High")));

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(save);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(12);
  layout->addLayout(quality);
  layout->addLayout(track);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

// The box is no longer watched once the dialog is going: its children may
// still lose the focus while they are taken down.
CJpegQualityDlg::~CJpegQualityDlg() { m_pEdit->removeEventFilter(this); }

bool CJpegQualityDlg::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_pEdit && event->type() == QEvent::FocusOut)
    onQualityEdited();
  return QDialog::eventFilter(watched, event);
}

int CJpegQualityDlg::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

void CJpegQualityDlg::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    m_nQuality = std::clamp(m_nQuality, kMinQuality, kMaxQuality);
    showQuality();
    m_pEdit->setFocus();
    m_pEdit->selectAll();
  }
  QDialog::showEvent(event);
}

// "Save" with the box still focused takes what it holds.
void CJpegQualityDlg::accept() {
  onQualityEdited();
  QDialog::accept();
}

void CJpegQualityDlg::onQualityEdited() {
  bool ok = false;
  const int typed = m_pEdit->text().toInt(&ok);
  if (ok)
    m_nQuality = std::clamp(typed, kMinQuality, kMaxQuality);
  showQuality();
}

void CJpegQualityDlg::onSliderMoved(int position) {
  m_nQuality = position;
  const QSignalBlocker blocker(m_pEdit);
  m_pEdit->setText(QString::number(m_nQuality));
}

void CJpegQualityDlg::showQuality() {
  {
    const QSignalBlocker blocker(m_pEdit);
    m_pEdit->setText(QString::number(m_nQuality));
  }
  const QSignalBlocker blocker(m_pSlider);
  m_pSlider->setValue(m_nQuality);
}
