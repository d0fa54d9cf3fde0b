#pragma once

#include <QGroupBox>

namespace entry {

// A frame whose caption sits on its top border line, the way the main window's frames are designed.
// Drawn by hand: a style sheet would give the same look but makes every control inside the frame pay
// for style-sheet polishing at start-up.
class CaptionFrame : public QGroupBox {
    Q_OBJECT

public:
    using QGroupBox::QGroupBox;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace entry
