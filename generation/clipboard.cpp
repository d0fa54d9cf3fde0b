#include "generation/clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include "shell/core/error_report.h"

namespace generation {

namespace {
ClipboardAccess& currentAccess() {
    static ClipboardAccess access;
    return access;
}

QClipboard* systemClipboard() {
    // Without a GUI application (a console tool) there is no clipboard to talk to.
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                        : nullptr;
}
}  // namespace

void setClipboardAccess(ClipboardAccess access) {
    currentAccess() = std::move(access);
}

void putPictureOnClipboard(const QImage& picture) {
    if (const auto& setImage = currentAccess().setImage) {
        setImage(picture);
        return;
    }
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        throw shell::RuntimeError(QStringLiteral("The clipboard is not available"));
    clipboard->setImage(picture);
}

std::optional<QImage> readPictureFromClipboard() {
    if (const auto& readImage = currentAccess().readImage)
        return readImage();
    QClipboard* clipboard = systemClipboard();
    if (!clipboard)
        return std::nullopt;
    const QMimeData* data = clipboard->mimeData();
    if (!data || !data->hasImage())
        return std::nullopt;
    QImage picture = clipboard->image();
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

}  // namespace generation
