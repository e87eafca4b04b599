// Customised keyboard shortcuts. Every command starts with the shortcuts of
// accelerator table 128; the user can change them in the Customize dialog.
// Only differences from the defaults are saved (under "Toolbar/Keyboard").
#pragma once

#include <QKeySequence>
#include <QList>
#include <functional>

class QAction;
class QSettings;

class CKeyboardManager {
public:
  // `actions` lists every command action (data() = command id).
  explicit CKeyboardManager(std::function<QList<QAction*>()> actions);

  // Gives each action its default shortcuts from the accelerator table.
  void ApplyDefaults();
  QList<QKeySequence> DefaultShortcuts(int command) const;
  void SetShortcuts(int command, const QList<QKeySequence>& keys);
  void ResetAll();

  void SaveState(QSettings& settings, const QString& section) const;
  void LoadState(QSettings& settings, const QString& section);

  // Added for the Customize dialog.
  // The command's current shortcuts (those of its first action).
  QList<QKeySequence> Shortcuts(int command) const;
  // The command that holds `key` now, 0 when none does.
  int CommandForShortcut(const QKeySequence& key) const;

private:
  QList<QAction*> actionsOf(int command) const;

  std::function<QList<QAction*>()> m_actions;
};
