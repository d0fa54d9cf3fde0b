// What a screen reader is told, read back through the accessibility interfaces Qt hands to it.
#include <QAccessible>
#include <QAccessibleInterface>
#include <QApplication>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QTest>

#include "desktop_fixture.h"
#include "entry/form1.h"
#include "preview/form2.h"
#include "tests/common/test_classes.h"

namespace {

QAccessibleInterface* accessible(QWidget* widget) {
    return widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

    DesktopFixture fixture;

private slots:
    void init() { fixture.setUp(); }
    void cleanup() { fixture.tearDown(); }

    // Lines are counted from 1 as the user sees them; the controls count from 0.
    void everyFieldSaysWhatItIs_data() {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("role");  // QAccessible::Role
        const int text = QAccessible::EditableText;
        QTest::newRow("name") << "Form1"
                              << "txtName"
                              << "Name" << text;
        QTest::newRow("date") << "Form1"
                              << "dtpFrom"
                              << "Date" << int(QAccessible::SpinBox);
        QTest::newRow("first asset") << "Form1"
                                     << "txtAssets_0"
                                     << "Asset line 1 description" << text;
        QTest::newRow("asset 3 amount") << "Form1"
                                        << "txtAmountAssets_2"
                                        << "Asset line 3 amount" << text;
        QTest::newRow("last asset") << "Form1"
                                    << "txtAssets_10"
                                    << "Asset line 11 description" << text;
        QTest::newRow("last asset amount") << "Form1"
                                           << "txtAmountAssets_10"
                                           << "Asset line 11 amount" << text;
        QTest::newRow("first liability") << "Form1"
                                         << "txtLiabilities_0"
                                         << "Liability line 1 description" << text;
        QTest::newRow("liability 2 amount") << "Form1"
                                            << "txtAmountL_1"
                                            << "Liability line 2 amount" << text;
        QTest::newRow("last liability amount") << "Form1"
                                               << "txtAmountL_5"
                                               << "Liability line 6 amount" << text;
        QTest::newRow("generate") << "Form1"
                                  << "PushButton22"
                                  << "Start Creating Template" << int(QAccessible::Button);
        QTest::newRow("back") << "Form2"
                              << "PushButton8"
                              << "Back" << int(QAccessible::Button);
        QTest::newRow("zoom in") << "Form2"
                                 << "PushButton1"
                                 << "Zoom In" << int(QAccessible::Button);
        QTest::newRow("picture") << "Form2"
                                 << "Picture1"
                                 << "Picture of the statement sheet" << int(QAccessible::Graphic);
        QTest::newRow("across") << "Form2"
                                << "HScroll1"
                                << "Horizontal picture position" << int(QAccessible::ScrollBar);
    }

    void everyFieldSaysWhatItIs() {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(QString, name);
        QFETCH(int, role);
        entry::Form1 main;
        preview::Form2 preview;
        QWidget* host = window == QLatin1String("Form1") ? static_cast<QWidget*>(&main) : &preview;
        if (host == &main)
            main.Form_Load();
        else
            preview.Form_Load();
        host->show();
        QVERIFY(QTest::qWaitForWindowExposed(host));
        auto* widget = host->findChild<QWidget*>(control);
        QVERIFY(widget);
        QAccessibleInterface* face = accessible(widget);
        QVERIFY(face);
        QCOMPARE(face->text(QAccessible::Name), name);
        QCOMPARE(int(face->role()), role);
        if (auto* box = qobject_cast<QLineEdit*>(widget))
            QCOMPARE(face->text(QAccessible::Value), box->text());
    }

    // Nothing that takes the focus is left for the reader to guess, and no two say the same.
    void everyControlHasItsOwnName() {
        entry::Form1 main;
        main.Form_Load();
        preview::Form2 preview;
        preview.Form_Load();
        for (QWidget* window : {static_cast<QWidget*>(&main), static_cast<QWidget*>(&preview)}) {
            QSet<QString> names;
            int controls = 0;
            for (QWidget* widget : window->findChildren<QWidget*>()) {
                const bool input = qobject_cast<QLineEdit*>(widget) || qobject_cast<QDateEdit*>(widget) ||
                                   qobject_cast<QPushButton*>(widget) || qobject_cast<QScrollBar*>(widget);
                if (!input || (widget->parentWidget() && qobject_cast<QDateEdit*>(widget->parentWidget())))
                    continue;
                ++controls;
                const QString name = accessible(widget)->text(QAccessible::Name);
                QVERIFY2(!name.isEmpty(), qPrintable(widget->objectName()));
                QVERIFY2(!names.contains(name), qPrintable(name));
                names.insert(name);
            }
            QCOMPARE(controls, window == &main ? 2 + 2 * 11 + 2 * 6 + 3 : 2 + 4);
        }
    }

    void labelsNameTheirFields_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        QTest::newRow("Date:") << "Label5"
                               << "dtpFrom";
        QTest::newRow("Name:") << "Label7"
                               << "txtName";
    }

    void labelsNameTheirFields() {
        QFETCH(QString, label);
        QFETCH(QString, field);
        entry::Form1 main;
        main.Form_Load();
        auto* labelWidget = main.findChild<QLabel*>(label);
        auto* fieldWidget = main.findChild<QWidget*>(field);
        QVERIFY(labelWidget && fieldWidget);
        QCOMPARE(labelWidget->buddy(), fieldWidget);
        const auto relations = accessible(fieldWidget)->relations(QAccessible::Label);
        const bool labelled = std::any_of(relations.begin(), relations.end(), [&](const auto& relation) {
            return relation.first->object() == labelWidget;
        });
        QVERIFY(labelled);
    }

    // The picture says what the sheet's totals are, as the sheet shows them; a picture whose workbook
    // cannot be read says nothing it does not know.
    void pictureCarriesTheTotals() {
        const auto generated = fixture.generate();
        QVERIFY(!generated.picture.isNull());
        preview::Form2 preview;
        preview.Form_Load();
        preview.setPicture(generated.picture);
        preview.setExcelFile(generated.workbook);
        preview.rearmFirstShow();
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QAccessibleInterface* picture = accessible(preview.findChild<QWidget*>(QStringLiteral("Picture1")));
        // The totals show whole dollars: 19,749.79, 2,875.14 and 16,874.65 as the sheet rounds them.
        QCOMPARE(picture->text(QAccessible::Description),
                 QStringLiteral("Total Assets: $19,750. Total Liabilities: $2,875. Net Worth: $16,875."));
        QVERIFY(fixture.messages.isEmpty());

        const QString broken = fixture.dir->filePath(QStringLiteral("broken.xls"));
        QFile file(broken);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("\xD0\xCF\x11\xE0 not a workbook");
        file.close();
        preview.setExcelFile(broken);
        QCOMPARE(picture->text(QAccessible::Description), QString());
        QVERIFY(fixture.messages.isEmpty());
    }
};

testing::TestClass accessibilityTests() {
    return testing::testClass<AccessibilityTest>();
}

#include "accessibility_test.moc"
