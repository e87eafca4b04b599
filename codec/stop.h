// Lets a caller end long decoding work part-way (a closing window, a
// destroyed plug-in instance) without waiting for the whole step.
#pragma once

#include <functional>
#include <utility>

namespace tavix {

// A caller's request to stop long work, asked between steps; once it has
// said stop it keeps saying so. A default-constructed check never stops.
class StopCheck {
public:
  StopCheck() = default;
  explicit StopCheck(std::function<bool()> keepGoing) : m_keepGoing(std::move(keepGoing)) {}
  bool Stopped() {
    if (!m_stopped && m_keepGoing && !m_keepGoing()) m_stopped = true;
    return m_stopped;
  }

private:
  std::function<bool()> m_keepGoing;
  bool m_stopped = false;
};

}  // namespace tavix
