#pragma once

#include <QObject>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

#include "preview/form2.h"

class TestForm2 : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layoutMatchesDesign_data();
    void layoutMatchesDesign();
    void tabOrderFollowsDesign();
    void loadDressesWindow();
    void handOverSetsUpViewOnShow();
    void secondHandOverStartsAtOne();
    void zoomButtonsResizePicture();
    void draggingMovesPictureAndReleaseMovesBars();
    void saveToNewPathCopiesIdenticalFile();
    void nameWithoutExtensionIsUsedAsTyped();
    void saveOverExistingObeysAnswer_data();
    void saveOverExistingObeysAnswer();
    void savingTwiceAsksTheSecondTime();
    void cancelCopiesNothingAndConfirms();
    void saveOntoWorkbookItselfLosesNothing();
    void failedCopyIsReportedWithoutDone();
    void overwriteKeepsOldFileUnlessCopied_data();
    void overwriteKeepsOldFileUnlessCopied();
    void backDeletesWorkbookAndShowsMainWindow();
    void closingDeletesWorkbookAndEndsProgram();
    void pointerFeedback();
    void handCursorFromProgramFolder();
    void brokenCursorFileIsReported();

private:
    void handOver(const QImage& image);
    QString writeWorkbook(const QString& name);

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<preview::Form2> form_;
    QStringList messages_;
    QList<bool> answers_;      // the next answers to Yes/No questions
    QStringList dialogNames_;  // what the save dialog returns next
    QStringList dialogCalls_;  // title | filter | initial name of each dialog shown
    int programEnds_ = 0;
    QByteArray workbookBytes_;
};
