// Command routing: a command id goes to the active view, then its frame,
// then the main frame, then the application; the first target that handles
// it wins. Enabled and checked states are asked of the same chain, so the
// state a menu shows is decided by whoever would carry the command out.
#pragma once

#include <functional>
#include <vector>

class QAction;

// What a target says about a command's state.
class CCmdUI {
public:
  explicit CCmdUI(int id) : m_nID(id) {}
  void Enable(bool on = true) { m_bEnabled = on; }
  void SetCheck(bool on = true) { m_bChecked = on; m_bCheckable = true; }
  int m_nID;
  bool m_bEnabled = true;
  bool m_bChecked = false;
  bool m_bCheckable = false;
};

// Anything in the routing chain. A target returns true from OnCommand when
// it carried the command out, and from OnUpdateCommand when it owns the
// command (after filling `ui`).
class CCmdTarget {
public:
  virtual ~CCmdTarget() = default;
  virtual bool OnCommand(int id) { (void)id; return false; }
  virtual bool OnUpdateCommand(CCmdUI& ui) { (void)ui; return false; }
};

class CCommandRouter {
public:
  // `chain` returns the current targets in routing order (nulls skipped).
  using Chain = std::function<std::vector<CCmdTarget*>()>;
  explicit CCommandRouter(Chain chain) : m_chain(std::move(chain)) {}

  // Runs the command; false when no target took it.
  bool Execute(int id) const;
  // Fills `ui` from the first owner; a command nobody owns is disabled.
  void Update(CCmdUI& ui) const;
  // Asks the chain about the action's command (its data()) and applies the
  // enabled and checked states.
  void UpdateAction(QAction* action) const;

private:
  Chain m_chain;
};
