#include "shell/core/user_notice.h"

#include <cstdio>

namespace shell {

namespace {
UserNoticeHandler& currentHandler() {
    static UserNoticeHandler handler;
    return handler;
}
}  // namespace

void tellUser(const QString& text) {
    if (currentHandler()) {
        currentHandler()(text);
        return;
    }
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    std::fprintf(stderr, "%s\n", qPrintable(shown));
}

void setUserNoticeHandler(UserNoticeHandler handler) {
    currentHandler() = std::move(handler);
}

}  // namespace shell
