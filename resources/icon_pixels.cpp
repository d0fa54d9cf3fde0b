// Writes a picture the way the program reads its window icon at start: premultiplied 32-bit pixels in the
// build machine's byte order, row after row, with nothing else. A start then makes the icon without an
// image decoder.
//   quillberry-icon-pixels IN.png OUT
#include <QFile>
#include <QImage>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: quillberry-icon-pixels IN.png OUT\n");
        return 2;
    }
    const QImage picture =
        QImage(QString::fromLocal8Bit(argv[1]), "png").convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull()) {
        std::fprintf(stderr, "quillberry-icon-pixels: cannot read %s\n", argv[1]);
        return 1;
    }
    QFile out(QString::fromLocal8Bit(argv[2]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        std::fprintf(stderr, "quillberry-icon-pixels: cannot write %s\n", argv[2]);
        return 1;
    }
    for (int y = 0; y < picture.height(); ++y) {
        const auto* row = reinterpret_cast<const char*>(picture.constScanLine(y));
        if (out.write(row, qint64(picture.width()) * 4) != qint64(picture.width()) * 4) {
            std::fprintf(stderr, "quillberry-icon-pixels: cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return out.flush() ? 0 : 1;
}
