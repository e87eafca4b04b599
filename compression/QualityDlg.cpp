#include "compression/QualityDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "app/ControlIds.h"
#include "app/HelpWindow.h"
#include "app/PrivateMessages.h"
#include "app/TXPhotoApp.h"
#include "codec/TavixLib.h"
#include "compression/ColumnComboBox.h"
#include "compression/CompressionSettings.h"
#include "compression/QualityPreviewPane.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "image/Dib.h"
#include "resources/resource.h"

namespace {

constexpr int kMinQuality = 1;
constexpr int kMaxQuality = 50;
constexpr int kMinColorPortion = 1;
constexpr int kMaxColorPortion = 40;
constexpr int kFirstFilterChoice = 10;
// The inside of the preview pane, in pixels.
constexpr int kPaneInsideWidth = 232;
constexpr int kPaneInsideHeight = 184;
constexpr int kEditWidth = 48;
constexpr int kSliderWidth = 160;
constexpr int kZoomButtonSize = 28;

// The rows of the filter combo, FilterChoice 10..16.
struct FilterRow {
  const char* filter;
  const char* codingLayer;
};
constexpr FilterRow kFilterRows[] = {
    {"5/3 Tap Filter", "Fast Embedded Progressive"},       {"5/3 Tap Filter", "Fast Resolution Progressive"},
    {"9/7 Tap Filter", "Standard Embedded Progressive"},   {"9/7 Tap Filter", "Fast Embedded Progressive"},
    {"9/7 Tap Filter", "Fast Resolution Progressive"},     {"18/10 Tap Filter", "Standard Embedded Progressive"},
    {"Mixed Filter", "Standard Embedded Progressive"},
};

template <typename T>
T* Named(T* widget, int id, const char* symbol, const QString& accessibleName) {
  Identify(widget, id, symbol);
  widget->setAccessibleName(QString(accessibleName).remove(QLatin1Char('&')));
  return widget;
}

QPushButton* MakeButton(const QString& text, int id, const char* symbol) {
  return Named(new QPushButton(text), id, symbol, text);
}

QLabel* MakeLabel(const QString& text, int id = 0, const char* symbol = nullptr) {
  auto* label = new QLabel(text);
  if (symbol)
    Identify(label, id, symbol);
  return label;
}

// An edit box that takes digits only; the range is applied when it is left.
QLineEdit* MakeDigitsEdit(int id, const char* symbol, const QString& accessibleName) {
  auto* edit = Named(new QLineEdit, id, symbol, accessibleName);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("\\d{0,6}")), edit));
  edit->setFixedWidth(kEditWidth);
  edit->setAlignment(Qt::AlignRight);
  return edit;
}

QSlider* MakeSlider(int id, const char* symbol, const QString& accessibleName, int minimum, int maximum) {
  auto* slider = Named(new QSlider(Qt::Horizontal), id, symbol, accessibleName);
  slider->setRange(minimum, maximum);
  slider->setPageStep(5);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(5);
  slider->setMinimumWidth(kSliderWidth);
  return slider;
}

// The number in `edit` clamped to minimum..maximum; `current` when it is empty.
int ClampedEditValue(const QLineEdit* edit, int current, int minimum, int maximum) {
  bool ok = false;
  const long long typed = edit->text().toLongLong(&ok);
  if (!ok)
    return current;
  return static_cast<int>(std::clamp<long long>(typed, minimum, maximum));
}

}  // namespace

CQualityDlg::CQualityDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_QUALITY, "IDD_QUALITY");
  setWindowTitle(QStringLiteral("Quality"));
  createControls();
  createLayout();
  connectControls();
}

// The controls stop reporting before they are taken down: an edit box that
// loses the focus then must not reach a half-destroyed dialog.
CQualityDlg::~CQualityDlg() {
  for (QObject* child : findChildren<QObject*>())
    child->disconnect(this);
  OnDestroy();
}

int CQualityDlg::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

// ---------------------------------------------------------------- building

void CQualityDlg::createControls() {
  m_pQualityEdit = MakeDigitsEdit(IDC_QUALITY_FACTOR, "IDC_QUALITY_FACTOR", QStringLiteral("Quality Factor"));
  m_pQualitySlider = MakeSlider(IDC_QUALITY_SLIDER, "IDC_QUALITY_SLIDER", QStringLiteral("Quality Factor"),
                                kMinQuality, kMaxQuality);
  m_pFilterLabel = MakeLabel(QStringLiteral("Filter"));
  m_pFilter = Named(new CColumnComboBox, IDC_QUALITY_FILTER, "IDC_QUALITY_FILTER", m_pFilterLabel->text());
  m_pFilter->SetAbbreviationSet(2);
  for (const FilterRow& row : kFilterRows)
    m_pFilter->AddRow(QString::fromLatin1(row.filter), QString::fromLatin1(row.codingLayer));
  m_pFilterLabel->setBuddy(m_pFilter);

  m_pColorLabel = MakeLabel(QStringLiteral("Color Portion:"), IDC_QUALITY_COLOR_LABEL, "IDC_QUALITY_COLOR_LABEL");
  m_pColorEdit = MakeDigitsEdit(IDC_QUALITY_COLOR_PORTION, "IDC_QUALITY_COLOR_PORTION", m_pColorLabel->text());
  m_pColorLabel->setBuddy(m_pColorEdit);
  m_pColorUnit = MakeLabel(QStringLiteral("%"), IDC_QUALITY_COLOR_UNIT, "IDC_QUALITY_COLOR_UNIT");
  m_pColorSlider = MakeSlider(IDC_QUALITY_COLOR_SLIDER, "IDC_QUALITY_COLOR_SLIDER", m_pColorLabel->text(),
                              kMinColorPortion, kMaxColorPortion);
  m_pColorMin = MakeLabel(QStringLiteral("1%"), IDC_QUALITY_COLOR_MIN, "IDC_QUALITY_COLOR_MIN");
  m_pColorMax = MakeLabel(QStringLiteral("40%"), IDC_QUALITY_COLOR_MAX, "IDC_QUALITY_COLOR_MAX");
  m_pDownsampling = Named(new QCheckBox(QStringLiteral("Color Downsampling")), IDC_QUALITY_DOWNSAMPLING,
                          "IDC_QUALITY_DOWNSAMPLING", QStringLiteral("Color Downsampling"));
  m_pOpenAfterSaving = Named(new QCheckBox(QStringLiteral("Open after saving")), IDC_OPEN_AFTER_SAVING,
                             "IDC_OPEN_AFTER_SAVING", QStringLiteral("Open after saving"));

  m_pPreviewGroup = Named(new QGroupBox, IDC_QUALITY_PREVIEW_GROUP, "IDC_QUALITY_PREVIEW_GROUP",
                          QStringLiteral("Preview"));
  m_pShowPreview = Named(new QCheckBox(QStringLiteral("Preview ")), IDC_QUALITY_SHOW_PREVIEW,
                         "IDC_QUALITY_SHOW_PREVIEW", QStringLiteral("Preview "));
  m_pPane = new CQualityPreviewPane;
  m_pPane->setFixedSize(kPaneInsideWidth + 2 * m_pPane->frameWidth(),
                        kPaneInsideHeight + 2 * m_pPane->frameWidth());
  m_pZoomIn = MakeButton(QStringLiteral("+"), IDC_QUALITY_ZOOM_IN, "IDC_QUALITY_ZOOM_IN");
  m_pZoomOut = MakeButton(QStringLiteral("--"), IDC_QUALITY_ZOOM_OUT, "IDC_QUALITY_ZOOM_OUT");
  for (QPushButton* button : {m_pZoomIn, m_pZoomOut}) {
    button->setFixedSize(kZoomButtonSize, kZoomButtonSize);
    button->setAutoDefault(false);
  }
  m_pShowOriginal = Named(new QRadioButton(QStringLiteral("Original")), IDC_QUALITY_SHOW_ORIGINAL,
                          "IDC_QUALITY_SHOW_ORIGINAL", QStringLiteral("Original"));
  m_pShowCompressed = Named(new QRadioButton(QStringLiteral("Compressed")), IDC_QUALITY_SHOW_COMPRESSED,
                            "IDC_QUALITY_SHOW_COMPRESSED", QStringLiteral("Compressed"));
}

void CQualityDlg::createLayout() {
  auto* qualityLabel = MakeLabel(QStringLiteral("Quality Factor"));
  qualityLabel->setBuddy(m_pQualityEdit);

  auto* settingsFrame = new QGroupBox;
  auto* settings = new QGridLayout(settingsFrame);
  settings->setColumnStretch(1, 1);
  settings->setVerticalSpacing(8);
  settings->addWidget(qualityLabel, 0, 0, 1, 2);
  settings->addWidget(m_pQualityEdit, 0, 2, Qt::AlignRight);
  settings->addWidget(MakeLabel(QStringLiteral("Low")), 1, 0);
  settings->addWidget(m_pQualitySlider, 1, 1);
  settings->addWidget(MakeLabel(QStringLiteral("High")), 1, 2);
  settings->setRowMinimumHeight(2, 6);
  settings->addWidget(m_pFilterLabel, 3, 0, 1, 3);
  settings->addWidget(m_pFilter, 4, 0, 1, 3);
  settings->setRowMinimumHeight(5, 6);
  auto* colorPortion = new QHBoxLayout;
  colorPortion->addWidget(m_pColorLabel, 1);
  colorPortion->addWidget(m_pColorEdit);
  colorPortion->addWidget(m_pColorUnit);
  settings->addLayout(colorPortion, 6, 0, 1, 3);
  settings->addWidget(m_pColorMin, 7, 0);
  settings->addWidget(m_pColorSlider, 7, 1);
  settings->addWidget(m_pColorMax, 7, 2);
  settings->addWidget(m_pDownsampling, 8, 0, 1, 3);
  for (int spacer : {2, 5})
    settings->setRowStretch(spacer, 1);

  auto* zoom = new QVBoxLayout;
  zoom->addWidget(m_pZoomIn);
  zoom->addWidget(m_pZoomOut);
  zoom->addStretch(1);
  auto* paneRow = new QHBoxLayout;
  paneRow->addWidget(m_pPane);
  paneRow->addLayout(zoom);
  auto* radios = new QHBoxLayout;
  radios->addWidget(m_pShowOriginal);
  radios->addWidget(m_pShowCompressed);
  radios->addStretch(1);
  auto* preview = new QVBoxLayout(m_pPreviewGroup);
  preview->addWidget(m_pShowPreview);
  preview->addLayout(paneRow);
  preview->addLayout(radios);

  auto* top = new QHBoxLayout;
  top->setSpacing(16);
  top->addWidget(settingsFrame, 1);
  top->addWidget(m_pPreviewGroup);

  QPushButton* save = MakeButton(QStringLiteral("Save"), IDOK, "IDOK");
  QPushButton* previewButton = MakeButton(QStringLiteral("Preview"), IDC_QUALITY_PREVIEW, "IDC_QUALITY_PREVIEW");
  QPushButton* cancel = MakeButton(QStringLiteral("Cancel"), IDCANCEL, "IDCANCEL");
  QPushButton* help = MakeButton(QStringLiteral("Help"), ID_HELP, "ID_HELP");
  save->setDefault(true);
  connect(save, &QPushButton::clicked, this, &CQualityDlg::OnSave);
  connect(previewButton, &QPushButton::clicked, this, &CQualityDlg::OnPreviewButton);
  connect(cancel, &QPushButton::clicked, this, &CQualityDlg::reject);
  connect(help, &QPushButton::clicked, this, &CQualityDlg::OnHelp);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(m_pOpenAfterSaving);
  buttons->addStretch(1);
  for (QPushButton* button : {save, previewButton, cancel, help})
    buttons->addWidget(button);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(12);
  layout->addLayout(top);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CQualityDlg::connectControls() {
  connect(m_pQualitySlider, &QSlider::valueChanged, this, &CQualityDlg::OnQualitySlider);
  connect(m_pColorSlider, &QSlider::valueChanged, this, &CQualityDlg::OnColorSlider);
  connect(m_pQualityEdit, &QLineEdit::editingFinished, this, &CQualityDlg::OnQualityEdited);
  connect(m_pColorEdit, &QLineEdit::editingFinished, this, &CQualityDlg::OnColorPortionEdited);
  connect(m_pFilter, &QComboBox::activated, this, &CQualityDlg::OnFilterChosen);
  connect(m_pDownsampling, &QCheckBox::clicked, this, &CQualityDlg::OnDownsamplingClicked);
  connect(m_pShowPreview, &QCheckBox::clicked, this, &CQualityDlg::OnShowPreviewClicked);
  connect(m_pShowOriginal, &QRadioButton::clicked, this, &CQualityDlg::OnPreviewImageClicked);
  connect(m_pShowCompressed, &QRadioButton::clicked, this, &CQualityDlg::OnPreviewImageClicked);
  connect(m_pZoomIn, &QPushButton::clicked, this, [this] { OnZoom(kZoomInFactor); });
  connect(m_pZoomOut, &QPushButton::clicked, this, [this] { OnZoom(kZoomOutFactor); });
  connect(m_pPane, &CQualityPreviewPane::dragged, this, &CQualityDlg::OnPaneDragged);
}

// ---------------------------------------------------------------- opening and closing

void CQualityDlg::showEvent(QShowEvent* event) {
  if (!event->spontaneous())
    OnInitDialog();
  QDialog::showEvent(event);
}

void CQualityDlg::hideEvent(QHideEvent* event) {
  if (!event->spontaneous())
    OnDestroy();
  QDialog::hideEvent(event);
}

void CQualityDlg::OnInitDialog() {
  m_dQuality = std::clamp(m_dQuality, double(kMinQuality), double(kMaxQuality));
  m_nColorPortion = std::clamp<uint32_t>(m_nColorPortion, kMinColorPortion, kMaxColorPortion);
  if (m_nFilterChoice < kFirstFilterChoice || m_nFilterChoice >= kFirstFilterChoice + m_pFilter->count())
    m_nFilterChoice = 12;
  {
    const QSignalBlocker blocker(m_pFilter);
    m_pFilter->setCurrentIndex(m_nFilterChoice - kFirstFilterChoice);
  }
  m_nLastQuality = static_cast<int>(m_dQuality);
  m_nLastColorPortion = static_cast<int>(m_nColorPortion);
  m_nLastFilterChoice = m_nFilterChoice;
  ApplyRowToDownsampling(false);
  const bool colour = m_nImageBits != 8;
  for (QWidget* control : std::initializer_list<QWidget*>{m_pColorEdit, m_pColorSlider, m_pColorLabel, m_pColorUnit,
                                                          m_pColorMin, m_pColorMax})
    control->setEnabled(colour);
  WriteControls();
  m_pQualityEdit->setFocus();
  m_pQualityEdit->selectAll();
  SetUpPreview();
}

// The window is going: the work image and the image's pixel buffer go too.
void CQualityDlg::OnDestroy() {
  m_pWork.reset();
  if (m_pPane)
    m_pPane->SetImage(nullptr, QRect());
  FreeImagePixels();
}

// ---------------------------------------------------------------- controls <-> members

void CQualityDlg::ReadControls() {
  m_dQuality = ClampedEditValue(m_pQualityEdit, static_cast<int>(m_dQuality), kMinQuality, kMaxQuality);
  m_nColorPortion = static_cast<uint32_t>(
      ClampedEditValue(m_pColorEdit, static_cast<int>(m_nColorPortion), kMinColorPortion, kMaxColorPortion));
  m_bColorDownsampling = m_pDownsampling->isChecked() ? 1 : 0;
  m_bOpenAfterSaving = m_pOpenAfterSaving->isChecked() ? 1 : 0;
  m_strFilter = m_pFilter->FilterText(m_pFilter->currentIndex());
  m_bPreview = m_pShowPreview->isChecked() ? 1 : 0;
  m_nPreviewImage = m_pShowOriginal->isChecked() ? 0 : 1;
}

void CQualityDlg::WriteControls() {
  const int quality = static_cast<int>(m_dQuality);
  const int colorPortion = static_cast<int>(m_nColorPortion);
  const QSignalBlocker blockQualitySlider(m_pQualitySlider);
  const QSignalBlocker blockColorSlider(m_pColorSlider);
  m_pQualityEdit->setText(QString::number(quality));
  m_pQualitySlider->setValue(quality);
  m_pColorEdit->setText(QString::number(colorPortion));
  m_pColorSlider->setValue(colorPortion);
  m_pDownsampling->setChecked(m_bColorDownsampling != 0);
  m_pOpenAfterSaving->setChecked(m_bOpenAfterSaving != 0);
  m_pShowPreview->setChecked(m_bPreview != 0);
  (m_nPreviewImage == 0 ? m_pShowOriginal : m_pShowCompressed)->setChecked(true);
}

// A row that forces downsampling sets and locks the box; a free row frees
// it and shows the user's own choice (or, at opening, the setting).
void CQualityDlg::ApplyRowToDownsampling(bool restoreUserChoice) {
  if (FilterChoiceForcesDownsampling(m_nFilterChoice)) {
    m_bColorDownsampling = 1;
    m_pDownsampling->setEnabled(false);
  } else {
    if (restoreUserChoice)
      m_bColorDownsampling = m_bUserDownsampling;
    m_pDownsampling->setEnabled(true);
  }
  m_pDownsampling->setChecked(m_bColorDownsampling != 0);
}

// ---------------------------------------------------------------- settings handlers

void CQualityDlg::OnQualitySlider(int position) {
  ReadControls();
  m_dQuality = position;
  {
    const QSignalBlocker blocker(m_pQualityEdit);
    m_pQualityEdit->setText(QString::number(position));
  }
  if (position == m_nLastQuality)
    return;
  m_nLastQuality = position;
  SettingsChanged();
}

void CQualityDlg::OnColorSlider(int position) {
  ReadControls();
  m_nColorPortion = static_cast<uint32_t>(position);
  {
    const QSignalBlocker blocker(m_pColorEdit);
    m_pColorEdit->setText(QString::number(position));
  }
  if (position == m_nLastColorPortion)
    return;
  m_nLastColorPortion = position;
  SettingsChanged();
}

void CQualityDlg::OnQualityEdited() {
  ReadControls();
  WriteControls();
  const int quality = static_cast<int>(m_dQuality);
  if (quality == m_nLastQuality)
    return;
  m_nLastQuality = quality;
  SettingsChanged();
}

void CQualityDlg::OnColorPortionEdited() {
  ReadControls();
  WriteControls();
  const int colorPortion = static_cast<int>(m_nColorPortion);
  if (colorPortion == m_nLastColorPortion)
    return;
  m_nLastColorPortion = colorPortion;
  SettingsChanged();
}

void CQualityDlg::OnFilterChosen(int row) {
  ReadControls();
  m_nFilterChoice = row + kFirstFilterChoice;
  if (m_pDownsampling->isEnabled())
    m_bUserDownsampling = m_pDownsampling->isChecked() ? 1 : 0;
  ApplyRowToDownsampling(true);
  if (m_nFilterChoice == m_nLastFilterChoice)
    return;
  m_nLastFilterChoice = m_nFilterChoice;
  SettingsChanged();
}

void CQualityDlg::OnDownsamplingClicked() {
  ReadControls();
  SettingsChanged();
}

void CQualityDlg::SettingsChanged() {
  WriteControls();
  if (PreviewOn())
    ComputePreview();
  else
    DrawPreview();
}

void CQualityDlg::OnSave() {
  m_nFilterChoice = m_pFilter->currentIndex() + kFirstFilterChoice;
  ReadControls();
  accept();
}

void CQualityDlg::OnPreviewButton() {
  m_nFilterChoice = m_pFilter->currentIndex() + kFirstFilterChoice;
  ReadControls();
  reject();
  if (m_pDoc && m_pDoc->m_pView)
    QCoreApplication::postEvent(m_pDoc->m_pView, new QEvent(kShowPreviewEvent));
}

void CQualityDlg::OnHelp() {
  const CTXPhotoApp* app = CTXPhotoApp::Instance();
  const QString index = app ? app->m_strChmPath : QDir(HelpDirectory()).filePath(QStringLiteral("index.html"));
  if (!ShowHelp(index, HID_QUALITY_DIALOG, this))
    ShowHelpMissingMessage(this);
}

// ---------------------------------------------------------------- preview

// At opening: the zoom back at 1, the window centred, the pane computed
// when the preview is on. Images smaller than the quantizer's least window
// (or than the pane) get no preview.
void CQualityDlg::SetUpPreview() {
  m_dZoom = 1.0;
  m_pWork.reset();
  m_bPreviewPossible = 1;
  m_wMinWidth = 0;
  m_wMinHeight = 0;
  TXquantizerPreviewSize(m_nWidth, m_nHeight, m_nImageBits / 8, 1, 1, m_wMinWidth, m_wMinHeight);
  const QRect inside = m_pPane->contentsRect();
  m_nPaneWidth = inside.width();
  m_nPaneHeight = inside.height();
  m_wVisWidth = static_cast<uint16_t>(m_nPaneWidth);
  m_wVisHeight = static_cast<uint16_t>(m_nPaneHeight);
  m_wWorkWidth = std::max(m_wVisWidth, m_wMinWidth);
  m_wWorkHeight = std::max(m_wVisHeight, m_wMinHeight);
  // The image handed over must be the one the settings describe.
  const bool imageMatches = m_pImage && m_pImage->GetSize().cx == m_nWidth && m_pImage->GetSize().cy == m_nHeight &&
                            m_pImage->PixelBytesPerPixel() * 8 == m_nImageBits;
  if (!imageMatches || m_nWidth < m_wWorkWidth || m_nHeight < m_wWorkHeight) {
    DisablePreview();
    return;
  }
  for (QWidget* control : std::initializer_list<QWidget*>{m_pPreviewGroup, m_pPane, m_pShowPreview})
    control->setEnabled(true);
  m_nOriginX = (m_nWidth - m_nPaneWidth) / 2;
  m_nOriginY = (m_nHeight - m_nPaneHeight) / 2;
  m_pPane->SetDraggable(m_bPreview != 0);
  m_pShowOriginal->setEnabled(m_bPreview != 0);
  m_pShowCompressed->setEnabled(m_bPreview != 0);
  if (m_bPreview && MakeImagePixels()) {
    AllocateWork();
    return;
  }
  m_pZoomIn->setEnabled(false);
  m_pZoomOut->setEnabled(false);
  DrawPreview();
}

void CQualityDlg::DisablePreview() {
  m_bPreviewPossible = 0;
  m_pWork.reset();
  FreeImagePixels();
  for (QWidget* control : std::initializer_list<QWidget*>{m_pPreviewGroup, m_pPane, m_pShowPreview, m_pZoomIn,
                                                          m_pZoomOut, m_pShowOriginal, m_pShowCompressed})
    control->setEnabled(false);
  m_pPane->SetDraggable(false);
  DrawPreview();
}

// The whole image as pixels, once, when the preview goes on: every later
// recompute copies only its window from here.
bool CQualityDlg::MakeImagePixels() {
  const size_t needed = static_cast<size_t>(m_nWidth) * static_cast<size_t>(m_nHeight) * (m_nImageBits / 8);
  if (m_pImage->GetPixels() && m_pImage->GetPixelBytes() >= needed)
    return true;
  if (!m_pImage->MakePixels() || m_pImage->GetPixelBytes() < needed) {
    m_pImage->FreePixels();
    DisablePreview();
    return false;
  }
  m_bMadeImagePixels = true;
  return true;
}

void CQualityDlg::FreeImagePixels() {
  if (m_bMadeImagePixels && m_pImage)
    m_pImage->FreePixels();
  m_bMadeImagePixels = false;
}

// A new work image for the current zoom, then the pane computed.
void CQualityDlg::AllocateWork() {
  m_wVisWidth = static_cast<uint16_t>(m_nPaneWidth / m_dZoom);
  m_wVisHeight = static_cast<uint16_t>(m_nPaneHeight / m_dZoom);
  m_wWorkWidth = std::max(m_wVisWidth, m_wMinWidth);
  m_wWorkHeight = std::max(m_wVisHeight, m_wMinHeight);
  m_pWork.reset();
  auto work = std::unique_ptr<CDib>(new (std::nothrow) CDib(m_wWorkWidth, m_wWorkHeight, m_nImageBits));
  if (work) {
    work->m_nColorType = m_pImage->m_nColorType;
    work->SetPaletteDisplay(m_pImage->IsPaletteDisplay());
  }
  if (!work || !work->AllocPixels()) {
    DisablePreview();
    return;
  }
  m_pWork = std::move(work);
  m_bNewWork = 1;
  ComputePreview();
  EnableZoomButtons();
}

// Copies the window around the visible part out of the image, quantizes it
// when "Compressed" is shown and refreshes the work bitmap.
void CQualityDlg::ComputePreview() {
  if (!m_bPreviewPossible || !m_pWork)
    return;
  ReadControls();
  m_nFilterChoice = m_pFilter->currentIndex() + kFirstFilterChoice;
  int wavelet = -1;
  int codec = 0;
  MapFilterChoice(m_nFilterChoice, wavelet, codec);
  if (!m_bColorDownsampling)
    codec |= 0x80;
  m_nMarginX = WorkMargin(m_nOriginX, m_wWorkWidth, m_wVisWidth, m_nWidth);
  m_nMarginY = WorkMargin(m_nOriginY, m_wWorkHeight, m_wVisHeight, m_nHeight);
  CopyWorkWindow();
  const int bytesPerPixel = m_nImageBits / 8;
  if (m_nPreviewImage == 1 && wavelet >= 0)
    TXquantizerPreview(m_pWork->GetPixels(), m_wWorkWidth, m_wWorkHeight, bytesPerPixel,
                       static_cast<long>(m_wWorkWidth) * bytesPerPixel, 0, wavelet, codec,
                       QuantizerPreviewValue(m_dQuality), 100 - static_cast<int>(m_nColorPortion));
  const int built = m_bNewWork ? m_pWork->CreateFromPixels(m_wWorkWidth, m_wWorkHeight, m_nImageBits)
                               : m_pWork->UpdateBitsFromPixels();
  m_bNewWork = 0;
  if (!built) {
    DisablePreview();
    return;
  }
  DrawPreview();
}

void CQualityDlg::CopyWorkWindow() {
  const size_t bytesPerPixel = static_cast<size_t>(m_nImageBits / 8);
  const size_t rowBytes = m_wWorkWidth * bytesPerPixel;
  const size_t imageRowBytes = static_cast<size_t>(m_nWidth) * bytesPerPixel;
  // The margins already keep the window inside; the clamp guards the copy.
  const int left = std::clamp(m_nOriginX - m_nMarginX, 0, m_nWidth - m_wWorkWidth);
  const int top = std::clamp(m_nOriginY - m_nMarginY, 0, m_nHeight - m_wWorkHeight);
  const BYTE* src = m_pImage->GetPixels() + static_cast<size_t>(top) * imageRowBytes + left * bytesPerPixel;
  BYTE* dst = m_pWork->GetPixels();
  for (int y = 0; y < m_wWorkHeight; ++y, src += imageRowBytes, dst += rowBytes)
    std::memcpy(dst, src, rowBytes);
}

// The visible part of the work image over the whole pane; the rows are
// counted from the bottom, as Draw counts them.
void CQualityDlg::DrawPreview() {
  if (!m_pPane)
    return;
  if (!m_bPreview || !m_pWork) {
    m_pPane->SetImage(nullptr, QRect());
    return;
  }
  const int bottom = m_wWorkHeight - m_nMarginY - m_wVisHeight;
  m_pPane->SetImage(m_pWork.get(), QRect(m_nMarginX, bottom, m_wVisWidth, m_wVisHeight));
}

bool CQualityDlg::ZoomAllowed(double zoom) const {
  return m_bPreviewPossible && QualityZoomAllowed(zoom, m_nWidth, m_nHeight, m_nPaneWidth, m_nPaneHeight);
}

void CQualityDlg::EnableZoomButtons() {
  m_pZoomIn->setEnabled(ZoomAllowed(m_dZoom * kZoomInFactor));
  m_pZoomOut->setEnabled(ZoomAllowed(m_dZoom * kZoomOutFactor));
}

// "+" and "--" keep the centre of the pane where it is.
void CQualityDlg::OnZoom(double factor) {
  if (!PreviewOn() || !ZoomAllowed(m_dZoom * factor))
    return;
  m_dZoom *= factor;
  const double back = factor == kZoomInFactor ? kZoomOutFactor : kZoomInFactor;
  m_nOriginX += static_cast<int>(m_wVisWidth - m_wVisWidth * back) / 2;
  m_nOriginY += static_cast<int>(m_wVisHeight - m_wVisHeight * back) / 2;
  m_nOriginX = ClampPreviewOrigin(m_nOriginX, m_wVisWidth, factor, m_nWidth);
  m_nOriginY = ClampPreviewOrigin(m_nOriginY, m_wVisHeight, factor, m_nHeight);
  AllocateWork();
}

void CQualityDlg::OnPaneDragged(int dx, int dy) {
  if (!PreviewOn() || !m_pWork)
    return;
  // Rounded to the nearest pixel in both directions: truncating would drop
  // every slow move to the left or upwards.
  m_nOriginX -= static_cast<int>(std::floor(dx / m_dZoom + 0.5));
  m_nOriginY -= static_cast<int>(std::floor(dy / m_dZoom + 0.5));
  m_nOriginX = ClampPreviewOrigin(m_nOriginX, m_wVisWidth, 1.0, m_nWidth);
  m_nOriginY = ClampPreviewOrigin(m_nOriginY, m_wVisHeight, 1.0, m_nHeight);
  ComputePreview();
}

void CQualityDlg::OnShowPreviewClicked() {
  ReadControls();
  if (!m_bPreviewPossible)
    return;
  const bool on = m_bPreview != 0;
  for (QWidget* control : std::initializer_list<QWidget*>{m_pZoomIn, m_pZoomOut, m_pShowOriginal, m_pShowCompressed})
    control->setEnabled(on);
  m_pPane->SetDraggable(on);
  if (on) {
    if (MakeImagePixels())
      AllocateWork();
    return;
  }
  m_pWork.reset();
  FreeImagePixels();
  DrawPreview();
}

void CQualityDlg::OnPreviewImageClicked() {
  ReadControls();
  if (PreviewOn())
    ComputePreview();
}
