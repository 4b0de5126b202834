#pragma once

#include <cstdint>

namespace v3d {

// Images a window makes because a peer asked (capture lines, put-under
// requests): each is a file on this machine's disk, so a peer cannot have
// them made without bound. Up to kBurst at once (a whole rotation series at
// one degree a step), then kPerMinute a minute. Past that, requests are
// refused; the user is told once, and again only after the allowance has
// come back and run out anew.
class PeerCaptureBudget {
public:
    static constexpr int kBurst = 400;
    static constexpr int kPerMinute = 40;

    enum class Verdict { Allowed, RefusedTellUser, Refused };

    // nowMs: a steady clock in milliseconds.
    Verdict take(int64_t nowMs);

private:
    double m_allowance = kBurst;
    int64_t m_atMs = -1;
    bool m_told = false;
};

}  // namespace v3d
