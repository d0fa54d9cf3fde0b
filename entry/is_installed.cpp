#include "entry/is_installed.h"

#include <QStringList>

#include "generation/automation.h"
#include "shell/core/shutdown.h"
#include "shell/ui/message_boxes.h"

namespace entry {

QString excelMissingMessage() {
    return QStringList{
        QStringLiteral("Error 842001. A normal instance of Excel could not be created."),
        QStringLiteral("1. Please make sure Excel is installed on this computer."),
        QStringLiteral(
            "2. Please open Excel normally and make sure a blank spreadsheet opens immediately without "
            "any interrupting window (such as an Excel file recovery window)."),
        QStringLiteral(
            "3. Please make sure that when you double-click on a XLS or XLSX file that Excel opens "
            "normally without any interrupting messages."),
        QStringLiteral("4. All versions of Excel are supported by this software except for the rare Excel "
                       "Starter and Student editions.")}
        .join(QStringLiteral("\r\n\r\n"));
}

void RequireExcel() {
    bool created = false;
    try {
        created = generation::CreateObject(QStringLiteral("Excel.Application")) != nullptr;
    } catch (...) {
        // Any failure to create the instance means the same to the user.
    }
    if (created)
        return;
    shell::MessageBoxes::inform(excelMissingMessage());
    shell::EndProgram();
}

}  // namespace entry
