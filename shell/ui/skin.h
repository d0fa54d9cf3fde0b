#pragma once

#include <QString>

class QWidget;

namespace shell {

// The skin file beside the executable: "x/o.cjs" in the program folder.
QString skinFilePath();

// True when a listing of the path names an ordinary file; hidden files count as absent.
bool skinFilePresent(const QString& path);

// Without a skin file the window keeps its design look. With one, the window and every option button,
// check box, frame, label and picture box on it take the system's button-face colour, except the labels of
// the control array lblYear, which keep their own colour. No skin component is driven beyond that.
void ApplySkin(QWidget* form);

// The recolouring step on its own.
void recolourForSkin(QWidget* form);

// The name of the control array a widget belongs to: its object name without a trailing "_<index>".
QString controlArrayName(const QString& objectName);

}  // namespace shell
