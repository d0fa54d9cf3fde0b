#pragma once

#include <QObject>

class TestSpreadsheetWriter : public QObject {
    Q_OBJECT

private slots:
    // Record layouts (tst_spreadsheet_writer.cpp)
    void bofRecord();
    void fontRecord();
    void xfRecord();
    void labelSstRecord();
    void rkEncoding_data();
    void rkEncoding();
    void sharedStringsSplitAcrossContinue();
    void longRecordsContinue();

    // Stream structure
    void globalsRecordOrder();
    void worksheetRecordOrder();
    void streamPositionsPointAtTheirRecords();
    void dimensionsCoverTheCells();
    void cellRecordsByValueType();
    void invalidWorkbooksAreRefused_data();
    void invalidWorkbooksAreRefused();
    void failedWriteLeavesNoFile();

    // Container
    void compoundFileStreams();
    void documentPropertiesRoundTrip();
    void olderBookStreamIsRead();
    void unreadableContainersThrow();

    // Independent readers and round trips (tst_spreadsheet_writer_interop.cpp)
    void templateSeenByXlrd();
    void templateSeenByGnumeric();
    void formulasRecalculatedByGnumeric();
    void largeSharedStringTableSeenByXlrd();
    void valueTypesSeenByXlrd();
    void templateRoundTripsThroughReader();
    void workbookRoundTripsThroughReader();

    // Templates of other programs saved back unchanged, and encrypted (tst_spreadsheet_writer_unchanged.cpp,
    // tst_spreadsheet_writer_templates.cpp, tst_spreadsheet_writer_encrypted.cpp)
    void templatesSavedUnchangedKeepTheirRecords_data();
    void templatesSavedUnchangedKeepTheirRecords();
    void templatesSavedUnchangedSeenTheSame();
    void encryptedWorkbooksWrittenEncrypted_data();
    void encryptedWorkbooksWrittenEncrypted();

    // Links and refusals (tst_spreadsheet_writer_links.cpp)
    void linksWrittenFromTheModel();
    void entryRefusals_data();
    void entryRefusals();
};
