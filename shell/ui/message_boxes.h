#pragma once

#include <QString>
#include <functional>
#include <memory>

class QMessageBox;
class QWidget;

namespace shell {

enum class MessageButtons { Ok, YesNo };
enum class MessageIcon { None, Exclamation };
enum class MessageAnswer { Ok, Yes, No };

struct MessageRequest {
    QString text;
    QString title;
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
};

// Every modal message of the program goes through here, so that tests can answer them without a screen.
class MessageBoxes {
public:
    using Handler = std::function<MessageAnswer(const MessageRequest&)>;

    static MessageAnswer show(const MessageRequest& request, QWidget* parent = nullptr);

    // The box show() runs, before it runs: its buttons, text, icon and caption.
    static std::unique_ptr<QMessageBox> create(const MessageRequest& request, QWidget* parent = nullptr);
    // The answer a box finished with.
    static MessageAnswer answerOf(const MessageRequest& request, const QMessageBox& box);

    // Shorthands for the two kinds the program uses; the caption is the application title.
    static void inform(const QString& text, QWidget* parent = nullptr);
    static bool askYesNo(const QString& text, QWidget* parent = nullptr);

    // Replaces the real message boxes; an empty handler brings them back.
    static void setHandler(Handler handler);
};

}  // namespace shell
