#include "app/ContextMenuManager.h"

#include <QAction>
#include <QMenu>
#include <QSettings>

#include "app/CommandRouter.h"
#include "resources/MenuData.h"
#include "resources/ResourceSymbols.h"

namespace {
// Items of the first popup of a menu table (context menus have one).
QList<int> DefaultItems(int menuId) {
  QList<int> items;
  for (const MenuEntry& entry : MenuResource(menuId))
    if (entry.depth == 1)
      items.append(entry.command);
  return items;
}

constexpr int kMaxSavedItems = 64;
}  // namespace

void CContextMenuManager::AddMenu(const QString& name, int menuId) {
  m_names.insert(name, menuId);
  m_items.insert(menuId, DefaultItems(menuId));
}

QList<int> CContextMenuManager::MenuItems(int menuId) const { return m_items.value(menuId); }

void CContextMenuManager::SetMenuItems(int menuId, const QList<int>& commands) {
  if (m_items.contains(menuId))
    m_items[menuId] = commands;
}

QString CContextMenuManager::textOf(int menuId, int command) const {
  for (const MenuEntry& entry : MenuResource(menuId))
    if (entry.command == command && entry.text)
      return QString::fromUtf8(entry.text);
  return {};
}

QMenu* CContextMenuManager::BuildPopupMenu(int menuId, QWidget* parent) const {
  if (!m_items.contains(menuId))
    return nullptr;
  auto* menu = new QMenu(parent);
  for (int command : m_items.value(menuId)) {
    if (command == 0) {
      menu->addSeparator();
      continue;
    }
    QAction* item = menu->addAction(textOf(menuId, command));
    item->setData(command);
    item->setObjectName(CommandSymbol(command));
    if (m_pRouter)
      m_pRouter->UpdateAction(item);
    QObject::connect(item, &QAction::triggered, menu, [router = m_pRouter, command] {
      if (router)
        router->Execute(command);
    });
  }
  return menu;
}

void CContextMenuManager::ShowPopupMenu(int menuId, const QPoint& globalPos, QWidget* owner) const {
  QMenu* menu = BuildPopupMenu(menuId, owner);
  if (!menu)
    return;
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(globalPos);
}

void CContextMenuManager::SaveState(QSettings& settings, const QString& section) const {
  settings.beginGroup(section);
  settings.remove("");
  for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
    QStringList ids;
    for (int command : m_items.value(it.value()))
      ids.append(QString::number(command));
    settings.setValue(it.key(), ids.join(','));
  }
  settings.endGroup();
}

void CContextMenuManager::LoadState(QSettings& settings, const QString& section) {
  settings.beginGroup(section);
  for (auto it = m_names.cbegin(); it != m_names.cend(); ++it) {
    if (!settings.contains(it.key()))
      continue;
    const QList<int> defaults = DefaultItems(it.value());
    QList<int> items;
    // Only commands the menu table knows come back, so a damaged entry cannot
    // put arbitrary ids into a menu.
    for (const QString& text : settings.value(it.key()).toString().split(',', Qt::SkipEmptyParts)) {
      bool ok = false;
      const int command = text.toInt(&ok);
      if (ok && (command == 0 || defaults.contains(command)) && items.size() < kMaxSavedItems)
        items.append(command);
    }
    if (!items.isEmpty())
      m_items[it.value()] = items;
  }
  settings.endGroup();
}
