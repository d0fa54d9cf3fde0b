#pragma once

#include <QObject>

class TestSpreadsheetReader : public QObject {
    Q_OBJECT

private slots:
    // Hand-built records (tst_spreadsheet_reader.cpp)
    void rkValues_data();
    void rkValues();
    void mulRkAndMulBlank();
    void sharedStringsAcrossContinue_data();
    void sharedStringsAcrossContinue();
    void formulaResults();
    void sharedAndArrayFormulas();
    void globalsTables();
    void sheetSettings();
    void chartSheetsAreSkipped();
    void substreamsFoundWithoutOffsets();

    // Broken input (tst_spreadsheet_reader_malformed.cpp)
    void malformedStreams_data();
    void malformedStreams();
    void cellLimit();

    // Files (tst_spreadsheet_reader_files.cpp)
    void gnumericFixtureValues();
    void gnumericFixtureFormats();
    void gnumericFixtureLayout();
    void gnumericLongSharedStringTable();
    void olderFormatsRefused();
    void notACompoundFile();
    void malformedFiles_data();
    void malformedFiles();
    void roundTrip();

    // Encrypted workbooks and chart sheets without their EOF (tst_spreadsheet_reader_encrypted.cpp)
    void rc4KeyStream_data();
    void rc4KeyStream();
    void defaultPasswordWorkbooksOpen_data();
    void defaultPasswordWorkbooksOpen();
    void otherPasswordsRefused_data();
    void otherPasswordsRefused();
    void chartSheetsWithoutEndRecord_data();
    void chartSheetsWithoutEndRecord();
};
