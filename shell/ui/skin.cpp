#include "shell/ui/skin.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QRegularExpression>

#include "shell/core/file_utils.h"
#include "shell/ui/window_colours.h"

namespace shell {

QString skinFilePath() {
    return programFolder() + QStringLiteral("/x/o.cjs");
}

bool skinFilePresent(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && info.isFile() && !info.isHidden();
}

QString controlArrayName(const QString& objectName) {
    static const QRegularExpression indexSuffix(QStringLiteral("_\\d+$"));
    QString name = objectName;
    name.remove(indexSuffix);
    return name;
}

void recolourForSkin(QWidget* form) {
    const QColor face = buttonFaceColour();
    setBackColour(form, face);
    const auto children = form->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const bool isPictureBox =
            child->objectName().startsWith(QStringLiteral("Picture"), Qt::CaseInsensitive);
        if (auto* label = qobject_cast<QLabel*>(child)) {
            if (controlArrayName(label->objectName()) == QStringLiteral("lblYear"))
                continue;
            setBackColour(label, face);
        } else if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
                   qobject_cast<QGroupBox*>(child) || isPictureBox) {
            setBackColour(child, face);
        }
    }
}

void ApplySkin(QWidget* form) {
    if (!skinFilePresent(skinFilePath()))
        return;
    recolourForSkin(form);
}

}  // namespace shell
