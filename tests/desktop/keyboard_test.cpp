// Keyboard alone: Return and Enter press the focused button in both windows and in message boxes, and
// F4 or Alt+Down open the date picker's calendar.
#include <QApplication>
#include <QCalendarWidget>
#include <QDateEdit>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "desktop_fixture.h"
#include "entry/form1.h"
#include "preview/form2.h"
#include "tests/common/test_classes.h"

namespace {

bool showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// A key as a keyboard sends it: Enter is the keypad's.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (key == Qt::Key_Enter)
        modifiers |= Qt::KeypadModifier;
    QTest::keyClick(QApplication::focusWidget(), key, modifiers);
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

    DesktopFixture fixture;

private slots:
    void init() { fixture.setUp(); }
    void cleanup() { fixture.tearDown(); }

    void focusedButtonIsPressed_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("key");
        for (const char* button : {"PushButton22", "PushButton6", "PushButton7"}) {
            for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
                QTest::addRow("main %s %s", button, qPrintable(QKeySequence(key).toString()))
                    << "Form1" << button << int(key);
            }
        }
        for (const char* button : {"PushButton1", "PushButton2", "PushButton6", "PushButton8"}) {
            for (const auto key : {Qt::Key_Return, Qt::Key_Enter}) {
                QTest::addRow("preview %s %s", button, qPrintable(QKeySequence(key).toString()))
                    << "Form2" << button << int(key);
            }
        }
    }

    void focusedButtonIsPressed() {
        QFETCH(QString, window);
        QFETCH(QString, button);
        QFETCH(int, key);
        entry::Form1 main;
        main.Form_Load();
        int generated = 0;
        main.setGenerateHandler([&] { ++generated; });
        preview::Form2 preview;
        QWidget* target = &main;
        if (window == QLatin1String("Form2")) {
            preview.Form_Load();
            preview.setMainWindow(&main);
            preview.setSaveDialog(
                [](QWidget*, const QString&, const QString&, const QString&) { return QString(); });
            const auto generatedSheet = fixture.generate();
            preview.setPicture(generatedSheet.picture);
            preview.setExcelFile(generatedSheet.workbook);
            preview.rearmFirstShow();
            target = &preview;
        }
        QVERIFY(showActive(*target));
        auto* pushButton = target->findChild<QPushButton*>(button);
        QVERIFY(pushButton);
        pushButton->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), pushButton);

        QSignalSpy clicked(pushButton, &QPushButton::clicked);
        press(Qt::Key(key));
        QCOMPARE(clicked.count(), 1);
        if (button == QLatin1String("PushButton22"))
            QCOMPARE(generated, 1);
        if (button == QLatin1String("PushButton2"))
            QCOMPARE(preview.view().zoom(), 0.75f);
    }

    // The real boxes, not the test seam: the focused button answers.
    void messageBoxAnswersWithFocusedButton_data() {
        QTest::addColumn<bool>("yesNo");
        QTest::addColumn<int>("focused");  // QMessageBox::StandardButton
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("answer");  // shell::MessageAnswer
        using A = shell::MessageAnswer;
        QTest::newRow("Return on Yes") << true << int(QMessageBox::Yes) << int(Qt::Key_Return) << int(A::Yes);
        QTest::newRow("Return on No") << true << int(QMessageBox::No) << int(Qt::Key_Return) << int(A::No);
        QTest::newRow("Enter on No") << true << int(QMessageBox::No) << int(Qt::Key_Enter) << int(A::No);
        QTest::newRow("Enter on Yes") << true << int(QMessageBox::Yes) << int(Qt::Key_Enter) << int(A::Yes);
        QTest::newRow("Return on OK") << false << int(QMessageBox::Ok) << int(Qt::Key_Return) << int(A::Ok);
    }

    void messageBoxAnswersWithFocusedButton() {
        QFETCH(bool, yesNo);
        QFETCH(int, focused);
        QFETCH(int, key);
        QFETCH(int, answer);
        const shell::MessageRequest request{
            QStringLiteral("Are you sure you wish to overwrite x ?"), QStringLiteral("Quillberry"),
            yesNo ? shell::MessageButtons::YesNo : shell::MessageButtons::Ok, shell::MessageIcon::None};
        const auto box = shell::MessageBoxes::create(request);
        QVERIFY(showActive(*box));
        QAbstractButton* button = box->button(QMessageBox::StandardButton(focused));
        QVERIFY(button);
        button->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), button);
        press(Qt::Key(key));
        QVERIFY(!box->isVisible());
        QCOMPARE(box->clickedButton(), button);
        QCOMPARE(int(shell::MessageBoxes::answerOf(request, *box)), answer);
    }

    void datePickerKeys_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        QTest::newRow("F4 opens the calendar") << int(Qt::Key_F4) << int(Qt::NoModifier) << true;
        QTest::newRow("Alt+Down opens the calendar") << int(Qt::Key_Down) << int(Qt::AltModifier) << true;
        QTest::newRow("Down alone steps the day") << int(Qt::Key_Down) << int(Qt::NoModifier) << false;
    }

    void datePickerKeys() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        entry::Form1 main;
        main.Form_Load();
        QVERIFY(showActive(main));
        auto* picker = main.findChild<QDateEdit*>(QStringLiteral("dtpFrom"));
        QVERIFY(picker);
        const QDate start(2024, 3, 5);
        picker->setDate(start);
        picker->setFocus(Qt::TabFocusReason);
        picker->setCurrentSection(QDateTimeEdit::DaySection);

        press(Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QWidget* popup = picker->calendarWidget()->window();
        QCOMPARE(popup->isVisible(), opens);
        if (!opens) {
            QCOMPARE(picker->date(), start.addDays(-1));
            return;
        }
        QCOMPARE(picker->date(), start);
        QCOMPARE(picker->calendarWidget()->selectedDate(), start);

        // In the calendar: Escape leaves the date as it was; arrows and Return pick another.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(!popup->isVisible());
        QCOMPARE(picker->date(), start);

        press(Qt::Key_F4);
        QVERIFY(popup->isVisible());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QVERIFY(!popup->isVisible());
        QCOMPARE(picker->date(), start.addDays(1));
    }
};

testing::TestClass keyboardTests() {
    return testing::testClass<KeyboardTest>();
}

#include "keyboard_test.moc"
