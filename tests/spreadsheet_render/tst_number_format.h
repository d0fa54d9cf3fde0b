#pragma once

#include <QObject>

class TestNumberFormat : public QObject {
    Q_OBJECT

private slots:
    void accountingFormats_data();
    void accountingFormats();
    void accountingGapsAreCharacterWidths();
    void fixedPercentExponentFraction_data();
    void fixedPercentExponentFraction();
    void general_data();
    void general();
    void datesAndTimes_data();
    void datesAndTimes();
    void impossibleDatesShowHashes();
    void sectionsAndConditions_data();
    void sectionsAndConditions();
    void textBooleansAndErrors();
    void formatCodeLookup();
    void regionalForms_data();
    void regionalForms();
};
