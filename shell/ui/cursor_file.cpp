#include "shell/ui/cursor_file.h"

#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/product.h"

namespace shell {

QCursor loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw RuntimeError(QStringLiteral("File not found: ") + QDir::toNativeSeparators(path));
    }
    const QByteArray bytes = file.readAll();
    QPixmap picture;
    if (!picture.loadFromData(bytes)) {
        throw RuntimeError(QStringLiteral("Invalid picture: ") + QDir::toNativeSeparators(path));
    }
    // A cursor file is an icon directory of type 2 whose first entry carries the hot spot.
    int hotX = -1;
    int hotY = -1;
    if (bytes.size() >= 22 && qFromLittleEndian<quint16>(bytes.constData() + 2) == 2) {
        hotX = qFromLittleEndian<quint16>(bytes.constData() + 10);
        hotY = qFromLittleEndian<quint16>(bytes.constData() + 12);
        if (hotX >= picture.width() || hotY >= picture.height())
            hotX = hotY = -1;
    }
    return QCursor(picture, hotX, hotY);
}

QString handCursorPath() {
    return programFolder() + QLatin1Char('/') + product::kHandCursorFile;
}

void applyMousePointer(QWidget* window, MousePointer pointer, const std::optional<QCursor>& custom) {
    switch (pointer) {
        case MousePointer::Hourglass:
            window->setCursor(Qt::WaitCursor);
            break;
        case MousePointer::SizeAll:
            window->setCursor(Qt::SizeAllCursor);
            break;
        case MousePointer::Custom:
            window->setCursor(custom.value_or(QCursor(Qt::ArrowCursor)));
            break;
        case MousePointer::Default:
            window->unsetCursor();
            break;
    }
}

}  // namespace shell
