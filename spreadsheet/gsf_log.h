#pragma once

// libgsf, and GLib under it, report trouble by logging it, and GLib prints that on standard error. The
// engine reports every failure of its own accord, so their messages are taken in instead: while a
// GsfLogCapture lives, whatever is logged on its thread is collected in it; with none alive, libgsf's
// messages are dropped and other GLib messages keep GLib's own handling.

#include <QStringList>

namespace spreadsheet {

// Installs the routing; later calls do nothing.
void routeGsfLog();

class GsfLogCapture {
public:
    GsfLogCapture();
    ~GsfLogCapture();
    GsfLogCapture(const GsfLogCapture&) = delete;
    GsfLogCapture& operator=(const GsfLogCapture&) = delete;

    // "domain: message", in the order logged.
    const QStringList& messages() const { return messages_; }

    // Adds a message to the innermost capture of this thread; false when there is none.
    static bool take(const QString& message);

private:
    QStringList messages_;
    GsfLogCapture* outer_;
};

}  // namespace spreadsheet
