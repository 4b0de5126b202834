#include "interact/WheelSteps.h"

namespace v3d {

int WheelSteps::add(int delta) {
    if ((delta > 0 && m_pending < 0) || (delta < 0 && m_pending > 0)) m_pending = 0;
    // Each event is bounded so that the sum cannot overflow.
    if (delta > 100 * kNotch) delta = 100 * kNotch;
    if (delta < -100 * kNotch) delta = -100 * kNotch;
    m_pending += delta;
    const int notches = m_pending / kNotch;
    m_pending -= notches * kNotch;
    return notches;
}

}  // namespace v3d
