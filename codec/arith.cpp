#include "codec/arith.h"

namespace tavix {

// Emits the cached byte once no carry can reach it any more: either the top
// byte of `low` is below 0xFF (a later addition cannot carry through it) or a
// carry has just happened. A run of 0xFF bytes waits with the cached byte,
// because one carry turns all of them into 0x00 and bumps the cached byte.
void ArithmeticEncoder::ShiftLow() {
  ++m_shifts;
  if (static_cast<uint32_t>(m_low) < 0xFF000000u || (m_low >> 32) != 0) {
    const uint8_t carry = static_cast<uint8_t>(m_low >> 32);
    uint8_t byte = m_cache;
    do {
      if (m_firstByte)
        m_firstByte = false;
      else
        m_out.push_back(static_cast<uint8_t>(byte + carry));
      byte = 0xFF;
    } while (--m_pendingCount != 0);
    m_cache = static_cast<uint8_t>(m_low >> 24);
  }
  ++m_pendingCount;
  m_low = (m_low & 0x00FFFFFFu) << 8;
}

}  // namespace tavix
