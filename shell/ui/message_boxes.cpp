#include "shell/ui/message_boxes.h"

#include <QMessageBox>

#include "shell/core/app_title.h"

namespace shell {

namespace {
MessageBoxes::Handler& currentHandler() {
    static MessageBoxes::Handler handler;
    return handler;
}
}  // namespace

MessageAnswer MessageBoxes::show(const MessageRequest& request, QWidget* parent) {
    if (currentHandler())
        return currentHandler()(request);
    const std::unique_ptr<QMessageBox> box = create(request, parent);
    box->exec();
    return answerOf(request, *box);
}

std::unique_ptr<QMessageBox> MessageBoxes::create(const MessageRequest& request, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(request.title);
    // The report texts use CR LF and bare CRs as line breaks; a label breaks lines only at LF.
    QString shown = request.text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box->setText(shown);
    box->setIcon(request.icon == MessageIcon::Exclamation ? QMessageBox::Warning : QMessageBox::NoIcon);
    if (request.buttons == MessageButtons::YesNo) {
        box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box->setDefaultButton(QMessageBox::Yes);
    } else {
        box->setStandardButtons(QMessageBox::Ok);
    }
    // A dialog's buttons take Return and Enter when they have the focus (they are auto-default), so Tab
    // to No and Return answers No.
    return box;
}

MessageAnswer MessageBoxes::answerOf(const MessageRequest& request, const QMessageBox& box) {
    if (request.buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? MessageAnswer::Yes : MessageAnswer::No;
}

void MessageBoxes::inform(const QString& text, QWidget* parent) {
    show({text, applicationTitle(), MessageButtons::Ok, MessageIcon::None}, parent);
}

bool MessageBoxes::askYesNo(const QString& text, QWidget* parent) {
    return show({text, applicationTitle(), MessageButtons::YesNo, MessageIcon::None}, parent) ==
           MessageAnswer::Yes;
}

void MessageBoxes::setHandler(Handler handler) {
    currentHandler() = std::move(handler);
}

}  // namespace shell
