#include "app/KeyboardManager.h"

#include <QAction>
#include <QSettings>
#include <QStringList>

#include "resources/MenuData.h"

namespace {

// Limits for what a settings file may ask for.
constexpr int kMaxKeysPerCommand = 8;
constexpr int kMaxSavedCommands = 1024;
constexpr qsizetype kMaxKeyText = 512;

int commandOf(const QAction* action) { return action->data().toInt(); }

bool isUsableKey(const QKeySequence& key) {
  if (key.isEmpty())
    return false;
  for (int i = 0; i < key.count(); ++i)
    if (key[i].key() == Qt::Key_unknown || key[i].key() == 0)
      return false;
  return true;
}

// Usable keys only, each once, at most kMaxKeysPerCommand of them.
QList<QKeySequence> cleanKeys(const QList<QKeySequence>& keys) {
  QList<QKeySequence> result;
  for (const QKeySequence& key : keys)
    if (isUsableKey(key) && !result.contains(key) && result.size() < kMaxKeysPerCommand)
      result.append(key);
  return result;
}

bool sameKeys(const QList<QKeySequence>& a, const QList<QKeySequence>& b) {
  if (a.size() != b.size())
    return false;
  for (const QKeySequence& key : a)
    if (!b.contains(key))
      return false;
  return true;
}

}  // namespace

CKeyboardManager::CKeyboardManager(std::function<QList<QAction*>()> actions)
    : m_actions(std::move(actions)) {}

QList<QAction*> CKeyboardManager::actionsOf(int command) const {
  QList<QAction*> found;
  if (command == 0)
    return found;
  for (QAction* action : m_actions())
    if (action && commandOf(action) == command)
      found.append(action);
  return found;
}

QList<QKeySequence> CKeyboardManager::DefaultShortcuts(int command) const {
  QList<QKeySequence> keys;
  for (const AcceleratorEntry& entry : AcceleratorResource())
    if (entry.command == command)
      keys.append(QKeySequence::fromString(QString::fromLatin1(entry.keys), QKeySequence::PortableText));
  return cleanKeys(keys);
}

void CKeyboardManager::ApplyDefaults() {
  for (QAction* action : m_actions())
    if (action && commandOf(action) != 0)
      action->setShortcuts(DefaultShortcuts(commandOf(action)));
}

void CKeyboardManager::ResetAll() { ApplyDefaults(); }

QList<QKeySequence> CKeyboardManager::Shortcuts(int command) const {
  const QList<QAction*> actions = actionsOf(command);
  return actions.isEmpty() ? QList<QKeySequence>() : actions.first()->shortcuts();
}

int CKeyboardManager::CommandForShortcut(const QKeySequence& key) const {
  if (key.isEmpty())
    return 0;
  for (QAction* action : m_actions())
    if (action && commandOf(action) != 0 && action->shortcuts().contains(key))
      return commandOf(action);
  return 0;
}

// A key belongs to one command only: whoever holds one of `keys` now
// loses it, so that no shortcut becomes ambiguous.
void CKeyboardManager::SetShortcuts(int command, const QList<QKeySequence>& keys) {
  const QList<QAction*> targets = actionsOf(command);
  if (targets.isEmpty())
    return;
  const QList<QKeySequence> clean = cleanKeys(keys);
  for (QAction* action : m_actions()) {
    if (!action || commandOf(action) == command)
      continue;
    QList<QKeySequence> held = action->shortcuts();
    const qsizetype before = held.size();
    held.removeIf([&clean](const QKeySequence& key) { return clean.contains(key); });
    if (held.size() != before)
      action->setShortcuts(held);
  }
  for (QAction* action : targets)
    action->setShortcuts(clean);
}

void CKeyboardManager::SaveState(QSettings& settings, const QString& section) const {
  settings.beginGroup(section);
  settings.remove(QString());
  QList<int> done;
  for (QAction* action : m_actions()) {
    const int command = action ? commandOf(action) : 0;
    if (command == 0 || done.contains(command))
      continue;
    done.append(command);
    const QList<QKeySequence> keys = action->shortcuts();
    if (!sameKeys(keys, DefaultShortcuts(command)))
      settings.setValue(QString::number(command), QKeySequence::listToString(keys, QKeySequence::PortableText));
  }
  settings.endGroup();
}

// Applies the saved differences on top of the current shortcuts (normally
// the defaults). Entries naming no known command, or whose keys cannot be
// read, are skipped.
void CKeyboardManager::LoadState(QSettings& settings, const QString& section) {
  settings.beginGroup(section);
  const QStringList entries = settings.childKeys().mid(0, kMaxSavedCommands);
  for (const QString& entry : entries) {
    bool ok = false;
    const int command = entry.toInt(&ok);
    if (!ok || actionsOf(command).isEmpty())
      continue;
    const QString text = settings.value(entry).toStringList().join(QStringLiteral("; ")).trimmed();
    if (text.size() > kMaxKeyText)
      continue;
    const QList<QKeySequence> read = QKeySequence::listFromString(text, QKeySequence::PortableText);
    const QList<QKeySequence> keys = cleanKeys(read);
    if (!text.isEmpty() && keys.size() != read.size())
      continue;
    SetShortcuts(command, keys);
  }
  settings.endGroup();
}
