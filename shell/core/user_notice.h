#pragma once

#include <QString>
#include <functional>

namespace shell {

// Tells the user something that is not a procedure's error report (a store that cannot be saved, say).
// The windows show it in a message box; without windows the default writes it to standard error.
void tellUser(const QString& text);

using UserNoticeHandler = std::function<void(const QString& text)>;
void setUserNoticeHandler(UserNoticeHandler handler);

}  // namespace shell
