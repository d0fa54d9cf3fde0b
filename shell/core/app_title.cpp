#include "shell/core/app_title.h"

#include "shell/core/product.h"

namespace shell {

namespace {
QString& storedTitle() {
    static QString title = product::kName;
    return title;
}
}  // namespace

QString applicationTitle() {
    return storedTitle();
}

void setApplicationTitle(const QString& title) {
    storedTitle() = title;
}

QString shortenedTitle(const QString& productName) {
    constexpr qsizetype kMaxLength = 40;
    QString title = productName;
    if (!title.contains(QLatin1Char(' ')))
        return title;
    do {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        title.truncate(blank);
    } while (title.size() > kMaxLength);
    return title;
}

}  // namespace shell
