#include <QTest>
#include <stdexcept>

#include "shell/core/app_title.h"
#include "shell/core/error_report.h"
#include "shell/core/product.h"
#include "shell/ui/dialog_reporters.h"
#include "shell/ui/message_boxes.h"
#include "tests/common/test_classes.h"

class ErrorReportTest : public QObject {
    Q_OBJECT

    QList<shell::MessageRequest> messages_;

private slots:
    void init() {
        messages_.clear();
        shell::installDialogReporters();
        shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
            messages_ << request;
            return shell::MessageAnswer::Ok;
        });
    }
    void cleanup() {
        shell::MessageBoxes::setHandler({});
        shell::setErrorReporter({});
    }

    void reportTextIsExact() {
        const QString text =
            shell::ErrorReport{QStringLiteral("Type mismatch"),
                               shell::locationText(QStringLiteral("Form1"), QStringLiteral("Form_Load")), 132}
                .text();
        QCOMPARE(text,
                 QStringLiteral("Type mismatch\r\nin Tallowmere2021/08/31.Form1.Form_Load at line 132\r\r"
                                "Please email screenshot of this message to ") +
                     shell::product::kSupportAddress);
    }

    void failingStepIsReportedAndTheProcedureGoesOn() {
        shell::Procedure p(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
        QStringList ran;
        const auto nested = [] { throw shell::RuntimeError(QStringLiteral("Object required")); };
        QVERIFY(p.step(100, [&] { ran << "100"; }));
        QVERIFY(!p.step(102, [&] {
            nested();
            ran << "after throw";
        }));
        QVERIFY(!p.step(104, [] { throw std::out_of_range("index"); }));
        QVERIFY(p.step(106, [&] { ran << "106"; }));
        QCOMPARE(ran, (QStringList{"100", "106"}));
        QCOMPARE(messages_.size(), 2);
        QCOMPARE(messages_[0].title, QStringLiteral("Application Error"));
        QCOMPARE(messages_[0].icon, shell::MessageIcon::Exclamation);
        QCOMPARE(messages_[0].buttons, shell::MessageButtons::Ok);
        QVERIFY(messages_[0].text.startsWith(QStringLiteral(
            "Object required\r\nin Tallowmere2021/08/31.Form1.PushButton7_Click at line 102\r\r")));
        QVERIFY(messages_[1].text.startsWith(QStringLiteral("index\r\n")));
        QVERIFY(messages_[1].text.contains(QStringLiteral("at line 104\r\r")));
    }

    void titleRule_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::newRow("no blank keeps the whole name") << "Quillberry"
                                                       << "Quillberry";
        QTest::newRow("short name still loses its last word") << "Quillberry Statement Maker"
                                                              << "Quillberry Statement";
        QTest::newRow("long name cut to 40")
            << "Quillberry Personal Financial Statement Builder Deluxe Edition"
            << "Quillberry Personal Financial Statement";
        QTest::newRow("exactly 41 after one cut") << "Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd E2 F"
                                                  << "Aaaaaaaaa Bbbbbbbbb Ccccccccc Ddddddddd";
        QTest::newRow("no blank longer than 40")
            << QString(45, QLatin1Char('Q')) << QString(45, QLatin1Char('Q'));
    }
    void titleRule() {
        QFETCH(QString, name);
        QFETCH(QString, title);
        const QString shortened = shell::shortenedTitle(name);
        QCOMPARE(shortened, title);
    }
};

testing::TestClass errorReportTests() {
    return testing::testClass<ErrorReportTest>();
}

#include "error_report_test.moc"
