// Images made for peers: a flood of requests makes a bounded number of
// files, the user is told once per exhausted allowance, and the allowance
// comes back at its rate.
#include "collab/PeerCaptureBudget.h"

#include <gtest/gtest.h>

namespace {

using v3d::PeerCaptureBudget;

TEST(PeerCaptureBudget, FourThousandRequestsMakeAtMostTheBound) {
    PeerCaptureBudget budget;
    int made = 0, told = 0;
    // 4,000 requests over ten seconds, as a flooding peer sends them.
    for (int i = 0; i < 4000; ++i) {
        const PeerCaptureBudget::Verdict verdict = budget.take(int64_t(i) * 10000 / 4000);
        made += verdict == PeerCaptureBudget::Verdict::Allowed;
        told += verdict == PeerCaptureBudget::Verdict::RefusedTellUser;
    }
    EXPECT_LE(made, PeerCaptureBudget::kBurst + PeerCaptureBudget::kPerMinute / 6 + 1);
    EXPECT_GE(made, PeerCaptureBudget::kBurst);
    EXPECT_EQ(told, 1);
    // A minute later the rate's worth is back, and a new flood is told again.
    int later = 0;
    for (int i = 0; i < 100; ++i) later += budget.take(70000) == PeerCaptureBudget::Verdict::Allowed;
    EXPECT_EQ(later, PeerCaptureBudget::kPerMinute);
    for (int i = 0; i < 20; ++i) budget.take(10 * 60000 + i);
    EXPECT_EQ(budget.take(20 * 60000), PeerCaptureBudget::Verdict::Allowed);
}

}  // namespace
