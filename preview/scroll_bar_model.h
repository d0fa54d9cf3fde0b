#pragma once

#include <functional>

namespace preview {

// A scroll bar's state as the view arithmetic sees it. Minimum 0, small and large change 1. A value
// assignment runs the change rule synchronously, before it returns, and only when the value really
// changes; a value outside 0..maximum is clamped as the real bar does.
class ScrollBarModel {
public:
    using ChangeRule = std::function<void()>;

    void setChangeRule(ChangeRule rule) { rule_ = std::move(rule); }

    int value() const { return value_; }
    int maximum() const { return maximum_; }
    bool isEnabled() const { return enabled_; }

    void setValue(int value);
    // Lowering the maximum below the value pulls the value down with it, which is a change.
    void setMaximum(int maximum);
    void setEnabled(bool enabled) { enabled_ = enabled; }

private:
    int value_ = 0;
    int maximum_ = 0;
    bool enabled_ = false;
    ChangeRule rule_;
};

}  // namespace preview
