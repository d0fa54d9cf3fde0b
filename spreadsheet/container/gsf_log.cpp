#include "spreadsheet/gsf_log.h"

#include <mutex>

#include <glib.h>

namespace spreadsheet {

namespace {

thread_local GsfLogCapture* innermost = nullptr;
GLogFunc previousHandler = nullptr;

void route(const gchar* domain, GLogLevelFlags level, const gchar* message, gpointer data) {
    const QString domainText = domain ? QString::fromUtf8(domain) : QStringLiteral("GLib");
    if (GsfLogCapture::take(domainText + QStringLiteral(": ") + QString::fromUtf8(message ? message : "")))
        return;
    if (domainText.startsWith(QStringLiteral("libgsf")))
        return;
    if (previousHandler)
        previousHandler(domain, level, message, data);
    else
        g_log_default_handler(domain, level, message, data);
}

}  // namespace

void routeGsfLog() {
    static std::once_flag once;
    std::call_once(once, [] { previousHandler = g_log_set_default_handler(route, nullptr); });
}

GsfLogCapture::GsfLogCapture() : outer_(innermost) {
    routeGsfLog();
    innermost = this;
}

GsfLogCapture::~GsfLogCapture() {
    innermost = outer_;
}

bool GsfLogCapture::take(const QString& message) {
    if (!innermost)
        return false;
    innermost->messages_ << message;
    return true;
}

}  // namespace spreadsheet
