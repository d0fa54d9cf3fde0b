#include "app/start_up_work.h"

#include <fontconfig/fontconfig.h>

#include <QImageReader>

#include "shell/core/product.h"

namespace app {

namespace {

QList<QImage> readIconPictures() {
    QList<QImage> pictures;
    for (const int size : shell::product::kIconSizes) {
        // Read as what they are: guessing a file's format would load every image plug-in.
        QImageReader reader(
            QStringLiteral("%1/%2x%2/quillberry.png").arg(shell::product::kIconResourceFolder).arg(size),
            "png");
        reader.setAutoDetectImageFormat(false);
        QImage picture = reader.read();
        if (!picture.isNull())
            pictures << picture;
    }
    return pictures;
}

}  // namespace

// The toolkit's font database starts by loading the same configuration; once loaded, that call returns
// at once.
StartUpWork::StartUpWork()
    : thread_([this] {
          FcInit();
          iconPictures_ = readIconPictures();
      }) {}

StartUpWork::~StartUpWork() {
    finish();
}

QList<QImage> StartUpWork::finish() {
    if (thread_.joinable())
        thread_.join();
    return iconPictures_;
}

}  // namespace app
