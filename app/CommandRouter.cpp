#include "app/CommandRouter.h"

#include <QAction>

bool CCommandRouter::Execute(int id) const {
  for (CCmdTarget* target : m_chain())
    if (target && target->OnCommand(id))
      return true;
  return false;
}

void CCommandRouter::Update(CCmdUI& ui) const {
  for (CCmdTarget* target : m_chain())
    if (target && target->OnUpdateCommand(ui))
      return;
  ui.Enable(false);
}

void CCommandRouter::UpdateAction(QAction* action) const {
  bool ok = false;
  const int id = action->data().toInt(&ok);
  if (!ok || id == 0)
    return;
  CCmdUI ui(id);
  Update(ui);
  action->setEnabled(ui.m_bEnabled);
  if (ui.m_bCheckable) {
    action->setCheckable(true);
    action->setChecked(ui.m_bChecked);
  }
}
