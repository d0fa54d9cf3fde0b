#include "preview/scroll_bar_model.h"

#include <algorithm>

namespace preview {

void ScrollBarModel::setValue(int value) {
    value = std::clamp(value, 0, maximum_);
    if (value == value_)
        return;
    value_ = value;
    if (rule_)
        rule_();
}

void ScrollBarModel::setMaximum(int maximum) {
    maximum_ = std::max(0, maximum);
    if (value_ > maximum_)
        setValue(maximum_);
}

}  // namespace preview
