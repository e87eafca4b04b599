// CDocManagerEx: the document manager. It owns the document template, runs
// the Open prompt with every image format and opens each chosen file as
// its own document.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class CMultiDocTemplate;
class QWidget;

// The Open dialog's filter list, in order (display text, patterns).
struct FileFilter {
  QString text;
  QString patterns;  // ";"-separated, "*.tvx;*.bmp"
};
QList<FileFilter> OpenFileFilters();

class CDocManagerEx {
public:
  CDocManagerEx();
  ~CDocManagerEx();

  void AddDocTemplate(std::unique_ptr<CMultiDocTemplate> docTemplate);
  CMultiDocTemplate* FirstTemplate() const { return m_pTemplate.get(); }

  // File > Open: prompts and opens every chosen path in order.
  void OnFileOpen(QWidget* parent);
  // Runs the Open prompt; the chosen paths are appended to `paths`. False
  // when cancelled.
  bool DoPromptFileName(QStringList& paths, int titleId, bool openFileDialog, QWidget* parent);

private:
  std::unique_ptr<CMultiDocTemplate> m_pTemplate;
};
