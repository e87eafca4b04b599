#include "compression/FileSizeDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <optional>

#include "app/ControlIds.h"
#include "app/HelpWindow.h"
#include "app/PrivateMessages.h"
#include "app/TXPhotoApp.h"
#include "compression/ColumnComboBox.h"
#include "compression/CompressionSettings.h"
#include "docview/TXPhotoDoc.h"
#include "docview/TXPhotoView.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr int kMinRatioPosition = 45;   // floor(sqrt(2000) + 0.5): ratio 2
constexpr int kMaxRatioPosition = 447;  // floor(sqrt(200000) + 0.5): ratio 200
constexpr int kMinColorPortion = 1;
constexpr int kMaxColorPortion = 40;
constexpr double kMaxBitsPerPixel = 24.0;
constexpr int kRowCount = 5;  // rows 0..4
constexpr int kEditWidth = 90;
constexpr int kSmallEditWidth = 36;
constexpr int kSliderWidth = 220;

// The dialog framework's own validation messages.
const char kParseUnsigned[] = "Please enter a positive integer.";
const char kParseNumber[] = "Please enter a number.";
const char kNumberRange[] = "Please enter a number between %1 and %2.";

const char kStandard[] = "Standard Embedded Progressive";
const char kFast[] = "Fast Embedded Progressive";
const std::array<std::pair<const char*, const char*>, kRowCount> kRows = {{
    {"5/3 Tap Filter", kFast},
    {"9/7 Tap Filter", kStandard},
    {"9/7 Tap Filter", kFast},
    {"18/10 Tap Filter", kStandard},
    {"Mixed Filter", kStandard},
}};

// Typing refuses anything but digits, like a number-only edit control. The
// validator keeps pasted text to digits too, but still lets a ratio the
// dialog computed ("26.21") be edited.
class DigitKeys : public QObject {
public:
  using QObject::QObject;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::KeyPress) {
      const auto* key = static_cast<QKeyEvent*>(event);
      const QString text = key->text();
      const bool command = key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
      if (!command && text.size() == 1 && text.at(0).isPrint() && !(text.at(0) >= '0' && text.at(0) <= '9')) {
        return true;
      }
    }
    return QObject::eventFilter(watched, event);
  }
};

// The controls, found by their symbols.
struct Controls {
  explicit Controls(const CFileSizeDlg& dlg)
      : fileSize(dlg.findChild<QLineEdit*>("IDC_FILESIZE_BYTES")),
        ratio(dlg.findChild<QLineEdit*>("IDC_FILESIZE_RATIO")),
        bitsPerPixel(dlg.findChild<QLineEdit*>("IDC_FILESIZE_BITS_PER_PIXEL")),
        colorPortion(dlg.findChild<QLineEdit*>("IDC_FILESIZE_COLOR_PORTION")),
        compression(dlg.findChild<QSlider*>("IDC_FILESIZE_COMPRESSION_SLIDER")),
        colorSlider(dlg.findChild<QSlider*>("IDC_FILESIZE_COLOR_SLIDER")),
        downsampling(dlg.findChild<QCheckBox*>("IDC_FILESIZE_DOWNSAMPLING")),
        openAfterSaving(dlg.findChild<QCheckBox*>("IDC_OPEN_AFTER_SAVING")),
        filter(dlg.findChild<CColumnComboBox*>("IDC_FILESIZE_FILTER")) {}

  // Handlers change controls themselves: none of that may call a handler
  // again, nor may the focus moves of a message box.
  std::array<QSignalBlocker, 9> Block() const {
    return {QSignalBlocker(fileSize),    QSignalBlocker(ratio),       QSignalBlocker(bitsPerPixel),
            QSignalBlocker(colorPortion), QSignalBlocker(compression), QSignalBlocker(colorSlider),
            QSignalBlocker(downsampling), QSignalBlocker(openAfterSaving), QSignalBlocker(filter)};
  }

  QLineEdit* fileSize;
  QLineEdit* ratio;
  QLineEdit* bitsPerPixel;
  QLineEdit* colorPortion;
  QSlider* compression;
  QSlider* colorSlider;
  QCheckBox* downsampling;
  QCheckBox* openAfterSaving;
  CColumnComboBox* filter;
};

// Doubles are shown with 15 significant digits, so 26.21 reads "26.21".
QString FormatDouble(double value) { return QString::number(value, 'g', 15); }

void Complain(QWidget* dlg, QLineEdit* edit, const QString& text) {
  QMessageBox::warning(dlg, LoadStringResource(AFX_IDS_APP_TITLE), text);
  edit->setFocus();
  edit->selectAll();
}

std::optional<uint32_t> ReadUnsigned(QWidget* dlg, QLineEdit* edit) {
  bool ok = false;
  const uint32_t value = edit->text().trimmed().toUInt(&ok);
  if (!ok)
    Complain(dlg, edit, QString::fromLatin1(kParseUnsigned));
  return ok ? std::optional<uint32_t>(value) : std::nullopt;
}

std::optional<double> ReadDouble(QWidget* dlg, QLineEdit* edit) {
  bool ok = false;
  const double value = edit->text().trimmed().toDouble(&ok);
  if (!ok)
    Complain(dlg, edit, QString::fromLatin1(kParseNumber));
  return ok ? std::optional<double>(value) : std::nullopt;
}

// Controls -> members, stopping at the first entry that is no number (that
// member and the later ones keep their values). Bits per pixel are read
// last and checked against 0..24 after they have been stored. False when
// any message was shown.
bool ReadAll(CFileSizeDlg& dlg, const Controls& c) {
  const std::optional<uint32_t> fileSize = ReadUnsigned(&dlg, c.fileSize);
  if (!fileSize)
    return false;
  dlg.m_nFileSize = *fileSize;
  const std::optional<double> ratio = ReadDouble(&dlg, c.ratio);
  if (!ratio)
    return false;
  dlg.m_dRatio = *ratio;
  const std::optional<uint32_t> portion = ReadUnsigned(&dlg, c.colorPortion);
  if (!portion)
    return false;
  dlg.m_nColorPortion = *portion;
  dlg.m_bColorDownsampling = c.downsampling->isChecked();
  dlg.m_bOpenAfterSaving = c.openAfterSaving->isChecked();
  const std::optional<double> bits = ReadDouble(&dlg, c.bitsPerPixel);
  if (!bits)
    return false;
  dlg.m_dBitsPerPixel = *bits;
  if (!(*bits >= 0.0 && *bits <= kMaxBitsPerPixel)) {
    Complain(&dlg, c.bitsPerPixel, QString::fromLatin1(kNumberRange).arg(0).arg(kMaxBitsPerPixel));
    return false;
  }
  return true;
}

// Members -> controls (the sliders are moved by the handlers that move them).
void WriteAll(const CFileSizeDlg& dlg, const Controls& c) {
  c.fileSize->setText(QString::number(dlg.m_nFileSize));
  c.ratio->setText(FormatDouble(dlg.m_dRatio));
  c.bitsPerPixel->setText(FormatDouble(dlg.m_dBitsPerPixel));
  c.colorPortion->setText(QString::number(dlg.m_nColorPortion));
  c.downsampling->setChecked(dlg.m_bColorDownsampling != 0);
  c.openAfterSaving->setChecked(dlg.m_bOpenAfterSaving != 0);
}

void TakeValues(CFileSizeDlg& dlg, const FileSizeValues& values) {
  dlg.m_nFileSize = values.fileSize;
  dlg.m_dRatio = values.ratio;
  dlg.m_dBitsPerPixel = values.bitsPerPixel;
}

// A forced row checks and greys the downsampling box; a free row shows
// m_bColorDownsampling in an enabled box.
void ShowDownsamplingForRow(CFileSizeDlg& dlg, const Controls& c, int row) {
  const bool forced = FilterChoiceForcesDownsampling(row);
  if (forced)
    dlg.m_bColorDownsampling = 1;
  c.downsampling->setEnabled(!forced);
  c.downsampling->setChecked(dlg.m_bColorDownsampling != 0);
}

QLabel* Label(const char* text, QWidget* buddy) {
  auto* label = new QLabel(QString::fromLatin1(text));
  label->setBuddy(buddy);
  buddy->setAccessibleName(label->text());
  return label;
}

QLabel* Label(const char* text, int id, const char* symbol) {
  auto* label = new QLabel(QString::fromLatin1(text));
  Identify(label, id, symbol);
  label->setAccessibleName(label->text());
  return label;
}

QLineEdit* Edit(int id, const char* symbol, const char* pattern, int width) {
  auto* edit = new QLineEdit;
  Identify(edit, id, symbol);
  edit->setFixedWidth(width);
  edit->setAlignment(Qt::AlignRight);
  if (pattern)
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QString::fromLatin1(pattern)), edit));
  return edit;
}

QSlider* Slider(int id, const char* symbol, int low, int high) {
  auto* slider = new QSlider(Qt::Horizontal);
  Identify(slider, id, symbol);
  slider->setRange(low, high);
  slider->setTickPosition(QSlider::TicksBelow);
  slider->setTickInterval(std::max(1, (high - low) / 10));
  slider->setPageStep(std::max(1, (high - low) / 10));
  slider->setMinimumWidth(kSliderWidth);
  return slider;
}

QCheckBox* CheckBox(const char* text, int id, const char* symbol) {
  auto* box = new QCheckBox(QString::fromLatin1(text));
  Identify(box, id, symbol);
  box->setAccessibleName(box->text());
  return box;
}

QPushButton* Button(const char* text, int id, const char* symbol) {
  auto* button = new QPushButton(QString::fromLatin1(text));
  Identify(button, id, symbol);
  button->setAccessibleName(button->text());
  return button;
}

QHBoxLayout* Row(std::initializer_list<QWidget*> widgets, bool stretch = true) {
  auto* row = new QHBoxLayout;
  for (QWidget* widget : widgets)
    row->addWidget(widget);
  if (stretch)
    row->addStretch(1);
  return row;
}

// ---------------------------------------------------------------- handlers

// Runs a handler unless the dialog is already closing (its edits lose the
// focus then) and with every control's signals held.
template <class Handler>
void Handle(CFileSizeDlg& dlg, Handler handler) {
  if (!dlg.isVisible())
    return;
  const Controls c(dlg);
  const auto blockers = c.Block();
  handler(c);
}

void OnRatioSlider(CFileSizeDlg& dlg, int position) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    TakeValues(dlg, FromRatioSlider(position, dlg.m_nRawSize, dlg.m_nImageBits));
    WriteAll(dlg, c);
  });
}

void OnFileSizeEdited(CFileSizeDlg& dlg) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    TakeValues(dlg, FromFileSize(dlg.m_nFileSize, dlg.m_nRawSize, dlg.m_nImageBits));
    WriteAll(dlg, c);
    c.compression->setValue(RatioSliderPosition(dlg.m_dRatio));
  });
}

void OnRatioEdited(CFileSizeDlg& dlg) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    TakeValues(dlg, FromRatio(dlg.m_dRatio, dlg.m_nRawSize, dlg.m_nImageBits));
    WriteAll(dlg, c);
    c.compression->setValue(RatioSliderPosition(dlg.m_dRatio));
  });
}

// An entry outside 0..24 has been reported by ReadAll; the rule below then
// pulls it to the nearest limit.
void OnBitsPerPixelEdited(CFileSizeDlg& dlg) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    TakeValues(dlg, FromBitsPerPixel(dlg.m_dBitsPerPixel, dlg.m_nRawSize, dlg.m_nImageBits));
    WriteAll(dlg, c);
    c.compression->setValue(RatioSliderPosition(dlg.m_dRatio));
  });
}

void OnColorSlider(CFileSizeDlg& dlg, int position) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    dlg.m_nColorPortion = static_cast<uint32_t>(position);
    WriteAll(dlg, c);
  });
}

void OnColorPortionEdited(CFileSizeDlg& dlg) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    dlg.m_nColorPortion = std::clamp<uint32_t>(dlg.m_nColorPortion, kMinColorPortion, kMaxColorPortion);
    WriteAll(dlg, c);
    c.colorSlider->setValue(static_cast<int>(dlg.m_nColorPortion));
  });
}

// The user's own choice is kept while a forced row holds the box.
void OnRowChosen(CFileSizeDlg& dlg, int row) {
  Handle(dlg, [&](const Controls& c) {
    ReadAll(dlg, c);
    if (c.downsampling->isEnabled())
      dlg.m_bUserDownsampling = c.downsampling->isChecked();
    if (!FilterChoiceForcesDownsampling(row))
      dlg.m_bColorDownsampling = dlg.m_bUserDownsampling;
    ShowDownsamplingForRow(dlg, c, row);
    WriteAll(dlg, c);
  });
}

// "Save" and "Preview": the row becomes the setting, then the controls are
// read; a bad entry keeps the dialog open.
bool TakeSettings(CFileSizeDlg& dlg) {
  bool ok = false;
  Handle(dlg, [&](const Controls& c) {
    dlg.m_nFilterChoice = c.filter->currentIndex();
    ok = ReadAll(dlg, c);
  });
  return ok;
}

void OnPreview(CFileSizeDlg& dlg) {
  if (!TakeSettings(dlg))
    return;
  dlg.reject();
  if (dlg.m_pDoc && dlg.m_pDoc->m_pView)
    QCoreApplication::postEvent(dlg.m_pDoc->m_pView, new QEvent(kShowPreviewEvent));
}

void OnHelp(CFileSizeDlg& dlg) {
  const CTXPhotoApp* app = CTXPhotoApp::Instance();
  if (!app || !ShowHelp(app->m_strChmPath, HID_FILESIZE_DIALOG, &dlg))
    ShowHelpMissingMessage(&dlg);
}

}  // namespace

CFileSizeDlg::CFileSizeDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_FILESIZE, "IDD_FILESIZE");
  setWindowTitle(QStringLiteral("File Size"));
  setAccessibleName(windowTitle());

  auto* digits = new DigitKeys(this);
  QLineEdit* fileSize = Edit(IDC_FILESIZE_BYTES, "IDC_FILESIZE_BYTES", "[0-9]{1,10}", kEditWidth);
  QLineEdit* ratio = Edit(IDC_FILESIZE_RATIO, "IDC_FILESIZE_RATIO", "[0-9]{1,3}(\\.[0-9]{1,15})?", kEditWidth);
  QLineEdit* bitsPerPixel = Edit(IDC_FILESIZE_BITS_PER_PIXEL, "IDC_FILESIZE_BITS_PER_PIXEL", nullptr, kEditWidth);
  QLineEdit* colorPortion =
      Edit(IDC_FILESIZE_COLOR_PORTION, "IDC_FILESIZE_COLOR_PORTION", "[0-9]{1,3}", kSmallEditWidth);
  for (QLineEdit* edit : {fileSize, ratio, colorPortion})
    edit->installEventFilter(digits);

  QSlider* compression = Slider(IDC_FILESIZE_COMPRESSION_SLIDER, "IDC_FILESIZE_COMPRESSION_SLIDER",
                                kMinRatioPosition, kMaxRatioPosition);
  QSlider* colorSlider = Slider(IDC_FILESIZE_COLOR_SLIDER, "IDC_FILESIZE_COLOR_SLIDER", kMinColorPortion,
                                kMaxColorPortion);
  colorSlider->setTickInterval(5);
  colorSlider->setPageStep(5);

  auto* filter = new CColumnComboBox;
  Identify(filter, IDC_FILESIZE_FILTER, "IDC_FILESIZE_FILTER");
  filter->SetAbbreviationSet(1);
  for (const auto& [filterText, layerText] : kRows)
    filter->AddRow(QString::fromLatin1(filterText), QString::fromLatin1(layerText));

  QCheckBox* downsampling = CheckBox("Color Downsampling", IDC_FILESIZE_DOWNSAMPLING, "IDC_FILESIZE_DOWNSAMPLING");
  QCheckBox* openAfter = CheckBox("Open after saving", IDC_OPEN_AFTER_SAVING, "IDC_OPEN_AFTER_SAVING");

  QPushButton* save = Button("Save", IDOK, "IDOK");
  QPushButton* preview = Button("Preview", IDC_FILESIZE_PREVIEW, "IDC_FILESIZE_PREVIEW");
  QPushButton* cancel = Button("Cancel", IDCANCEL, "IDCANCEL");
  QPushButton* help = Button("Help", ID_HELP, "ID_HELP");
  save->setDefault(true);

  QLabel* colorLabel = Label("Color Portion:", IDC_FILESIZE_COLOR_LABEL, "IDC_FILESIZE_COLOR_LABEL");
  colorLabel->setBuddy(colorPortion);
  colorPortion->setAccessibleName(colorLabel->text());
  colorSlider->setAccessibleName(colorLabel->text());

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(8);
  grid->addWidget(Label("File Size in Byte:", fileSize), 0, 0);
  grid->addLayout(Row({fileSize}), 0, 1);
  grid->addWidget(Label("Compression Ratio:", ratio), 1, 0);
  grid->addLayout(Row({ratio}), 1, 1);
  grid->addWidget(Label("Bit per Pixel:", bitsPerPixel), 2, 0);
  grid->addLayout(Row({bitsPerPixel}), 2, 1);
  grid->addWidget(Label("Compression:", compression), 3, 0);
  grid->addLayout(Row({new QLabel(QStringLiteral("Low")), compression, new QLabel(QStringLiteral("High"))}, false),
                  3, 1);
  grid->addWidget(Label("Filter:", filter), 4, 0);
  grid->addWidget(filter, 4, 1);
  grid->addWidget(colorLabel, 5, 0);
  QHBoxLayout* colorRow = Row({colorPortion, Label("%", IDC_FILESIZE_COLOR_UNIT, "IDC_FILESIZE_COLOR_UNIT")}, false);
  colorRow->addSpacing(12);
  colorRow->addWidget(Label("1%", IDC_FILESIZE_COLOR_MIN, "IDC_FILESIZE_COLOR_MIN"));
  colorRow->addWidget(colorSlider, 1);
  colorRow->addWidget(Label("40%", IDC_FILESIZE_COLOR_MAX, "IDC_FILESIZE_COLOR_MAX"));
  grid->addLayout(colorRow, 5, 1);
  grid->addWidget(downsampling, 6, 1);
  grid->addWidget(openAfter, 7, 1);

  auto* buttons = new QVBoxLayout;
  for (QPushButton* button : {save, preview, cancel, help})
    buttons->addWidget(button);
  buttons->addStretch(1);

  auto* layout = new QHBoxLayout(this);
  layout->setSpacing(16);
  layout->addLayout(grid);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(compression, &QSlider::valueChanged, this, [this](int p) { OnRatioSlider(*this, p); });
  connect(fileSize, &QLineEdit::editingFinished, this, [this] { OnFileSizeEdited(*this); });
  connect(ratio, &QLineEdit::editingFinished, this, [this] { OnRatioEdited(*this); });
  connect(bitsPerPixel, &QLineEdit::editingFinished, this, [this] { OnBitsPerPixelEdited(*this); });
  connect(colorSlider, &QSlider::valueChanged, this, [this](int p) { OnColorSlider(*this, p); });
  connect(colorPortion, &QLineEdit::editingFinished, this, [this] { OnColorPortionEdited(*this); });
  connect(filter, &QComboBox::activated, this, [this](int row) { OnRowChosen(*this, row); });
  connect(save, &QPushButton::clicked, this, [this] {
    if (TakeSettings(*this))
      accept();
  });
  connect(preview, &QPushButton::clicked, this, [this] { OnPreview(*this); });
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(help, &QPushButton::clicked, this, [this] { OnHelp(*this); });
}

CFileSizeDlg::~CFileSizeDlg() = default;

int CFileSizeDlg::DoModal() {
  const Controls c(*this);
  {
    const auto blockers = c.Block();
    WriteAll(*this, c);
    c.compression->setValue(RatioSliderPosition(m_dRatio));
    c.colorSlider->setValue(static_cast<int>(m_nColorPortion));
    const int row = std::clamp(m_nFilterChoice, 0, kRowCount - 1);
    c.filter->setCurrentIndex(row);
    const bool forced = FilterChoiceForcesDownsampling(row);
    c.downsampling->setEnabled(!forced);
    c.downsampling->setChecked(forced || m_bColorDownsampling != 0);
    const bool colour = m_nImageBits != 8;
    for (const char* symbol : {"IDC_FILESIZE_COLOR_PORTION", "IDC_FILESIZE_COLOR_SLIDER", "IDC_FILESIZE_COLOR_UNIT",
                               "IDC_FILESIZE_COLOR_LABEL", "IDC_FILESIZE_COLOR_MIN", "IDC_FILESIZE_COLOR_MAX"})
      if (QWidget* widget = findChild<QWidget*>(QString::fromLatin1(symbol)))
        widget->setEnabled(colour);
  }
  c.fileSize->setFocus();
  c.fileSize->selectAll();
  return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}
