#include "PeerCaptureBudget.h"

#include <algorithm>

namespace v3d {

PeerCaptureBudget::Verdict PeerCaptureBudget::take(int64_t nowMs) {
    if (m_atMs >= 0 && nowMs > m_atMs)
        m_allowance = std::min<double>(kBurst, m_allowance + double(nowMs - m_atMs) * kPerMinute / 60000.0);
    m_atMs = std::max(m_atMs, nowMs);
    if (m_allowance >= 1) {
        m_allowance -= 1;
        if (m_allowance >= kPerMinute) m_told = false;
        return Verdict::Allowed;
    }
    if (m_told) return Verdict::Refused;
    m_told = true;
    return Verdict::RefusedTellUser;
}

}  // namespace v3d
