#include "app/FileDialogEx.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QShowEvent>

#include "resources/resource.h"

namespace {

constexpr int kExtraHeight = 100;

// Gives one of Qt's own controls the symbol and id the rest of the program knows it by.
void TagControl(QWidget* control, const char* symbol, int id) {
  if (!control)
    return;
  control->setObjectName(QString::fromLatin1(symbol));
  control->setProperty("tavixId", id);
}

QString AccessibleText(const QLabel* label) {
  return label ? label->text().remove(QLatin1Char('&')) : QString();
}

// Qt reads the patterns of a filter from the parentheses at its end. "*.*"
// means every file, including those without a dot.
QString QtNameFilter(const QString& text, const QStringList& patterns) {
  QStringList qtPatterns;
  for (const QString& pattern : patterns)
    qtPatterns << (pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern);
  return text + QLatin1String(" (") + qtPatterns.join(QLatin1Char(' ')) + QLatin1Char(')');
}

}  // namespace

QString FileNameForType(const QString& fileName, const QString& filterDisplayText) {
  const qsizetype star = filterDisplayText.indexOf(QLatin1Char('*'));
  if (star < 0)
    return fileName;
  const qsizetype close = filterDisplayText.indexOf(QLatin1Char(')'), star + 1);
  const QString extension = filterDisplayText.mid(star + 1, close < 0 ? -1 : close - star - 1);
  if (fileName.isEmpty())
    return QLatin1Char('*') + extension;
  // Only the name itself changes: dots in a typed folder ("~/.cache/x") stay.
  const qsizetype nameStart = fileName.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = fileName.indexOf(QLatin1Char('.'), nameStart);
  return (dot < 0 ? fileName : fileName.left(dot)) + extension;
}

CFileDialogEx::CFileDialogEx(bool openFileDialog, const QString& defaultExtension, const QString& fileName,
                             int flags, const QString& filter, QWidget* parent)
    : QFileDialog(parent), m_bOpen(openFileDialog) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setAcceptMode(openFileDialog ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  SetFlags(flags);
  setDefaultSuffix(defaultExtension);
  tagControls();
  SetFilter(filter);
  if (!fileName.isEmpty())
    selectFile(fileName);
  connect(this, &QFileDialog::filterSelected, this, &CFileDialogEx::onTypeChange);
}

void CFileDialogEx::SetFlags(int flags) {
  if (m_bOpen)
    setFileMode((flags & OFN_ALLOWMULTISELECT) ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
  else
    setFileMode(QFileDialog::AnyFile);
  setOption(QFileDialog::DontConfirmOverwrite, !(flags & OFN_OVERWRITEPROMPT));
}

void CFileDialogEx::SetFilter(const QString& filter) {
  m_filters.clear();
  const QStringList parts = filter.split(QLatin1Char('|'));
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    if (parts[i].isEmpty())
      break;  // the "||" that ends the list
    m_filters.append({parts[i], parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)});
  }
  applyFilters();
}

void CFileDialogEx::applyFilters() {
  if (m_filters.isEmpty())
    return;
  QStringList nameFilters;
  for (const Filter& entry : m_filters)
    nameFilters << QtNameFilter(entry.text, entry.patterns);
  setNameFilters(nameFilters);
  // Qt filters by the list it was given; the type list shows the texts as written.
  if (m_pTypeList) {
    for (int i = 0; i < m_filters.size() && i < m_pTypeList->count(); ++i)
      m_pTypeList->setItemText(i, m_filters[i].text);
  }
}

void CFileDialogEx::SetFilterIndex(int index) {
  if (index >= 1 && index <= m_filters.size())
    selectNameFilter(m_filters[index - 1].text);
}

void CFileDialogEx::tagControls() {
  m_pNameField = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
  m_pTypeList = findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
  auto* nameLabel = findChild<QLabel*>(QStringLiteral("fileNameLabel"));
  auto* typeLabel = findChild<QLabel*>(QStringLiteral("fileTypeLabel"));
  TagControl(m_pNameField, "IDC_FILE_NAME", IDC_FILE_NAME);
  TagControl(m_pTypeList, "IDC_FILE_TYPE", IDC_FILE_TYPE);
  TagControl(nameLabel, "IDC_FILE_NAME_LABEL", IDC_FILE_NAME_LABEL);
  TagControl(typeLabel, "IDC_FILE_TYPE_LABEL", IDC_FILE_TYPE_LABEL);
  TagControl(findChild<QListView*>(QStringLiteral("listView")), "IDC_FILE_LIST", IDC_FILE_LIST);
  if (m_pNameField)
    m_pNameField->setAccessibleName(AccessibleText(nameLabel));
  if (m_pTypeList)
    m_pTypeList->setAccessibleName(AccessibleText(typeLabel));
}

void CFileDialogEx::showEvent(QShowEvent* event) {
  // Once per run: more room for the file list, the controls below it follow the layout.
  if (!m_bEnlarged && !event->spontaneous()) {
    m_bEnlarged = true;
    resize(width(), height() + kExtraHeight);
  }
  QFileDialog::showEvent(event);
}

void CFileDialogEx::onTypeChange(const QString& displayText) {
  if (m_pNameField)
    m_pNameField->setText(FileNameForType(m_pNameField->text(), displayText));
}

int CFileDialogEx::DoModal() { return exec() == QDialog::Accepted ? IDOK : IDCANCEL; }

QString CFileDialogEx::GetPathName() const { return selectedFiles().value(0); }

QStringList CFileDialogEx::GetPathNames() const { return selectedFiles(); }

int CFileDialogEx::GetFilterIndex() const {
  if (m_filters.isEmpty() || !m_pTypeList)
    return 0;
  return m_pTypeList->currentIndex() + 1;
}
