#include "docview/ViewScaleDlg.h"

#include "app/ControlIds.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr int IDC_STATIC = -1;

struct ScaleButton {
  int id;
  const char* symbol;
  const char* text;
  double zoom;  // 0 for "User defined:"
};

constexpr ScaleButton kButtons[] = {
    {IDC_SCALE_200, "IDC_SCALE_200", "&200 %", 2.0},   {IDC_SCALE_100, "IDC_SCALE_100", "&100 %", 1.0},
    {IDC_SCALE_75, "IDC_SCALE_75", "&75 %", 0.75},     {IDC_SCALE_50, "IDC_SCALE_50", "&50 %", 0.5},
    {IDC_SCALE_25, "IDC_SCALE_25", "2&5 %", 0.25},     {IDC_SCALE_USER, "IDC_SCALE_USER", "&User defined:", 0.0},
};

// The framework's texts for a field that must hold an integer.
const char kNotAnInteger[] = "Please enter an integer.";
const char kIntegerRange[] = "Please enter an integer between %1 and %2.";

QString WithoutMnemonic(const char* text) { return QString::fromLatin1(text).remove(QLatin1Char('&')); }

}  // namespace

CViewScaleDlg::CViewScaleDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_VIEW_SCALE, "IDD_VIEW_SCALE");
  setWindowTitle(QStringLiteral("View Scale"));

  auto* group = new QGroupBox(QStringLiteral(" Zoom in/-out "));
  Identify(group, IDC_STATIC, "IDC_STATIC");
  group->setAccessibleName(group->title().trimmed());
  auto* grid = new QGridLayout(group);
  m_pChoices = new QButtonGroup(this);
  for (int i = 0; i < int(std::size(kButtons)); ++i) {
    auto* radio = new QRadioButton(QString::fromLatin1(kButtons[i].text));
    Identify(radio, kButtons[i].id, kButtons[i].symbol);
    radio->setAccessibleName(WithoutMnemonic(kButtons[i].text));
    m_pChoices->addButton(radio, i);
    grid->addWidget(radio, i, 0);
  }
  m_pPercent = new QLineEdit;
  Identify(m_pPercent, IDC_SCALE_PERCENT, "IDC_SCALE_PERCENT");
  m_pPercent->setAccessibleName(WithoutMnemonic(kButtons[ScaleUser].text));
  m_pPercent->setMaxLength(6);
  m_pPercent->setFixedWidth(m_pPercent->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
  auto* unit = new QLabel(QStringLiteral("%"));
  Identify(unit, IDC_STATIC, "IDC_STATIC");
  unit->setAccessibleName(unit->text());
  grid->addWidget(m_pPercent, ScaleUser, 1);
  grid->addWidget(unit, ScaleUser, 2);
  grid->setColumnStretch(3, 1);

  auto* buttons = new QDialogButtonBox(Qt::Vertical);
  QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
  QPushButton* cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  Identify(ok, IDOK, "IDOK");
  Identify(cancel, IDCANCEL, "IDCANCEL");
  ok->setAccessibleName(ok->text());
  cancel->setAccessibleName(cancel->text());
  ok->setDefault(true);
  connect(buttons, &QDialogButtonBox::accepted, this, &CViewScaleDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CViewScaleDlg::reject);

  auto* layout = new QHBoxLayout(this);
  layout->addWidget(group, 1);
  layout->addWidget(buttons, 0, Qt::AlignTop);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CViewScaleDlg::showEvent(QShowEvent* event) {
  const int choice = std::clamp(m_nScaleChoice, int(Scale200), int(ScaleUser));
  m_pChoices->button(choice)->setChecked(true);
  m_pPercent->setText(QString::number(m_nPercent));
  if (choice == ScaleUser) {
    m_pPercent->setFocus();
    m_pPercent->selectAll();
  }
  QDialog::showEvent(event);
}

bool CViewScaleDlg::readPercent() {
  bool isNumber = false;
  const int percent = m_pPercent->text().trimmed().toInt(&isNumber);
  QString problem;
  if (!isNumber)
    problem = QString::fromLatin1(kNotAnInteger);
  else if (percent < kMinPercent || percent > kMaxPercent)
    problem = QString::fromLatin1(kIntegerRange).arg(kMinPercent).arg(kMaxPercent);
  if (!problem.isEmpty()) {
    QMessageBox::warning(this, LoadStringResource(AFX_IDS_APP_TITLE), problem);
    m_pPercent->setFocus();
    m_pPercent->selectAll();
    return false;
  }
  m_nPercent = percent;
  return true;
}

void CViewScaleDlg::accept() {
  const int choice = m_pChoices->checkedId();
  if (choice < 0)
    return;
  if (choice == ScaleUser && !readPercent())
    return;
  m_nScaleChoice = choice;
  QDialog::accept();
}

double CViewScaleDlg::Zoom() const {
  const int choice = std::clamp(m_nScaleChoice, int(Scale200), int(ScaleUser));
  if (choice != ScaleUser)
    return kButtons[choice].zoom;
  return std::clamp(m_nPercent * 0.01, kMinPercent * 0.01, kMaxPercent * 0.01);
}
