#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <optional>

#include "form1_fixture.h"
#include "shell/core/statement.h"
#include "shell/core/stored_statement.h"
#include "shell/ui/window_colours.h"
#include "shell/ui/window_placement.h"
#include "tests/common/file_system_faults.h"
#include "tests/common/test_classes.h"

namespace {

const auto& kAssetDescriptions = shell::kBuiltInAssetDescriptions;
const auto& kLiabilityDescriptions = shell::kBuiltInLiabilityDescriptions;

QColor colourAt(QWidget* widget, QPoint point) {
    return widget->grab().toImage().pixelColor(point);
}

}  // namespace

class Form1StartupTest : public QObject, public Form1Fixture {
    Q_OBJECT

private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void layoutFollowsTheDesign() {
        entry::Form1 form;
        QCOMPARE(form.size(), QSize(536, 631));
        QCOMPARE(form.minimumSize(), form.maximumSize());
        QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(form.PushButton22->font().pointSizeF(), 11.25);
        QCOMPARE(form.dtpFrom->displayFormat(), QStringLiteral("dd-MMM-yyyy"));
        // Rows are 21 pixels apart and 22 high: neighbouring boxes overlap by one pixel.
        QCOMPARE(form.txtAssets[10]->geometry(), QRect(18, 41 + 210, 370, 22));
        QCOMPARE(form.txtAmountL[5]->geometry(), QRect(387, 41 + 105, 112, 22));
        QCOMPARE(form.txtAmountL[5]->parentWidget(), form.Frame3);
        QCOMPARE(form.lblYear(13)->text(), QStringLiteral("Amount"));
        QCOMPARE(form.lblYear(2), nullptr);
    }

    void firstStartOnAnEmptyStore_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("zero");
        QTest::newRow("en_US") << "en_US"
                               << "$0.00";
        QTest::newRow("de_DE") << "de_DE" << QStringLiteral("0,00\u00a0€");
    }
    void firstStartOnAnEmptyStore() {
        QFETCH(QString, locale);
        QFETCH(QString, zero);
        QLocale::setDefault(QLocale(locale));
        entry::Form1 form;
        form.Form_Load();
        QVERIFY2(messages.isEmpty(), messages.isEmpty() ? "" : qPrintable(messages.first().text));
        QCOMPARE(endProgramCalls, 0);
        QCOMPARE(form.windowTitle(), QStringLiteral("Quillberry"));
        QCOMPARE(shell::applicationTitle(), QStringLiteral("Quillberry"));
        const auto record = form.statement();
        QCOMPARE(record.name, QString());
        QCOMPARE(record.date, QDate::currentDate());
        for (int i = 0; i < 11; ++i) {
            QCOMPARE(record.assetDescriptions[i], kAssetDescriptions[i]);
            QCOMPARE(record.assetAmounts[i], zero);
            QCOMPARE(stored(QStringLiteral("txtAmountAssets%1").arg(i)), zero);
            // Unchanged descriptions are not written.
            QCOMPARE(stored(QStringLiteral("txtAssets%1").arg(i)), QStringLiteral("<missing>"));
        }
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(record.liabilityDescriptions[i], kLiabilityDescriptions[i]);
            QCOMPARE(record.liabilityAmounts[i], zero);
            QCOMPARE(stored(QStringLiteral("txtAmountL%1").arg(i)), zero);
        }
        QCOMPARE(shell::dateFromStoreText(stored(QStringLiteral("dtpFrom"))),
                 std::optional(QDate::currentDate()));
    }

    void restartRestoresEverything_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("formatted");
        QTest::newRow("en_US 2024") << "en_US" << QDate(2024, 3, 5) << "$1,500.00";
        QTest::newRow("en_US 1950") << "en_US" << QDate(1950, 7, 1) << "$1,500.00";
        QTest::newRow("de_DE 2024") << "de_DE" << QDate(2024, 3, 5) << QStringLiteral("1.500,00\u00a0€");
        QTest::newRow("de_DE 1950") << "de_DE" << QDate(1950, 7, 1) << QStringLiteral("1.500,00\u00a0€");
    }
    void restartRestoresEverything() {
        QFETCH(QString, locale);
        QFETCH(QDate, date);
        QFETCH(QString, formatted);
        QLocale::setDefault(QLocale(locale));
        {
            entry::Form1 form;
            form.Form_Load();
            form.txtName->setText(QStringLiteral("Jane Roe"));
            form.dtpFrom->setDate(date);
            form.txtAssets[9]->setText(QStringLiteral("Boat"));
            form.txtAssets[10]->clear();
            form.txtLiabilities[4]->setText(QStringLiteral("Car loan"));
            form.txtAmountAssets[3]->setText(QStringLiteral("1500"));
        }
        entry::Form1 form;
        form.Form_Load();
        QVERIFY(messages.isEmpty());
        const auto record = form.statement();
        QCOMPARE(record.name, QStringLiteral("Jane Roe"));
        QCOMPARE(record.date, date);
        QCOMPARE(record.assetDescriptions[9], QStringLiteral("Boat"));
        QCOMPARE(record.assetDescriptions[10], QString());
        QCOMPARE(record.liabilityDescriptions[4], QStringLiteral("Car loan"));
        QCOMPARE(record.liabilityDescriptions[5], kLiabilityDescriptions[5]);
        // The raw amount comes back in currency form, and that form is stored in turn.
        QCOMPARE(record.assetAmounts[3], formatted);
        QCOMPARE(stored(QStringLiteral("txtAmountAssets3")), formatted);

        // A third start reads the currency form itself and keeps its value.
        entry::Form1 third;
        third.Form_Load();
        QCOMPARE(third.txtAmountAssets[3]->text(), formatted);
        QCOMPARE(third.dtpFrom->date(), date);
    }

    void aKilledProcessLosesNothing() {
        // The child writes into the same temporary store: it uses the XDG configuration folder.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config->path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess child;
        child.setProcessEnvironment(env);
        child.start(QStringLiteral(QB_FORM1_CHILD), {QStringLiteral("edit")});
        QVERIFY(child.waitForStarted());
        QVERIFY(child.waitForReadyRead(60000));
        QCOMPARE(child.readLine().trimmed(), QByteArray("ready"));
        child.kill();  // SIGKILL: no clean-up of any kind runs
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        QProcess restart;
        restart.setProcessEnvironment(env);
        restart.start(QStringLiteral(QB_FORM1_CHILD), {QStringLiteral("dump")});
        QVERIFY(restart.waitForFinished(60000));
        const QString out = QString::fromUtf8(restart.readAllStandardOutput());
        QVERIFY2(out.contains(QStringLiteral("name=Jane Roe\n")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("asset10=\n")), qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("liability5=($42.50)\n")), qPrintable(out));
    }

    void tabOrderAfterStartUp() {
        entry::Form1 form;
        form.Form_Load();
        QVERIFY(showActive(form));
        QList<QWidget*> expected{form.PushButton22, form.dtpFrom, form.txtAssets[0], form.txtName,
                                 form.txtAmountAssets[0]};
        for (int i = 1; i < 11; ++i)
            expected << form.txtAssets[i] << form.txtAmountAssets[i];
        for (int i = 0; i < 6; ++i)
            expected << form.txtLiabilities[i] << form.txtAmountL[i];
        expected << form.PushButton6 << form.PushButton7 << form.PushButton22;

        QCOMPARE(QApplication::focusWidget(), form.PushButton22);  // the first stop has the focus at start
        QList<QWidget*> visited{QApplication::focusWidget()};
        for (qsizetype i = 1; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget();
        }
        QCOMPARE(visited, expected);
        QVERIFY(messages.isEmpty());  // every amount shows a currency form: no check complains

        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget(), form.PushButton7);
    }

    void withoutAnySpreadsheetApplicationTheProgramEnds() {
        generation::setObjectFactory(
            [](const QString&) { return std::shared_ptr<generation::Application>(); });
        entry::Form1 form;
        form.Form_Load();
        QCOMPARE(endProgramCalls, 1);
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].title, QStringLiteral("Quillberry"));
        QCOMPARE(messages[0].icon, shell::MessageIcon::None);
        QCOMPARE(messages[0].buttons, shell::MessageButtons::Ok);
        const QStringList paragraphs = messages[0].text.split(QStringLiteral("\r\n\r\n"));
        QCOMPARE(paragraphs.size(), 5);
        QCOMPARE(paragraphs[0],
                 QStringLiteral("Error 842001. A normal instance of Excel could not be created."));
        QCOMPARE(paragraphs[1], QStringLiteral("1. Please make sure Excel is installed on this computer."));
        QVERIFY(
            paragraphs[2].startsWith(QStringLiteral("2. Please open Excel normally and make sure a blank")));
        QVERIFY(paragraphs[3].endsWith(
            QStringLiteral("Excel opens normally without any interrupting messages.")));
        QCOMPARE(paragraphs[4],
                 QStringLiteral("4. All versions of Excel are supported by this software except for "
                                "the rare Excel Starter and Student editions."));
        // The check comes last: the statement was restored and written back before it.
        QCOMPARE(stored(QStringLiteral("txtAmountL5")), QStringLiteral("$0.00"));
    }

    void unreadableStoredValuesAreReportedAndTheRestStillLoads() {
        store(QStringLiteral("dtpFrom"), QStringLiteral("not a date"));
        store(QStringLiteral("txtAmountAssets4"), QStringLiteral("12abc"));
        store(QStringLiteral("txtAmountAssets5"), QStringLiteral("$1,500.00"));
        store(QStringLiteral("txtAmountAssets7"), QStringLiteral("$inf"));
        store(QStringLiteral("txtAmountL0"), QStringLiteral("1 2 3"));
        const QByteArray before = storeFile();
        entry::Form1 form;
        form.Form_Load();
        QCOMPARE(messages.size(), 4);
        QCOMPARE(messages[0].title, QStringLiteral("Application Error"));
        QVERIFY(messages[0].text.contains(
            QStringLiteral("in Tallowmere2021/08/31.Form1.Form_Load at line 132\r\r")));
        QVERIFY(messages[0].text.contains(QStringLiteral("Type mismatch")));
        QVERIFY(messages[1].text.contains(QStringLiteral("Form1.Form_Load at line 140\r\r")));
        QVERIFY(messages[2].text.contains(QStringLiteral("Form1.Form_Load at line 140\r\r")));
        QVERIFY(messages[3].text.contains(QStringLiteral("Form1.Form_Load at line 156\r\r")));
        QCOMPARE(form.dtpFrom->date(), QDate(2010, 1, 21));
        QCOMPARE(form.txtAmountAssets[4]->text(), QString());
        QCOMPARE(form.txtAmountAssets[5]->text(), QStringLiteral("$1,500.00"));
        QCOMPARE(form.txtAmountAssets[6]->text(), QStringLiteral("$0.00"));
        QCOMPARE(form.txtAmountAssets[7]->text(), QString());
        QCOMPARE(form.txtAmountL[0]->text(), QString());
        QCOMPARE(endProgramCalls, 0);
        // What could not be read stays in the store as it was; only the missing amounts were added.
        for (const char* key : {"dtpFrom", "txtAmountAssets4", "txtAmountAssets7", "txtAmountL0"})
            QVERIFY(before.contains(QByteArray(key) + '=' + stored(QString::fromLatin1(key)).toUtf8()));
    }

    // The window and the command-line export restore through one routine: from the same store they show
    // the same statement, or report the same lines.
    void windowAndExportRestoreAlike_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("fields");  // key=text, as the store holds them
        QTest::addColumn<QList<int>>("lines");    // the lines reported
        QTest::newRow("empty store") << "en_US" << QStringList{} << QList<int>{};
        QTest::newRow("every kind of field")
            << "en_US"
            << QStringList{"txtName=Jane Roe",    "dtpFrom=3/5/2024",      "txtAssets3=Boat",
                           "txtAssets10=",        "txtAmountAssets3=1500", "txtAmountAssets4=$2.50",
                           "txtAmountL5=($42.50)"}
            << QList<int>{};
        QTest::newRow("German settings")
            << "de_DE" << QStringList{"dtpFrom=05.03.2024", "txtAmountAssets0=1.500,25", "txtAmountL1=150.32"}
            << QList<int>{};
        QTest::newRow("stored under US settings, read under German")
            << "de_DE"
            << QStringList{"Locale=en_US", "dtpFrom=3/5/2024", "txtAmountAssets0=1.234",
                           "txtAmountL1=$1,500.00", "txtAmountL2=($5.00)"}
            << QList<int>{};
        QTest::newRow("stored by cron's C, read under French")
            << "fr_FR" << QStringList{"Locale=C", "dtpFrom=5 Mar 2024", "txtAmountAssets0=1234.50"}
            << QList<int>{};
        QTest::newRow("German text under a US record")
            << "en_US" << QStringList{"Locale=en_US", "dtpFrom=05.03.2024", "txtAmountAssets0=1.500,25"}
            << QList<int>{132, 140};
        QTest::newRow("no date, no amounts")
            << "en_US" << QStringList{"dtpFrom=soon", "txtAmountAssets4=12abc", "txtAmountL0=1 2 3"}
            << QList<int>{132, 140, 156};
        QTest::newRow("a date before 1900")
            << "en_US" << QStringList{"dtpFrom=12/31/1899"} << QList<int>{132};
    }
    void windowAndExportRestoreAlike() {
        QFETCH(QString, locale);
        QFETCH(QStringList, fields);
        QFETCH(QList<int>, lines);
        QLocale::setDefault(QLocale(locale));
        for (const QString& field : fields)
            store(field.section(u'=', 0, 0), field.section(u'=', 1));
        const auto reportedLines = [this] {
            QList<int> reported;
            for (const auto& message : std::as_const(messages))
                reported << QRegularExpression(QStringLiteral("at line (\\d+)"))
                                .match(message.text)
                                .captured(1)
                                .toInt();
            messages.clear();
            return reported;
        };
        // The export first: it reads the store without writing to it.
        const auto exported = shell::LoadStoredStatement(shell::SettingsStore());
        QCOMPARE(reportedLines(), lines);
        entry::Form1 form;
        form.Form_Load();
        QCOMPARE(reportedLines(), lines);
        QCOMPARE(exported.has_value(), lines.isEmpty());
        if (!exported)
            return;
        const auto shown = form.statement();
        QCOMPARE(exported->name, shown.name);
        QCOMPARE(exported->date, shown.date);
        for (size_t i = 0; i < shown.assetAmounts.size(); ++i) {
            QCOMPARE(exported->assetDescriptions[i], shown.assetDescriptions[i]);
            QCOMPARE(exported->assetAmounts[i], shown.assetAmounts[i]);
        }
        for (size_t i = 0; i < shown.liabilityAmounts.size(); ++i) {
            QCOMPARE(exported->liabilityDescriptions[i], shown.liabilityDescriptions[i]);
            QCOMPARE(exported->liabilityAmounts[i], shown.liabilityAmounts[i]);
        }
    }

    // Started under other regional settings, the window shows what was stored in today's form and stores
    // it so, with today's locale beside it; started again under the first settings, nothing has changed.
    void aChangeOfRegionalSettingsKeepsTheMeaning() {
        for (const auto& [key, text] : {std::pair{"Locale", "en_US"},
                                        {"dtpFrom", "3/5/2024"},
                                        {"txtAmountAssets0", "1.234"},
                                        {"txtAmountAssets1", "$1,500.00"},
                                        {"txtAmountL0", "($5.00)"}})
            store(QString::fromLatin1(key), QString::fromLatin1(text));
        const QString euro = QStringLiteral("\u00a0€");
        QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
        {
            entry::Form1 form;
            form.Form_Load();
            QCOMPARE(form.dtpFrom->date(), QDate(2024, 3, 5));
            QCOMPARE(form.txtAmountAssets[0]->text(), QStringLiteral("1,23") + euro);
            QCOMPARE(form.txtAmountAssets[1]->text(), QStringLiteral("1.500,00") + euro);
            QCOMPARE(form.txtAmountL[0]->text(), QStringLiteral("-5,00") + euro);
        }
        QCOMPARE(stored(QStringLiteral("Locale")), QStringLiteral("de_DE"));
        QCOMPARE(stored(QStringLiteral("dtpFrom")), QStringLiteral("05.03.2024"));
        QCOMPARE(stored(QStringLiteral("txtAmountAssets0")), QStringLiteral("1,23") + euro);

        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        entry::Form1 again;
        again.Form_Load();
        QCOMPARE(again.dtpFrom->date(), QDate(2024, 3, 5));
        QCOMPARE(again.txtAmountAssets[0]->text(), QStringLiteral("$1.23"));
        QCOMPARE(again.txtAmountAssets[1]->text(), QStringLiteral("$1,500.00"));
        QCOMPARE(again.txtAmountL[0]->text(), QStringLiteral("($5.00)"));
        QCOMPARE(stored(QStringLiteral("Locale")), QStringLiteral("en_US"));
        QVERIFY(messages.isEmpty());
    }

    // On a screen too small for the window (twice the scale on 1280x1024, or smaller) its content scrolls
    // and every control can be brought into view, in the same tab order; where it fits nothing changes.
    void aWindowTooLargeForItsScreenScrolls_data() {
        QTest::addColumn<QSize>("room");
        QTest::newRow("fits") << QSize(1280, 1000);
        QTest::newRow("exactly") << QSize(536, 631);
        QTest::newRow("1280x1024 at scale 2") << QSize(640, 512 - 30);
        QTest::newRow("tiny") << QSize(300, 200);
    }
    void aWindowTooLargeForItsScreenScrolls() {
        QFETCH(QSize, room);
        entry::Form1 form;
        form.Form_Load();
        const auto tabOrder = [&form] {
            QList<QWidget*> order;
            for (QWidget* w = form.nextInFocusChain(); w != &form; w = w->nextInFocusChain())
                if (w->focusPolicy() & Qt::TabFocus)
                    order << w;
            return order;
        };
        const QList<QWidget*> before = tabOrder();
        const QSize design = form.size();
        QVERIFY(showActive(form));  // on the test's screen, where it fits
        shell::fitWithin(&form, room);
        if (design.width() <= room.width() && design.height() <= room.height()) {
            QCOMPARE(form.size(), design);
            QCOMPARE(form.Frame2->parentWidget(), &form);
            return;
        }
        QVERIFY(form.width() <= room.width() && form.height() <= room.height());
        QCOMPARE(tabOrder(), before);
        const QList<QWidget*> controls = form.findChildren<QWidget*>();
        int reached = 0;
        for (QWidget* control : controls) {
            const bool partOfPicker = qobject_cast<QDateEdit*>(control->parentWidget()) != nullptr;
            if (partOfPicker || !(qobject_cast<QLineEdit*>(control) || qobject_cast<QPushButton*>(control) ||
                                  qobject_cast<QDateEdit*>(control)))
                continue;
            // As the keyboard reaches it: the focus brings it (a box: where its text cursor is) into view.
            control->setFocus(Qt::TabFocusReason);
            QCoreApplication::processEvents();
            const QRect shown(control->mapTo(&form, QPoint(0, 0)), control->size());
            QVERIFY2(form.rect().intersects(shown), qPrintable(control->objectName()));
            ++reached;
        }
        QCOMPARE(reached, 3 + 1 + 1 + 2 * shell::kAssetLines + 2 * shell::kLiabilityLines);
        form.txtAmountAssets[0]->setFocus(Qt::TabFocusReason);  // no check runs as the focus leaves
    }

    // The picker holds the dates of a workbook's 1900 date system; a stored date outside them is as
    // unreadable as any text that is no date.
    void storedDatesWithinTheWorkbookRangeOnly_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDate>("date");  // invalid: reported at line 132
        QTest::newRow("first day") << "1/1/1900" << QDate(1900, 1, 1);
        QTest::newRow("last day") << "12/31/9999" << QDate(9999, 12, 31);
        QTest::newRow("day before") << "12/31/1899" << QDate();
        QTest::newRow("long before") << "9/14/1752" << QDate();
        QTest::newRow("ISO before") << "1899-12-31" << QDate();
        QTest::newRow("no date") << "soon" << QDate();
    }
    void storedDatesWithinTheWorkbookRangeOnly() {
        QFETCH(QString, text);
        QFETCH(QDate, date);
        store(QStringLiteral("dtpFrom"), text);
        entry::Form1 form;
        QCOMPARE(form.dtpFrom->minimumDate(), QDate(1900, 1, 1));
        QCOMPARE(form.dtpFrom->maximumDate(), QDate(9999, 12, 31));
        form.Form_Load();
        if (date.isValid()) {
            QVERIFY(messages.isEmpty());
            QCOMPARE(form.dtpFrom->date(), date);
        } else {
            QCOMPARE(messages.size(), 1);
            QVERIFY(messages[0].text.contains(QStringLiteral("Form1.Form_Load at line 132\r\r")));
            QCOMPARE(form.dtpFrom->date(), QDate(2010, 1, 21));
            QCOMPARE(stored(QStringLiteral("dtpFrom")), text);
        }
        form.dtpFrom->setDate(QDate(1899, 12, 31));
        QVERIFY(form.dtpFrom->date() >= QDate(1900, 1, 1));
    }

    // Texts come back exactly as stored, whatever their length and however QSettings would read them,
    // and an edit writes them back whole.
    void storedTextsComeBackWhole_data() {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("line");  // as in the file; empty: the text written by QSettings
        QTest::addColumn<QString>("text");
        QString name;
        const QString piece = QStringLiteral("Jane \"Q\" Müller, Esq.; née Roe = 😀 @x ");
        while (name.size() < 100000)
            name += piece;
        name.truncate(100000);
        if (name.back().isHighSurrogate())
            name.back() = QLatin1Char('.');
        QTest::newRow("100,000-character name") << "txtName"
                                                << "txtName" << QByteArray() << name;
        QTest::newRow("list-like description") << "txtAssets_3"
                                               << "txtAssets3" << QByteArray("a, b, c") << "a, b, c";
        QTest::newRow("serialised-looking description")
            << "txtLiabilities_1"
            << "txtLiabilities1" << QByteArray("@Variant(AAAAfwAA)") << "@Variant(AAAAfwAA)";
        QTest::newRow("list-like amount") << "txtAmountAssets_2"
                                          << "txtAmountAssets2" << QByteArray("1,500, 20") << QString();
    }
    void storedTextsComeBackWhole() {
        QFETCH(QString, box);
        QFETCH(QString, key);
        QFETCH(QByteArray, line);
        QFETCH(QString, text);
        if (line.isEmpty()) {
            store(key, text);
        } else {
            QVERIFY(QDir().mkpath(QFileInfo(shell::SettingsStore::fileName()).path()));
            QFile file(shell::SettingsStore::fileName());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("[Quillberry]\n" + key.toLatin1() + '=' + line + '\n');
        }
        const QString stored = shell::SettingsStore().read(key, QStringLiteral("<missing>"));
        {
            entry::Form1 form;
            form.Form_Load();
            auto* edit = form.findChild<QLineEdit*>(box);
            QVERIFY(edit);
            if (text.isNull()) {
                // No amount: reported at its line, left in the store as it was.
                QCOMPARE(messages.size(), 1);
                QVERIFY(messages[0].text.contains(QStringLiteral("line 140")));
                QCOMPARE(shell::SettingsStore().value(key), std::optional<QString>(stored));
                return;
            }
            QVERIFY(messages.isEmpty());
            QCOMPARE(edit->text().size(), text.size());
            QCOMPARE(edit->text(), text);
            QCOMPARE(shell::SettingsStore().value(key), std::optional<QString>(text));
            QVERIFY(showActive(form));
            edit->setFocus(Qt::TabFocusReason);
            QTest::keyClick(edit, Qt::Key_End);
            QTest::keyClick(edit, Qt::Key_Exclam, Qt::ShiftModifier);
            QCOMPARE(shell::SettingsStore().value(key), std::optional<QString>(text + QLatin1Char('!')));
        }
        entry::Form1 restarted;
        restarted.Form_Load();
        QCOMPARE(restarted.findChild<QLineEdit*>(box)->text(), text + QLatin1Char('!'));
        QVERIFY(messages.isEmpty());
    }

    // A settings file that cannot be read is told once, the window shows a new statement, and the file
    // is never written: not by the start-up, not by editing.
    void anUnreadableStoreIsToldOnceAndLeftUntouched_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a folder in its place") << "folder" << QByteArray() << "Is a directory";
        QTest::newRow("not UTF-8") << "file" << QByteArray("[Quillberry]\ntxtName=M\xfcller\n")
                                   << "not UTF-8";
        QTest::newRow("a line of no kind")
            << "file" << QByteArray("[Quillberry]\ntxtName=Jane\nJane Roe\n") << "line 3 is neither";
        QTest::newRow("a section never closed")
            << "file" << QByteArray("[Quillberry\ntxtName=Jane\n") << "line 1 opens a section";
        QTest::newRow("no permission")
            << "locked" << QByteArray("[Quillberry]\ntxtName=Jane\n") << "Permission denied";
    }
    void anUnreadableStoreIsToldOnceAndLeftUntouched() {
        QFETCH(QString, kind);
        QFETCH(QByteArray, contents);
        QFETCH(QString, reason);
        const QString path = shell::SettingsStore::fileName();
        QVERIFY(QDir().mkpath(kind == QStringLiteral("folder") ? path : QFileInfo(path).path()));
        if (kind != QStringLiteral("folder")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(contents);
            file.close();
            if (kind == QStringLiteral("locked")) {
                QVERIFY(QFile::setPermissions(path, {}));
                // Root reads any file: the refusal is seen as the ordinary user, who owns the store.
                for (const QString& owned : {config->path(), QFileInfo(path).path(), path})
                    testing::giveToUser(owned);
            }
        }
        // Everything by which a write would show.
        const auto look = [&path] {
            struct stat info {};
            ::stat(QFile::encodeName(path).constData(), &info);
            const QStringList folder = QDir(QFileInfo(path).path())
                                           .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
            return QStringList{
                QString::number(info.st_ino),          QString::number(info.st_mtim.tv_sec),
                QString::number(info.st_mtim.tv_nsec), QString::number(info.st_mode),
                QString::number(info.st_size),         QString::fromLatin1(storeFile().toHex()),
                folder.join(QLatin1Char(','))};
        };
        const QStringList before = look();
        {
            std::optional<testing::AsOrdinaryUser> asUser;
            if (kind == QStringLiteral("locked"))
                asUser.emplace();
            entry::Form1 form;
            form.Form_Load();
            QCOMPARE(messages.size(), 1);
            QVERIFY(messages[0].text.startsWith(
                QStringLiteral("The stored statement could not be read from the settings file")));
            QVERIFY(messages[0].text.contains(QDir::toNativeSeparators(path)));
            QVERIFY2(messages[0].text.contains(reason), qPrintable(messages[0].text));
            const auto record = form.statement();
            QCOMPARE(record.name, QString());
            QCOMPARE(record.date, QDate::currentDate());
            QCOMPARE(record.assetDescriptions[3], kAssetDescriptions[3]);
            QCOMPARE(record.liabilityAmounts[5], QStringLiteral("$0.00"));

            QVERIFY(showActive(form));
            form.txtName->setFocus(Qt::TabFocusReason);
            QTest::keyClicks(form.txtName, QStringLiteral("Jane"));
            form.PushButton7->click();
            QCOMPARE(messages.size(), 1);
            asUser.reset();
            QCOMPARE(look(), before);
        }
        QCOMPARE(look(), before);
    }

    void skinRecolouringLeavesTheHeadingsGrey() {
        QVERIFY(QDir(program->path()).mkpath(QStringLiteral("x")));
        QFile skin(program->filePath(QStringLiteral("x/o.cjs")));
        QVERIFY(skin.open(QIODevice::WriteOnly));
        skin.close();
        entry::Form1 form;
        form.Form_Load();
        const QColor face = shell::buttonFaceColour();
        QVERIFY(face != QColor(Qt::white));
        // Look at the drawn window, not only at the palettes.
        QCOMPARE(colourAt(&form, {3, 3}), face);
        QCOMPARE(colourAt(form.Frame1, {form.Frame1->width() - 3, 2}), face);
        QCOMPARE(colourAt(form.Frame3, {form.Frame3->width() / 2, form.Frame3->height() - 4}), face);
        QCOMPARE(colourAt(form.Label5, {1, 1}), face);
        QCOMPARE(colourAt(form.Label7, {1, 1}), face);
        for (int index : {0, 1, 12, 13}) {
            QLabel* heading = form.lblYear(index);
            QCOMPARE(colourAt(heading, {4, 4}), QColor(0xE0, 0xE0, 0xE0));
        }
        QCOMPARE(form.txtName->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Base));
    }

    void withoutSkinTheWindowStaysWhite() {
        entry::Form1 form;
        form.Form_Load();
        QCOMPARE(colourAt(&form, {3, 3}), QColor(Qt::white));
        QCOMPARE(colourAt(form.Frame1, {form.Frame1->width() - 3, 2}), QColor(Qt::white));
        QCOMPARE(colourAt(form.Frame3, {form.Frame3->width() / 2, form.Frame3->height() - 4}),
                 QColor(Qt::white));
        QCOMPARE(colourAt(form.lblYear(0), {4, 4}), QColor(0xE0, 0xE0, 0xE0));
    }
};

testing::TestClass form1StartupTests() {
    return testing::testClass<Form1StartupTest>();
}

#include "form1_startup_test.moc"
