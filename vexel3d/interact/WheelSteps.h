#pragma once
// Whole wheel notches from wheel deltas: a notch is 120, and high-resolution
// wheels and touch pads send fractions of it that must add up before the
// view moves a notch's step.

namespace v3d {

class WheelSteps {
public:
    static constexpr int kNotch = 120;

    // Adds a delta; answers the whole notches now due (signed) and keeps the
    // rest. Turning the other way drops the rest of the old direction.
    int add(int delta);
    void reset() { m_pending = 0; }

private:
    int m_pending = 0;
};

}  // namespace v3d
