#include "app/ColorTableWarningDlg.h"

#include "app/ControlIds.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "resources/Bitmaps.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

constexpr int kIconSize = 32;
constexpr int kTextWidth = 320;  // the message wraps to about this width
constexpr int kExitResult = -1;

const char kWarningText[] =
    "The color table of your device is too small, in order to ensure an optimal representation of the "
    "pictures.\n\nDo you want to continue? ";

QPushButton* MakeButton(const QString& text, int id, const char* symbol) {
  auto* button = new QPushButton(text);
  Identify(button, id, symbol);
  button->setAccessibleName(text);
  button->setAutoDefault(true);
  return button;
}

QLabel* MakeIcon(const QStyle* style) {
  QPixmap pixmap = WarningIcon().pixmap(kIconSize, kIconSize);
  if (pixmap.isNull())
    pixmap = style->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(kIconSize, kIconSize);
  auto* label = new QLabel;
  Identify(label, IDI_WARNING_ICON, "IDI_WARNING_ICON");
  label->setPixmap(pixmap);
  label->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
  return label;
}

}  // namespace

CColorTableWarningDlg::CColorTableWarningDlg(QWidget* parent) : QDialog(parent) {
  Identify(this, IDD_COLORTABLE_WARNING, "IDD_COLORTABLE_WARNING");
  setWindowTitle(LoadStringResource(AFX_IDS_APP_TITLE));

  auto* text = new QLabel(QString::fromLatin1(kWarningText));
  text->setWordWrap(true);
  text->setFixedWidth(kTextWidth);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);

  m_pShowAgain = new QCheckBox(QStringLiteral("Show this warning in future"));
  Identify(m_pShowAgain, IDC_SHOW_AGAIN, "IDC_SHOW_AGAIN");
  m_pShowAgain->setAccessibleName(m_pShowAgain->text());
  m_pShowAgain->setChecked(m_bShowAgain);

  QPushButton* exitButton = MakeButton(QStringLiteral("Exit"), IDC_EXIT, "IDC_EXIT");
  QPushButton* continueButton = MakeButton(QStringLiteral("Continue"), IDOK, "IDOK");
  continueButton->setDefault(true);
  connect(exitButton, &QPushButton::clicked, this, &CColorTableWarningDlg::onExit);
  connect(continueButton, &QPushButton::clicked, this, &CColorTableWarningDlg::onContinue);

  auto* message = new QVBoxLayout;
  message->addWidget(text);
  message->addSpacing(12);
  message->addWidget(m_pShowAgain);

  auto* body = new QHBoxLayout;
  body->setSpacing(16);
  body->addWidget(MakeIcon(style()), 0, Qt::AlignTop);
  body->addLayout(message, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(exitButton);
  buttons->addWidget(continueButton);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(16);
  layout->addLayout(body);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
  continueButton->setFocus();
}

void CColorTableWarningDlg::onContinue() {
  m_bShowAgain = m_pShowAgain->isChecked() ? TRUE : FALSE;
  done(IDOK);
}

void CColorTableWarningDlg::onExit() {
  m_bShowAgain = m_pShowAgain->isChecked() ? TRUE : FALSE;
  done(kExitResult);
}

// Escape and the window's close button: the box stays unread.
void CColorTableWarningDlg::reject() { done(IDCANCEL); }
