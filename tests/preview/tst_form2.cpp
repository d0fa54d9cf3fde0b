#include "tst_form2.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTest>
#include <QtEndian>
#include <optional>

#include "preview/form2.h"
#include "preview/view_units.h"
#include "shell/core/error_report.h"
#include "shell/core/file_utils.h"
#include "shell/core/shutdown.h"
#include "shell/ui/dialog_reporters.h"
#include "shell/ui/message_boxes.h"
#include "shell/ui/window_colours.h"
#include "tests/common/file_system_faults.h"

namespace {

QImage sheetPicture(int width, int height, QRgb colour) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    for (int x = 0; x < width; x += 10)
        image.setPixel(x, x % height, qRgb(0, 0, 0));
    return image;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

// A moving mouse with the left button held, in the widget's own pixels.
void dragMove(QWidget* widget, QPoint at) {
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

void hover(QWidget* widget) {
    const QPoint at(2, 2);
    QMouseEvent move(QEvent::MouseMove, at, widget->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// A 32 x 32 cursor file with its hot spot at (5, 3).
QByteArray cursorFile() {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int i = 0; i < 32; ++i)
        image.setPixel(i, i, qRgba(0, 0, 0, 255));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ICO");
    qToLittleEndian<quint16>(2, bytes.data() + 2);
    qToLittleEndian<quint16>(5, bytes.data() + 10);
    qToLittleEndian<quint16>(3, bytes.data() + 12);
    return bytes;
}

}  // namespace

void TestForm2::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    shell::setProgramFolder(dir_->path());
    messages_.clear();
    answers_.clear();
    dialogNames_.clear();
    dialogCalls_.clear();
    programEnds_ = 0;
    shell::setEndProgramHandler([this](int code) {
        QCOMPARE(code, 0);
        ++programEnds_;
    });
    shell::MessageBoxes::setHandler([this](const shell::MessageRequest& request) {
        messages_ << request.text;
        if (request.buttons == shell::MessageButtons::YesNo)
            return !answers_.isEmpty() && answers_.takeFirst() ? shell::MessageAnswer::Yes
                                                               : shell::MessageAnswer::No;
        return shell::MessageAnswer::Ok;
    });
    shell::installDialogReporters();
    form_ = std::make_unique<preview::Form2>();
    form_->Form_Load();
    form_->setSaveDialog([this](QWidget*, const QString& title, const QString& filter, const QString& name) {
        dialogCalls_ << title + QLatin1Char('|') + filter + QLatin1Char('|') + name;
        return dialogNames_.isEmpty() ? QString() : dialogNames_.takeFirst();
    });
    workbookBytes_ =
        QByteArray("\xD0\xCF\x11\xE0 workbook ") + QByteArray::number(QRandomGenerator::global()->generate());
}

void TestForm2::cleanup() {
    form_.reset();
    shell::MessageBoxes::setHandler({});
    shell::setEndProgramHandler({});
    shell::setProgramFolder({});
    dir_.reset();
}

QString TestForm2::writeWorkbook(const QString& name) {
    const QString path = dir_->filePath(name);
    writeFile(path, workbookBytes_);
    return path;
}

// What the generation run does: picture, path, re-arm, show.
void TestForm2::handOver(const QImage& image) {
    form_->setPicture(image);
    form_->setExcelFile(writeWorkbook(QStringLiteral("vornik12345678.xls")));
    form_->rearmFirstShow();
    form_->show();
}

void TestForm2::layoutMatchesDesign_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("twips");
    QTest::newRow("Picture2") << "Picture2" << QRect(120, 120, 9330, 7425);
    QTest::newRow("HScroll1") << "HScroll1" << QRect(120, 7545, 9330, 255);
    QTest::newRow("VScroll1") << "VScroll1" << QRect(9450, 120, 255, 7425);
    QTest::newRow("Frame1") << "Frame1" << QRect(120, 7860, 9600, 855);
    QTest::newRow("PushButton1") << "PushButton1" << QRect(240, 300, 4440, 405);
    QTest::newRow("PushButton2") << "PushButton2" << QRect(4800, 300, 4560, 405);
    QTest::newRow("PushButton8") << "PushButton8" << QRect(120, 8850, 4680, 405);
    QTest::newRow("PushButton6") << "PushButton6" << QRect(4920, 8850, 4800, 405);
}

void TestForm2::layoutMatchesDesign() {
    QFETCH(QString, name);
    QFETCH(QRect, twips);
    auto* widget = form_->findChild<QWidget*>(name);
    QVERIFY(widget);
    const QRect expected(twips.x() / 15, twips.y() / 15, twips.width() / 15, twips.height() / 15);
    QCOMPARE(widget->geometry(), expected);
}

void TestForm2::tabOrderFollowsDesign() {
    QStringList chain;
    QWidget* widget = form_.get();
    do {
        widget = widget->nextInFocusChain();
        if (widget->focusPolicy() & Qt::TabFocus)
            chain << widget->objectName();
    } while (widget != form_.get());
    const QStringList expected{"HScroll1",    "VScroll1",    "PushButton1",
                               "PushButton2", "PushButton6", "PushButton8"};
    QCOMPARE(chain, expected);
}

void TestForm2::loadDressesWindow() {
    QCOMPARE(form_->windowTitle(), QStringLiteral("Quillberry"));
    QCOMPARE(form_->size(), QSize(9840 / 15, 9345 / 15));
    QCOMPARE(form_->minimumSize(), form_->maximumSize());
    QVERIFY(!(form_->windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form_->firstShowDue());
    QCOMPARE(shell::backColour(form_.get()), shell::buttonFaceColour());
    QCOMPARE(shell::backColour(form_->findChild<QGroupBox*>("Frame1")), shell::buttonFaceColour());
    QCOMPARE(shell::backColour(form_->findChild<QWidget*>("Picture2")), QColor(Qt::white));
    QCOMPARE(form_->font().family(), QStringLiteral("Arial"));
    QVERIFY(form_->font().bold());
    auto* zoomIn = form_->findChild<QPushButton*>("PushButton1");
    QCOMPARE(zoomIn->text(), QStringLiteral("Zoom In"));
    QCOMPARE(zoomIn->font().pointSizeF(), 11.25);
    QCOMPARE(form_->findChild<QPushButton*>("PushButton8")->text(), QStringLiteral("< Back"));
    QCOMPARE(form_->findChild<QWidget*>("Picture2")->cursor().shape(), Qt::SizeAllCursor);
    QVERIFY(!form_->handCursor());
    QVERIFY(messages_.isEmpty());
}

void TestForm2::handOverSetsUpViewOnShow() {
    handOver(sheetPicture(700, 300, qRgb(200, 230, 255)));
    QVERIFY(!form_->firstShowDue());
    auto* picture = form_->findChild<QWidget*>("Picture1");
    QCOMPARE(picture->geometry(), QRect(0, 0, 700, 300));
    QVERIFY(form_->findChild<QWidget*>("Zoom_Ori")->isHidden());
    auto* hBar = form_->findChild<QScrollBar*>("HScroll1");
    auto* vBar = form_->findChild<QScrollBar*>("VScroll1");
    QVERIFY(hBar->isEnabled());
    QCOMPARE(hBar->maximum(), 117);
    QVERIFY(!vBar->isEnabled());
    // Activating again later sets nothing up anew.
    form_->findChild<QScrollBar*>("HScroll1")->setValue(30);
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(form_.get(), &activate);
    QCOMPARE(picture->x(), preview::twipsToPixels(-300));
    QVERIFY(messages_.isEmpty());
}

void TestForm2::secondHandOverStartsAtOne() {
    handOver(sheetPicture(400, 200, qRgb(255, 255, 255)));
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton1"), Qt::LeftButton);
    QCOMPARE(form_->view().zoom(), 1.25f);
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton8"), Qt::LeftButton);
    QVERIFY(form_->isHidden());

    handOver(sheetPicture(300, 150, qRgb(255, 0, 0)));
    QCOMPARE(form_->view().zoom(), 1.0f);
    auto* picture = form_->findChild<QWidget*>("Picture1");
    QCOMPARE(picture->size(), QSize(300, 150));
    QCOMPARE(form_->view().picture().pixel(5, 5), qRgb(255, 0, 0));
}

void TestForm2::zoomButtonsResizePicture() {
    handOver(sheetPicture(400, 200, qRgb(255, 255, 255)));
    auto* picture = form_->findChild<QWidget*>("Picture1");
    auto* zoomIn = form_->findChild<QPushButton*>("PushButton1");
    auto* zoomOut = form_->findChild<QPushButton*>("PushButton2");
    for (int press = 0; press < 3; ++press)
        QTest::mouseClick(zoomIn, Qt::LeftButton);
    QCOMPARE(picture->size(), QSize(700, 350));  // 1.75 of 5998 x 2998 twips
    QVERIFY(form_->findChild<QScrollBar*>("HScroll1")->isEnabled());
    for (int press = 0; press < 7; ++press)
        QTest::mouseClick(zoomOut, Qt::LeftButton);
    QCOMPARE(form_->view().zoom(), 0.25f);
    QCOMPARE(picture->size(), QSize(100, 50));
    QVERIFY(!form_->findChild<QScrollBar*>("HScroll1")->isEnabled());
    QVERIFY(messages_.isEmpty());
}

void TestForm2::draggingMovesPictureAndReleaseMovesBars() {
    // 13500 x 10500 twips, too large to repaint: overflow 4170 x 3075, maxima 417 and 308.
    handOver(sheetPicture(900, 700, qRgb(255, 255, 255)));
    auto* picture = form_->findChild<QWidget*>("Picture1");
    auto* hBar = form_->findChild<QScrollBar*>("HScroll1");
    auto* vBar = form_->findChild<QScrollBar*>("VScroll1");
    QTest::mousePress(picture, Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    dragMove(picture, QPoint(260, 280));
    QCOMPARE(picture->pos(), QPoint(-40, -20));
    QCOMPARE(hBar->value(), 0);
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, QPoint(260, 280));
    // 600 of 4170 twips is 14 %, 58 units; 300 of 3075 is 10 %, 31 units. The picture settles on them.
    QCOMPARE(hBar->value(), 58);
    QCOMPARE(vBar->value(), 31);
    QCOMPARE(picture->pos(), QPoint(preview::twipsToPixels(-580), preview::twipsToPixels(-310)));

    QTest::mousePress(picture, Qt::LeftButton, Qt::NoModifier, QPoint(100, 100));
    dragMove(picture, QPoint(-3000, -3000));
    const QWidget* client = form_->findChild<QWidget*>("Picture2Client");
    QCOMPARE(picture->geometry().bottomRight(), client->rect().bottomRight());
    QTest::mouseRelease(picture, Qt::LeftButton, Qt::NoModifier, QPoint(-3000, -3000));

    // The user's own scrolling moves the picture through the change rule.
    hBar->setValue(30);
    QCOMPARE(form_->view().pictureLeft(), -300.0);
    QCOMPARE(picture->x(), -20);
}

void TestForm2::saveToNewPathCopiesIdenticalFile() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QString target = dir_->filePath(QStringLiteral("statement.xls"));
    dialogNames_ << target;
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    QCOMPARE(dialogCalls_, QStringList{"Save File|Excel Files (*.xls)|"});
    QCOMPARE(readAll(target), workbookBytes_);
    QVERIFY(QFile::exists(form_->excelFile()));
    QCOMPARE(messages_, QStringList{"Done."});
}

void TestForm2::nameWithoutExtensionIsUsedAsTyped() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QString target = dir_->filePath(QStringLiteral("statement"));
    dialogNames_ << target;
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    QCOMPARE(readAll(target), workbookBytes_);
    QVERIFY(!QFile::exists(target + QStringLiteral(".xls")));
}

void TestForm2::saveOverExistingObeysAnswer_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes") << true;
    QTest::newRow("No") << false;
}

void TestForm2::saveOverExistingObeysAnswer() {
    QFETCH(bool, yes);
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QString target = dir_->filePath(QStringLiteral("old.xls"));
    writeFile(target, "older statement");
    dialogNames_ << target;
    answers_ << yes;
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    const QStringList expected{"Are you sure you wish to overwrite " + target + " ?", "Done."};
    QCOMPARE(messages_, expected);
    QCOMPARE(readAll(target), yes ? workbookBytes_ : QByteArray("older statement"));
}

void TestForm2::savingTwiceAsksTheSecondTime() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QString target = dir_->filePath(QStringLiteral("twice.xls"));
    dialogNames_ << target << target;
    answers_ << true;
    auto* save = form_->findChild<QPushButton*>("PushButton6");
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(messages_, QStringList{"Done."});
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(messages_.size(), 3);
    QVERIFY(messages_[1].startsWith("Are you sure you wish to overwrite "));
    QCOMPARE(readAll(target), workbookBytes_);
}

void TestForm2::cancelCopiesNothingAndConfirms() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QStringList before = QDir(dir_->path()).entryList(QDir::Files);
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    QCOMPARE(dialogCalls_.size(), 1);
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), before);
    QCOMPARE(messages_, QStringList{"Done."});
}

void TestForm2::saveOntoWorkbookItselfLosesNothing() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    // The same file under another spelling of its path.
    const QString target = dir_->path() + QStringLiteral("/./vornik12345678.xls");
    dialogNames_ << target;
    answers_ << true;
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    QCOMPARE(messages_.size(), 2);
    QCOMPARE(messages_.last(), QStringLiteral("Done."));
    QCOMPARE(readAll(form_->excelFile()), workbookBytes_);
    // The user chose that file: going back must not delete it under them.
    auto mainWindow = std::make_unique<QWidget>();
    form_->setMainWindow(mainWindow.get());
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton8"), Qt::LeftButton);
    QCOMPARE(readAll(form_->excelFile()), workbookBytes_);
    // A later run's own workbook is deleted as usual.
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    form_->setExcelFile(writeWorkbook(QStringLiteral("vornik87654321.xls")));
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton8"), Qt::LeftButton);
    QVERIFY(!QFile::exists(form_->excelFile()));
}

void TestForm2::failedCopyIsReportedWithoutDone() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    QFile::remove(form_->excelFile());
    const QString target = dir_->filePath(QStringLiteral("out.xls"));
    dialogNames_ << target;
    auto* save = form_->findChild<QPushButton*>("PushButton6");
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(messages_.size(), 1);
    QVERIFY2(messages_[0].contains("Form2.PushButton6_Click at line 130"), qPrintable(messages_[0]));
    QVERIFY(messages_[0].startsWith(QStringLiteral("File not found: '%1'\r\n").arg(form_->excelFile())));
    QVERIFY(!QFile::exists(target));

    // A copy the file system refuses is reported with its reason, again without "Done.".
    messages_.clear();
    form_->setFileCopy([](const QString&, const QString&) {
        throw shell::RuntimeError(QStringLiteral("Permission denied"));
    });
    dialogNames_ << target;
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].startsWith("Permission denied\r\n"));
    QVERIFY(messages_[0].contains("at line 130"));
}

// Answering Yes to the overwrite question: the old file goes only when the whole copy has taken its
// place. The user confirmed replacing it, so a read-only file is replaced too where its folder allows (it
// keeps its mode), and a file in a folder that takes no new files is written in place, its old bytes put
// back if that fails. Every failure is reported at line 130 with its cause said once (naming the folder
// when the folder is the cause), without "Done.", and leaves the old file as it was, mode included.
void TestForm2::overwriteKeepsOldFileUnlessCopied_data() {
    QTest::addColumn<QString>("situation");
    QTest::addColumn<int>("fileMode");  // 0: no file there yet
    QTest::addColumn<int>("folderMode");
    QTest::addColumn<QString>("error");  // %1 the workbook, %2 the chosen file, %3 its folder; empty: copied
    QTest::newRow("workbook vanished") << "vanished" << 0640 << 0755 << "File not found: '%1'";
    QTest::newRow("workbook never saved")
        << "never saved" << 0640 << 0755 << "File not found: '%1' (the workbook was not saved)";
    QTest::newRow("read-only file") << "" << 0444 << 0755 << "";
    QTest::newRow("file in a read-only folder") << "" << 0640 << 0555 << "";
    QTest::newRow("read-only file, read-only folder")
        << "" << 0444 << 0555 << "Permission denied: '%2' (the file is read-only, and so is its folder '%3')";
    QTest::newRow("new name, read-only folder")
        << "" << 0 << 0555 << "Permission denied: '%2' (the folder '%3' is read-only)";
    QTest::newRow("disk fills halfway")
        << "cut off" << 0640 << 0755 << "Path/File access error: '%2' (File too large)";
    QTest::newRow("disk fills halfway, in place")
        << "cut off" << 0640 << 0555 << "Path/File access error: '%2' (File too large)";
    QTest::newRow("link to the user's file") << "link" << 0640 << 0755 << "";
}

void TestForm2::overwriteKeepsOldFileUnlessCopied() {
    QFETCH(QString, situation);
    QFETCH(int, fileMode);
    QFETCH(int, folderMode);
    QFETCH(QString, error);
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    const QString folder = dir_->filePath(QStringLiteral("statements"));
    QVERIFY(QDir().mkdir(folder));
    const QString chosen = folder + QStringLiteral("/precious.xls");
    // A link the user chose stands for the file it names, which lies elsewhere.
    const QString precious =
        situation == QStringLiteral("link") ? dir_->filePath(QStringLiteral("real.xls")) : chosen;
    if (fileMode != 0)
        writeFile(precious, "the user's own statement");
    if (situation == QStringLiteral("link"))
        QVERIFY(QFile::link(precious, chosen));
    if (situation == QStringLiteral("never saved"))
        writeFile(form_->excelFile(), QByteArray());
    for (const QString& path : {dir_->path(), folder, precious, chosen, form_->excelFile()})
        testing::giveToUser(path);
    if (fileMode != 0)
        testing::setMode(precious, mode_t(fileMode));
    testing::setMode(folder, mode_t(folderMode));
    if (situation == QStringLiteral("vanished"))
        QVERIFY(QFile::remove(form_->excelFile()));
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    const auto inode = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    const ino_t oldInode = inode(precious);

    dialogNames_ << chosen;
    answers_ << true;
    {
        testing::AsOrdinaryUser user;
        std::optional<testing::FileSizeLimit> limit;
        if (situation == QStringLiteral("cut off"))
            limit.emplace(8);
        QTest::mouseClick(form_->findChild<QPushButton*>("PushButton6"), Qt::LeftButton);
    }
    testing::setMode(folder, 0755);

    QStringList expectedMessages;
    if (fileMode != 0)
        expectedMessages << "Are you sure you wish to overwrite " + chosen + " ?";
    QCOMPARE(messages_.size(), expectedMessages.size() + 1);
    QCOMPARE(messages_.mid(0, expectedMessages.size()), expectedMessages);
    const QString outcome = messages_.last();
    if (error.isEmpty()) {
        QCOMPARE(outcome, QStringLiteral("Done."));
        QCOMPARE(readAll(precious), workbookBytes_);
        QCOMPARE(QFileInfo(chosen).isSymLink(), situation == QStringLiteral("link"));
        // Written in place where the folder takes no new files: the same file, its old inode.
        QCOMPARE(inode(precious) == oldInode, folderMode == 0555);
    } else {
        const QString expected = error.replace(QStringLiteral("%1"), form_->excelFile())
                                     .replace(QStringLiteral("%2"), chosen)
                                     .replace(QStringLiteral("%3"), folder);
        QVERIFY2(outcome.startsWith(expected + QStringLiteral("\r\n")), qPrintable(outcome));
        QVERIFY(outcome.contains(QStringLiteral("Form2.PushButton6_Click at line 130")));
        QCOMPARE(readAll(precious), fileMode != 0 ? QByteArray("the user's own statement") : QByteArray());
        QCOMPARE(inode(precious), oldInode);
    }
    if (fileMode != 0)
        QCOMPARE(testing::modeOf(precious), mode_t(fileMode));
    QStringList after = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    QCOMPARE(after, before);
}

void TestForm2::backDeletesWorkbookAndShowsMainWindow() {
    auto mainWindow = std::make_unique<QWidget>();
    form_->setMainWindow(mainWindow.get());
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    QVERIFY(QFile::exists(form_->excelFile()));
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton8"), Qt::LeftButton);
    QVERIFY(!QFile::exists(form_->excelFile()));
    QVERIFY(mainWindow->isVisible());
    QVERIFY(form_->isHidden());
    QCOMPARE(programEnds_, 0);
    QVERIFY(messages_.isEmpty());
}

void TestForm2::closingDeletesWorkbookAndEndsProgram() {
    auto mainWindow = std::make_unique<QWidget>();
    form_->setMainWindow(mainWindow.get());
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    QVERIFY(form_->close());
    QVERIFY(!QFile::exists(form_->excelFile()));
    QCOMPARE(programEnds_, 1);
    QVERIFY(mainWindow->isHidden());
    // A window given its own ending uses that one instead.
    int ownEnds = 0;
    preview::Form2 other;
    other.Form_Load();
    other.setProgramEnd([&ownEnds] { ++ownEnds; });
    other.show();
    QVERIFY(other.close());
    QCOMPARE(ownEnds, 1);
    QCOMPARE(programEnds_, 1);
    QVERIFY(messages_.isEmpty());
}

void TestForm2::pointerFeedback() {
    handOver(sheetPicture(100, 100, qRgb(255, 255, 255)));
    auto* save = form_->findChild<QPushButton*>("PushButton6");
    hover(save);
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Custom);
    QCOMPARE(form_->cursor().shape(), Qt::ArrowCursor);  // no cursor file: the ordinary arrow
    hover(form_->findChild<QWidget*>("Frame1"));
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Default);
    hover(form_->findChild<QPushButton*>("PushButton1"));
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Custom);
    hover(form_.get());
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Default);

    form_->setMousePointer(shell::MousePointer::Hourglass);
    hover(save);
    hover(form_.get());
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Hourglass);
    QCOMPARE(form_->cursor().shape(), Qt::WaitCursor);

    // A repaint sets the default pointer.
    form_->setMousePointer(shell::MousePointer::Custom);
    QTest::mouseClick(form_->findChild<QPushButton*>("PushButton2"), Qt::LeftButton);
    QCOMPARE(form_->mousePointer(), shell::MousePointer::Default);
}

void TestForm2::handCursorFromProgramFolder() {
    writeFile(dir_->filePath(QStringLiteral("HAND-M.CUR")), cursorFile());
    preview::Form2 form;
    form.Form_Load();
    QVERIFY(form.handCursor());
    QCOMPARE(form.handCursor()->shape(), Qt::BitmapCursor);
    QCOMPARE(form.handCursor()->hotSpot(), QPoint(5, 3));
    form.setMousePointer(shell::MousePointer::Custom);
    QCOMPARE(form.cursor().shape(), Qt::BitmapCursor);
    QVERIFY(messages_.isEmpty());
}

void TestForm2::brokenCursorFileIsReported() {
    writeFile(dir_->filePath(QStringLiteral("HAND-M.CUR")), "not a cursor");
    preview::Form2 form;
    form.Form_Load();
    QVERIFY(!form.handCursor());
    QCOMPARE(messages_.size(), 1);
    QVERIFY(messages_[0].contains("Form2.Form_Load at line 110"));
    QCOMPARE(form.windowTitle(), QStringLiteral("Quillberry"));
}
