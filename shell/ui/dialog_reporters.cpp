#include "shell/ui/dialog_reporters.h"

#include "shell/core/error_report.h"
#include "shell/core/user_notice.h"
#include "shell/ui/message_boxes.h"

namespace shell {

void installDialogReporters() {
    setErrorReporter([](const ErrorReport& report) {
        MessageBoxes::show({report.text(), QStringLiteral("Application Error"), MessageButtons::Ok,
                            MessageIcon::Exclamation});
    });
    setUserNoticeHandler([](const QString& text) { MessageBoxes::inform(text); });
}

}  // namespace shell
