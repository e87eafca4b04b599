// CFileDialogEx: the program's file dialog for opening, compressing and
// exporting. Qt's own (non-native) dialog, 100 pixels taller than usual; when
// the user picks another file type, the name in the file-name field takes
// that type's extension.
#pragma once

#include <QFileDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QComboBox;
class QLineEdit;

// Flags as the callers pass them.
constexpr int OFN_OVERWRITEPROMPT = 0x00000002;
constexpr int OFN_HIDEREADONLY = 0x00000004;
constexpr int OFN_ALLOWMULTISELECT = 0x00000200;
constexpr int OFN_PATHMUSTEXIST = 0x00000800;
constexpr int OFN_FILEMUSTEXIST = 0x00001000;

// The name the file-name field shows after the user picks the type with
// `filterDisplayText`: the extension is the text after the first '*' up to
// the first ')' after it. Returns `fileName` unchanged when the text has no '*'.
QString FileNameForType(const QString& fileName, const QString& filterDisplayText);

class CFileDialogEx : public QFileDialog {
  Q_OBJECT
public:
  // `filter` is a list of "text|patterns|" pairs ending in "||", the patterns
  // separated by ';' ("BMP (*.bmp)|*.bmp|TIFF (*.tif)|*.tif||").
  CFileDialogEx(bool openFileDialog, const QString& defaultExtension = QString(),
                const QString& fileName = QString(), int flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                const QString& filter = QString(), QWidget* parent = nullptr);

  void SetFilter(const QString& filter);
  void SetFlags(int flags);
  // 1-based, as the callers count the filter entries.
  void SetFilterIndex(int index);

  // Runs the dialog; IDOK or IDCANCEL.
  int DoModal();
  QString GetPathName() const;
  QStringList GetPathNames() const;
  int GetFilterIndex() const;

  QLineEdit* FileNameField() const { return m_pNameField; }
  QComboBox* FileTypeList() const { return m_pTypeList; }

protected:
  void showEvent(QShowEvent* event) override;

private:
  struct Filter {
    QString text;      // shown in the type list
    QStringList patterns;
  };
  void tagControls();
  void applyFilters();
  void onTypeChange(const QString& displayText);

  bool m_bOpen;
  bool m_bEnlarged = false;
  QList<Filter> m_filters;
  QLineEdit* m_pNameField = nullptr;
  QComboBox* m_pTypeList = nullptr;
};
