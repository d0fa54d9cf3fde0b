#include "preview/hand_cursor.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QtEndian>

#include "shell/error_report.h"

namespace preview {

namespace {
// A cursor file's directory entry carries the hot spot where an icon has planes and bit count; the image
// readers do not hand it on. Returns (-1, -1), the cursor's centre, when the file is no cursor file.
QPoint hotSpotOf(const QByteArray& bytes) {
    constexpr int kHeader = 6;
    constexpr int kEntry = 16;
    if (bytes.size() < kHeader + kEntry)
        return {-1, -1};
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data) != 0 || qFromLittleEndian<quint16>(data + 2) != 2)
        return {-1, -1};
    if (qFromLittleEndian<quint16>(data + 4) == 0)
        return {-1, -1};
    return {qFromLittleEndian<quint16>(data + kHeader + 4), qFromLittleEndian<quint16>(data + kHeader + 6)};
}
}  // namespace

QCursor loadCursorFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw shell::RuntimeError(file.errorString());
    const QByteArray bytes = file.readAll();
    QImage image;
    // By content, whatever the extension; a cursor file is read by the icon reader.
    if (!image.loadFromData(bytes) && !image.loadFromData(bytes, "CUR") && !image.loadFromData(bytes, "ICO"))
        throw shell::RuntimeError(QStringLiteral("Invalid picture"));
    QPoint hotSpot = hotSpotOf(bytes);
    if (hotSpot.x() >= image.width() || hotSpot.y() >= image.height())
        hotSpot = {-1, -1};
    return QCursor(QPixmap::fromImage(image), hotSpot.x(), hotSpot.y());
}

}  // namespace preview
