#include "app/ToolBarManager.h"

#include <QAction>
#include <QMainWindow>
#include <QSettings>
#include <QToolBar>

#include "resources/MenuData.h"
#include "resources/Strings.h"
#include "resources/resource.h"

namespace {

// Saved state: per toolbar a group named after its objectName with
// "Buttons" (command ids, 0 for a separator), "Visible" and, for the
// user-defined toolbars, "Title"; "UserDefined" lists the user-defined
// slots that exist; "WindowState" is the main window's docking layout.
constexpr const char* kKeyButtons = "Buttons";
constexpr const char* kKeyVisible = "Visible";
constexpr const char* kKeyTitle = "Title";
constexpr const char* kKeyUserDefined = "UserDefined";
constexpr const char* kKeyWindowState = "WindowState";
constexpr int kWindowStateVersion = 1;

// Limits that keep a damaged settings file from building absurd toolbars.
constexpr int kMaxButtonsPerBar = 64;
constexpr int kMaxTitleLength = 128;
constexpr qsizetype kMaxListText = 4096;
constexpr qsizetype kMaxWindowState = 256 * 1024;

// The command a toolbar action stands for: widget actions carry it in a
// property, ordinary command actions in data().
constexpr const char* kCommandProperty = "tavixCommand";

int commandOf(const QAction* action) {
  const QVariant property = action->property(kCommandProperty);
  return property.isValid() ? property.toInt() : action->data().toInt();
}

QString userDefinedName(int index) { return QStringLiteral("IDW_USER_DEFINED_%1").arg(index); }

// "57601 57604 0 ..." -> ids; false when the text is not such a list.
bool parseIdList(const QString& text, QList<int>& ids) {
  if (text.size() > kMaxListText)
    return false;
  for (const QString& token : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    bool ok = false;
    const int id = token.toInt(&ok);
    if (!ok)
      return false;
    ids.append(id);
  }
  return true;
}

QString idListText(const QList<int>& ids) {
  QStringList tokens;
  for (int id : ids)
    tokens.append(QString::number(id));
  return tokens.join(QLatin1Char(' '));
}

// A stored flag, or `fallback` when the entry is missing or not a flag.
bool readFlag(const QSettings& settings, const QString& key, bool fallback) {
  const QString text = settings.value(key).toString().trimmed().toLower();
  if (text == QLatin1String("true") || text == QLatin1String("1"))
    return true;
  if (text == QLatin1String("false") || text == QLatin1String("0"))
    return false;
  return fallback;
}

QString cleanTitle(const QString& title) { return title.trimmed().left(kMaxTitleLength); }

}  // namespace

CToolBarManager::CToolBarManager(QMainWindow* frame, std::function<QAction*(int)> actionFor,
                                 std::function<QAction*(int, QToolBar*)> makeWidgetAction)
    : QObject(frame),
      m_pFrame(frame),
      m_actionFor(std::move(actionFor)),
      m_makeWidgetAction(std::move(makeWidgetAction)) {}

QString CToolBarManager::DefaultUserDefinedTitle(int index) {
  return QStringLiteral("%1 %2").arg(LoadStringResource(IDS_USER_CATEGORY)).arg(index + 1);
}

QToolBar* CToolBarManager::makeBar(const QString& objectName, int tavixId, const QString& title) {
  auto* bar = new QToolBar(title, m_pFrame);
  bar->setObjectName(objectName);
  bar->setProperty("tavixId", tavixId);
  bar->setAccessibleName(title);
  bar->setMovable(true);
  bar->setFloatable(true);
  bar->setAllowedAreas(Qt::AllToolBarAreas);
  bar->setIconSize(QSize(16, 16));
  bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
  connect(bar, &QToolBar::windowTitleChanged, bar, &QWidget::setAccessibleName);
  return bar;
}

bool CToolBarManager::CreateStandardToolBar(const QString& title) {
  if (!m_pFrame)
    return false;
  if (!m_pStandardBar) {
    m_pStandardBar = makeBar(QStringLiteral("AFX_IDW_TOOLBAR"), AFX_IDW_TOOLBAR, title);
    m_pFrame->addToolBar(Qt::TopToolBarArea, m_pStandardBar);
    ResetToolBar(m_pStandardBar);
  }
  return true;
}

bool CToolBarManager::CreateUserToolBar(const QString& title) {
  if (!m_pFrame)
    return false;
  if (!m_pUserBar) {
    m_pUserBar = makeBar(QStringLiteral("IDW_USER_TOOLBAR"), IDW_USER_TOOLBAR, title);
    m_pFrame->addToolBar(Qt::BottomToolBarArea, m_pUserBar);
    ResetToolBar(m_pUserBar);
    m_pUserBar->hide();  // the User Toolbar starts hidden
  }
  return true;
}

QToolBar* CToolBarManager::StandardToolBar() const { return m_pStandardBar; }
QToolBar* CToolBarManager::UserToolBar() const { return m_pUserBar; }

QToolBar* CToolBarManager::UserDefinedToolBar(int index) const {
  return index >= 0 && index < kMaxUserDefinedToolBars ? m_userDefined[index].data() : nullptr;
}

int CToolBarManager::UserDefinedIndex(const QToolBar* bar) const {
  for (int i = 0; bar && i < kMaxUserDefinedToolBars; ++i)
    if (m_userDefined[i] == bar)
      return i;
  return -1;
}

bool CToolBarManager::HasDefaultButtons(const QToolBar* bar) const {
  return bar && (bar == m_pStandardBar || bar == m_pUserBar);
}

bool CToolBarManager::isManaged(const QToolBar* bar) const {
  return HasDefaultButtons(bar) || UserDefinedIndex(bar) >= 0;
}

QToolBar* CToolBarManager::createUserDefinedAt(int index, const QString& title) {
  const QString name = cleanTitle(title).isEmpty() ? DefaultUserDefinedTitle(index) : cleanTitle(title);
  QToolBar* bar = makeBar(userDefinedName(index), IDW_USER_DEFINED_FIRST + index, name);
  m_pFrame->addToolBar(Qt::TopToolBarArea, bar);
  m_userDefined[index] = bar;
  return bar;
}

QToolBar* CToolBarManager::CreateUserDefinedToolBar(const QString& title) {
  if (!m_pFrame)
    return nullptr;
  for (int i = 0; i < kMaxUserDefinedToolBars; ++i) {
    if (!m_userDefined[i]) {
      QToolBar* bar = createUserDefinedAt(i, title);
      emit toolBarsChanged();
      return bar;
    }
  }
  return nullptr;
}

bool CToolBarManager::RenameToolBar(QToolBar* bar, const QString& title) {
  const QString name = cleanTitle(title);
  if (UserDefinedIndex(bar) < 0 || name.isEmpty())
    return false;
  bar->setWindowTitle(name);
  emit toolBarsChanged();
  return true;
}

void CToolBarManager::deleteUserDefinedAt(int index) {
  QToolBar* bar = m_userDefined[index];
  m_userDefined[index] = nullptr;
  m_pFrame->removeToolBar(bar);
  // Out of the frame at once, so that no later lookup or saved layout
  // meets it; the object itself goes when control returns to the loop.
  bar->setParent(nullptr);
  bar->deleteLater();
}

bool CToolBarManager::DeleteUserDefinedToolBar(QToolBar* bar) {
  const int index = UserDefinedIndex(bar);
  if (index < 0)
    return false;
  deleteUserDefinedAt(index);
  emit toolBarsChanged();
  return true;
}

QList<QToolBar*> CToolBarManager::AllToolBars() const {
  QList<QToolBar*> bars;
  if (m_pStandardBar)
    bars.append(m_pStandardBar);
  if (m_pUserBar)
    bars.append(m_pUserBar);
  for (const QPointer<QToolBar>& bar : m_userDefined)
    if (bar)
      bars.append(bar);
  return bars;
}

QList<int> CToolBarManager::Buttons(QToolBar* bar) const {
  QList<int> commands;
  if (!isManaged(bar))
    return commands;
  for (const QAction* action : bar->actions())
    commands.append(action->isSeparator() ? 0 : commandOf(action));
  return commands;
}

// The action that shows `command` on `bar`: the bar's existing widget for
// it, a freshly made widget, or the application's command action.
QAction* CToolBarManager::actionForButton(QToolBar* bar, int command, QList<QAction*>& spareWidgets) {
  for (QAction* widget : spareWidgets) {
    if (commandOf(widget) == command) {
      spareWidgets.removeOne(widget);
      return widget;
    }
  }
  if (m_makeWidgetAction) {
    if (QAction* widget = m_makeWidgetAction(command, bar)) {
      widget->setParent(bar);
      widget->setProperty(kCommandProperty, command);
      return widget;
    }
  }
  return m_actionFor ? m_actionFor(command) : nullptr;
}

void CToolBarManager::SetButtons(QToolBar* bar, const QList<int>& commands) {
  if (!isManaged(bar))
    return;
  // Separators and widgets belong to the bar; command actions are shared.
  QList<QAction*> spareWidgets;
  QList<QAction*> separators;
  for (QAction* action : bar->actions()) {
    if (action->parent() == bar)
      (action->isSeparator() ? separators : spareWidgets).append(action);
  }
  bar->clear();
  qDeleteAll(separators);

  QList<int> placed;
  for (int command : commands) {
    if (placed.size() >= kMaxButtonsPerBar)
      break;
    if (command == 0) {
      auto* separator = new QAction(bar);
      separator->setSeparator(true);
      bar->addAction(separator);
      placed.append(0);
      continue;
    }
    if (placed.contains(command))  // a command shows once per toolbar
      continue;
    if (QAction* action = actionForButton(bar, command, spareWidgets)) {
      bar->addAction(action);
      placed.append(command);
    }
  }
  qDeleteAll(spareWidgets);
  emit toolBarsChanged();
}

QList<int> CToolBarManager::defaultButtons(const QToolBar* bar) const {
  QList<int> commands;
  if (bar && bar == m_pStandardBar) {
    for (int command : StandardToolbarResource())
      commands.append(command);
  } else if (bar && bar == m_pUserBar) {
    for (const UserImageButton& button : UserToolbarResource())
      commands.append(button.command);
  }
  return commands;
}

void CToolBarManager::ResetToolBar(QToolBar* bar) {
  if (HasDefaultButtons(bar))
    SetButtons(bar, defaultButtons(bar));
}

void CToolBarManager::SaveState(QSettings& settings, const QString& section) const {
  if (!m_pFrame)
    return;
  settings.beginGroup(section);
  // Only this manager's own entries are replaced; the section may hold others.
  for (int i = 0; i < kMaxUserDefinedToolBars; ++i)
    settings.remove(userDefinedName(i));
  QList<int> existing;
  for (QToolBar* bar : AllToolBars()) {
    settings.beginGroup(bar->objectName());
    settings.setValue(kKeyButtons, idListText(Buttons(bar)));
    settings.setValue(kKeyVisible, !bar->isHidden());
    const int index = UserDefinedIndex(bar);
    if (index >= 0) {
      settings.setValue(kKeyTitle, bar->windowTitle());
      existing.append(index);
    }
    settings.endGroup();
  }
  settings.setValue(kKeyUserDefined, idListText(existing));
  settings.setValue(kKeyWindowState, m_pFrame->saveState(kWindowStateVersion));
  settings.endGroup();
}

// Makes the set of user-defined toolbars the saved one. A damaged list
// leaves the toolbars as they are.
void CToolBarManager::loadUserDefinedSet(QSettings& settings) {
  QList<int> indices;
  if (!settings.contains(kKeyUserDefined) ||
      !parseIdList(settings.value(kKeyUserDefined).toString(), indices))
    return;
  for (int i = 0; i < kMaxUserDefinedToolBars; ++i) {
    const bool wanted = indices.contains(i);
    if (wanted && !m_userDefined[i])
      createUserDefinedAt(i, QString());
    else if (!wanted && m_userDefined[i])
      deleteUserDefinedAt(i);
  }
}

void CToolBarManager::loadBar(QSettings& settings, QToolBar* bar) {
  settings.beginGroup(bar->objectName());
  QList<int> commands;
  if (settings.contains(kKeyButtons) && parseIdList(settings.value(kKeyButtons).toString(), commands))
    SetButtons(bar, commands);
  const QString title = cleanTitle(settings.value(kKeyTitle).toString());
  if (UserDefinedIndex(bar) >= 0 && !title.isEmpty())
    bar->setWindowTitle(title);
  bar->setVisible(readFlag(settings, kKeyVisible, !bar->isHidden()));
  settings.endGroup();
}

void CToolBarManager::LoadState(QSettings& settings, const QString& section) {
  if (!m_pFrame)
    return;
  settings.beginGroup(section);
  loadUserDefinedSet(settings);
  for (QToolBar* bar : AllToolBars())
    loadBar(settings, bar);
  // The docking layout goes last, when every bar it names exists. A layout
  // that does not fit (restoreState refuses it) keeps the default places.
  const QByteArray layout = settings.value(kKeyWindowState).toByteArray();
  if (!layout.isEmpty() && layout.size() <= kMaxWindowState)
    m_pFrame->restoreState(layout, kWindowStateVersion);
  settings.endGroup();
  emit toolBarsChanged();
}
