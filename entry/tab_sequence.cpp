#include "entry/tab_sequence.h"

#include <algorithm>

namespace entry {

void TabSequence::setPosition(QWidget* control, qsizetype position) {
    controls_.removeAll(control);
    controls_.insert(std::clamp<qsizetype>(position, 0, controls_.size()), control);
}

void TabSequence::apply() const {
    for (qsizetype i = 1; i < controls_.size(); ++i) {
        if (controls_[i - 1] && controls_[i])
            QWidget::setTabOrder(controls_[i - 1], controls_[i]);
    }
}

}  // namespace entry
