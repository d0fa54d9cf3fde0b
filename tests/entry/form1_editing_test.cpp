#include <QBuffer>
#include <QDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

#include "entry/sample_data.h"
#include "form1_fixture.h"
#include "tests/common/test_classes.h"

namespace {

void moveMouseOver(QWidget* widget) {
    const QPointF local(widget->width() / 2.0, widget->height() / 2.0);
    QMouseEvent move(QEvent::MouseMove, local, widget->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A .cur file: an icon directory of type 2 whose entry carries the hot spot instead of planes and depth.
QByteArray cursorFile(int hotX, int hotY) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::black);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    bytes[2] = 2;
    bytes[10] = static_cast<char>(hotX);
    bytes[12] = static_cast<char>(hotY);
    return bytes;
}

}  // namespace

class Form1EditingTest : public QObject, public Form1Fixture {
    Q_OBJECT

    std::unique_ptr<entry::Form1> form_;

    // A started window, shown and active, with the focus in the given box.
    void start() {
        form_ = std::make_unique<entry::Form1>();
        form_->Form_Load();
        QVERIFY(showActive(*form_));
    }
    void enter(QLineEdit* box) {
        box->setFocus(Qt::TabFocusReason);
        QCoreApplication::processEvents();
        QCOMPARE(QApplication::focusWidget(), box);
    }

private slots:
    void init() { setUp(); }
    void cleanup() {
        form_.reset();
        tearDown();
    }

    void everyKeystrokeIsStoredAsTyped() {
        start();
        enter(form_->txtAmountAssets[1]);
        QCOMPARE(form_->txtAmountAssets[1]->selectedText(), QStringLiteral("$0.00"));
        QTest::keyClick(form_->txtAmountAssets[1], Qt::Key_1);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets1")), QStringLiteral("1"));
        QTest::keyClick(form_->txtAmountAssets[1], Qt::Key_5);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets1")), QStringLiteral("15"));
        QTest::keyClick(form_->txtAmountAssets[1], Qt::Key_Period);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets1")), QStringLiteral("15."));
        QTest::keyClick(form_->txtAmountAssets[1], Qt::Key_5);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets1")), QStringLiteral("15.5"));

        enter(form_->txtAssets[2]);
        QTest::keyClick(form_->txtAssets[2], Qt::Key_Delete);  // the whole text was selected on entry
        QCOMPARE(form_->txtAssets[2]->text(), QString());
        QCOMPARE(stored(QStringLiteral("txtAssets2")), QString());
        QCOMPARE(form_->txtAmountAssets[1]->text(), QStringLiteral("$15.50"));
        QCOMPARE(stored(QStringLiteral("txtAmountAssets1")), QStringLiteral("$15.50"));
        QVERIFY(messages.isEmpty());
    }

    // The message, then "$0.00" selected in the box, so that the next key typed replaces it: also where the
    // window does not get the activation back from the message box by itself, as on an X server without
    // a window manager.
    void leavingWithAnInvalidAmountAsksOnceAndKeepsTheFocus_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("activationReturns");
        for (const bool returns : {true, false}) {
            const char* how = returns ? "activation returns" : "no window active after the message";
            QTest::addRow("letters, %s", how) << "12abc" << returns;
            QTest::addRow("empty, %s", how) << "" << returns;
            QTest::addRow("two decimal points, %s", how) << "1.2.3" << returns;
            QTest::addRow("symbols inside the digits, %s", how) << "1$2$3" << returns;
            QTest::addRow("exponent, %s", how) << "2e306" << returns;
        }
    }
    void leavingWithAnInvalidAmountAsksOnceAndKeepsTheFocus() {
        QFETCH(QString, typed);
        QFETCH(bool, activationReturns);
        start();
        // A real modal box takes the activation away from the window and, with a window manager, gives it
        // back; that must not run the check of the box that has just received the focus.
        shell::MessageBoxes::setHandler([this, activationReturns](const shell::MessageRequest& request) {
            messages << request;
            QDialog box;
            box.show();
            QApplication::setActiveWindow(&box);
            QCoreApplication::processEvents();
            box.hide();
            QApplication::setActiveWindow(activationReturns ? form_.get() : nullptr);
            QCoreApplication::processEvents();
            return shell::MessageAnswer::Ok;
        });
        QLineEdit* box = form_->txtAmountL[2];
        enter(box);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, typed);
        // Leaving for the next amount box: that one must not be checked in turn.
        form_->txtAmountL[3]->clear();
        QTest::mouseClick(form_->txtAmountL[3], Qt::LeftButton);
        QCoreApplication::processEvents();

        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].text, QStringLiteral("Please enter a valid amount."));
        QCOMPARE(messages[0].title, QStringLiteral("Quillberry"));
        QCOMPARE(messages[0].icon, shell::MessageIcon::None);
        QCOMPARE(messages[0].buttons, shell::MessageButtons::Ok);
        QCOMPARE(box->text(), QStringLiteral("$0.00"));
        QCOMPARE(stored(QStringLiteral("txtAmountL2")), QStringLiteral("$0.00"));
        QCOMPARE(form_->focusWidget(), box);
        QCOMPARE(box->selectedText(), QStringLiteral("$0.00"));
        QCOMPARE(form_->txtAmountL[3]->text(), QString());

        // One digit, delivered to the window's focus box as the display server does.
        QTest::keyClick(box, Qt::Key_7);
        QCOMPARE(box->text(), QStringLiteral("7"));
        QCOMPARE(stored(QStringLiteral("txtAmountL2")), QStringLiteral("7"));
        QTRY_VERIFY(form_->isActiveWindow());
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->text(), QStringLiteral("$7.00"));
        QCOMPARE(messages.size(), 1);
    }

    // A click into a box of a window that is not the active one: the press places the caret first, the
    // activation comes after it (an X server without a window manager delivers them in this order).
    // Whatever the order, the box's text ends up selected and typing replaces it.
    void clickFromAnInactiveWindowSelectsTheText() {
        start();
        enter(form_->txtAssets[0]);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(!form_->isActiveWindow());

        QLineEdit* box = form_->txtAmountAssets[4];
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(4, box->height() / 2));
        QCOMPARE(form_->focusWidget(), box);
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCoreApplication::processEvents();
        QCOMPARE(box->selectedText(), QStringLiteral("$0.00"));

        QTest::keyClicks(box, QStringLiteral("42"));
        QTest::keyClick(box, Qt::Key_Tab);
        QCOMPARE(box->text(), QStringLiteral("$42.00"));
        QCOMPARE(stored(QStringLiteral("txtAmountAssets4")), QStringLiteral("$42.00"));

        // Coming back to the window with the focus still in the box selects its text as well.
        enter(box);
        box->deselect();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        form_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(form_.get()));
        QCoreApplication::processEvents();
        QCOMPARE(box->selectedText(), QStringLiteral("$42.00"));
        QVERIFY(messages.isEmpty());
    }

    void validAmountsAreShownInCurrencyForm_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("us negative") << "en_US"
                                     << "-5"
                                     << "($5.00)";
        QTest::newRow("us grouped") << "en_US"
                                    << "1234567.891"
                                    << "$1,234,567.89";
        QTest::newRow("us currency form unchanged") << "en_US"
                                                    << "$0.00"
                                                    << "$0.00";
        QTest::newRow("de negative") << "de_DE"
                                     << "-5" << QStringLiteral("-5,00\u00a0€");
        QTest::newRow("de comma") << "de_DE"
                                  << "1500,5" << QStringLiteral("1.500,50\u00a0€");
        QTest::newRow("de point sample style") << "de_DE"
                                               << "150.32" << QStringLiteral("150,32\u00a0€");
    }
    void validAmountsAreShownInCurrencyForm() {
        QFETCH(QString, locale);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        QLocale::setDefault(QLocale(locale));
        start();
        QLineEdit* box = form_->txtAmountAssets[7];
        enter(box);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(messages.isEmpty());
        QCOMPARE(box->text(), shown);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets7")), shown);
        QCOMPARE(QApplication::focusWidget(), form_->txtAssets[8]);
    }

    void tabbingThroughAFormattedAmountWritesNothing() {
        start();
        const QByteArray before = storeFile();
        enter(form_->txtAmountAssets[0]);
        QTest::keyClick(form_->txtAmountAssets[0], Qt::Key_Tab);
        QTest::keyClick(form_->txtAssets[1], Qt::Key_Tab);
        QTest::keyClick(form_->txtAmountAssets[1], Qt::Key_Tab);
        QVERIFY(messages.isEmpty());
        QCOMPARE(storeFile(), before);
    }

    void sampleDataTwiceEqualsOnce() {
        start();
        form_->dtpFrom->setDate(QDate(2023, 11, 30));
        form_->txtAssets[3]->setText(QStringLiteral("My own line"));
        form_->PushButton7->click();
        const QByteArray once = storeFile();
        const auto record = form_->statement();
        form_->PushButton7->click();
        QCOMPARE(storeFile(), once);
        QVERIFY(messages.isEmpty());

        QCOMPARE(record.name, QStringLiteral("John Doe"));
        QCOMPARE(record.date, QDate(2023, 11, 30));
        QCOMPARE(record.assetDescriptions[3], QStringLiteral("My own line"));
        QCOMPARE(record.assetDescriptions[0], QStringLiteral("Cash - checking accounts"));
        QCOMPARE(record.liabilityDescriptions[5], QStringLiteral("Other liabilities (specify)"));
        // Plain texts, exactly as given, until a box is left or the program restarts.
        QCOMPARE(record.assetAmounts[0], QStringLiteral("150.32"));
        QCOMPARE(record.assetAmounts[8], QStringLiteral("15000"));
        QCOMPARE(record.liabilityAmounts[5], QStringLiteral("798.41"));
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(stored(QStringLiteral("txtAmountAssets%1").arg(i)),
                     QString::fromUtf8(entry::sample::kAssetAmounts[i].data(),
                                       static_cast<qsizetype>(entry::sample::kAssetAmounts[i].size())));
        }
        QCOMPARE(stored(QStringLiteral("txtName")), QStringLiteral("John Doe"));
        QCOMPARE(stored(QStringLiteral("txtAssets3")), QStringLiteral("My own line"));

        form_.reset();
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        entry::Form1 restarted;
        restarted.Form_Load();
        QCOMPARE(restarted.txtAmountAssets[0]->text(), QStringLiteral("150,32\u00a0€"));
        QCOMPARE(restarted.txtAmountAssets[8]->text(), QStringLiteral("15.000,00\u00a0€"));
    }

    void pointerTurnsToTheHandOverButtonsUnlessBusy() {
        QFile cursor(program->filePath(QStringLiteral("HAND-M.CUR")));
        QVERIFY(cursor.open(QIODevice::WriteOnly));
        cursor.write(cursorFile(5, 2));
        cursor.close();
        start();
        QVERIFY(form_->mouseIcon().has_value());
        QCOMPARE(form_->mouseIcon()->hotSpot(), QPoint(5, 2));

        moveMouseOver(form_->PushButton6);
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Custom);
        QCOMPARE(form_->cursor().shape(), Qt::BitmapCursor);
        moveMouseOver(form_->lblYear(0));  // labels leave the pointer as it was
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Custom);
        moveMouseOver(form_->txtAssets[4]);
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Default);
        moveMouseOver(form_->PushButton22);
        moveMouseOver(form_->Frame2);
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Default);

        form_->setMousePointer(shell::MousePointer::Hourglass);
        QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);
        moveMouseOver(form_->PushButton7);
        moveMouseOver(form_.get());
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Hourglass);
        QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);
    }

    void withoutCursorFileTheCustomPointerIsTheArrow() {
        start();
        QVERIFY(!form_->mouseIcon().has_value());
        moveMouseOver(form_->PushButton7);
        QCOMPARE(form_->mousePointer(), shell::MousePointer::Custom);
        QCOMPARE(form_->cursor().shape(), Qt::ArrowCursor);
    }

    void helpShowsTheContactMessage() {
        start();
        form_->PushButton6->click();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].text.startsWith(QStringLiteral("Questions? Please contact Team Brackenlow at ")));
        QVERIFY(messages[0].text.size() > 45);
        QCOMPARE(messages[0].title, QStringLiteral("Quillberry"));
        QCOMPARE(messages[0].icon, shell::MessageIcon::None);
    }

    void generateButtonRunsTheHandlerWithTheShownStatement() {
        start();
        form_->PushButton22->click();  // no handler yet: nothing happens
        shell::StatementRecord seen;
        int calls = 0;
        form_->setGenerateHandler([&] {
            ++calls;
            seen = form_->statement();
        });
        form_->txtLiabilities[1]->setText(QStringLiteral("IOU"));
        form_->PushButton22->click();
        QCOMPARE(calls, 1);
        QCOMPARE(seen.liabilityDescriptions[1], QStringLiteral("IOU"));
        QCOMPARE(seen.assetAmounts[10], QStringLiteral("$0.00"));
    }

    void anUnwritableStoreIsToldOnceAndTheWindowKeepsTheText() {
        start();
        const QString blocker = config->filePath(QStringLiteral("blocked"));
        QFile block(blocker);
        QVERIFY(block.open(QIODevice::WriteOnly));
        block.close();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, blocker);
        enter(form_->txtAssets[0]);
        QTest::keyClicks(form_->txtAssets[0], QStringLiteral("Wallet"));
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].text.contains(QStringLiteral("Brackenlow.conf")));
        QCOMPARE(form_->txtAssets[0]->text(), QStringLiteral("Wallet"));
        QCOMPARE(form_->settingsStore().unsaved().value(QStringLiteral("txtAssets0")),
                 QStringLiteral("Wallet"));
    }
};

testing::TestClass form1EditingTests() {
    return testing::testClass<Form1EditingTest>();
}

#include "form1_editing_test.moc"
