// Context menus by name ("Standard Menu" is the view's menu 107). A menu is
// built from its table each time it opens; its items run through the
// command router like any other command, with the same enabled and checked
// states. What each registered menu holds is saved and restored, so a menu
// changed in a session comes back at the next start.
#pragma once

#include <QHash>
#include <QList>
#include <QPoint>
#include <QString>

class CCommandRouter;
class QMenu;
class QSettings;
class QWidget;

class CContextMenuManager {
public:
  // `router` gives the commands' states and runs them; it must outlive the
  // menus shown.
  void SetRouter(const CCommandRouter* router) { m_pRouter = router; }

  void AddMenu(const QString& name, int menuId);
  // The command ids of a registered menu in order (0 = separator).
  QList<int> MenuItems(int menuId) const;
  void SetMenuItems(int menuId, const QList<int>& commands);

  // Builds the menu (the caller owns it) or nullptr for an unknown id.
  QMenu* BuildPopupMenu(int menuId, QWidget* parent) const;
  // Shows the menu at `globalPos` and runs the chosen command.
  void ShowPopupMenu(int menuId, const QPoint& globalPos, QWidget* owner) const;

  void SaveState(QSettings& settings, const QString& section) const;
  void LoadState(QSettings& settings, const QString& section);

private:
  QString textOf(int menuId, int command) const;

  const CCommandRouter* m_pRouter = nullptr;
  QHash<QString, int> m_names;
  QHash<int, QList<int>> m_items;
};
