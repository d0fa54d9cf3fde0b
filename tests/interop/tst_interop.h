#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <memory>

#include "statement_fill.h"

Q_DECLARE_METATYPE(interop::AmountForm)

// Workbooks filled through the spreadsheet application interface, as independent programs see them:
// xlrd (with its formatting information) and gnumeric's ssconvert.
class TestInterop : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    // The embedded template filled with the sample statement, amounts as plain texts and in the
    // en_US and de_DE currency forms.
    void statementSeenByXlrd_data();
    void statementSeenByXlrd();
    void statementRecalculatedByGnumeric_data();
    void statementRecalculatedByGnumeric();

    // Workbooks that another spreadsheet program wrote.
    void gnumericWorkbookFilledAndSaved();
    void templateRewrittenByGnumericStillComputes();

    // Inputs at the edges.
    void amountsThatAreNotNumbers_data();
    void amountsThatAreNotNumbers();
    void liabilitiesAboveAssetsGiveNegativeNetWorth_data();
    void liabilitiesAboveAssetsGiveNegativeNetWorth();
    void emptyStatementStillWritesEveryCell();
    void unusualTextsKeptAsTyped_data();
    void unusualTextsKeptAsTyped();

    // Templates with what the engine keeps as read (tst_interop_kept.cpp).
    void templatesSavedUnchanged_data();
    void templatesSavedUnchanged();
    void protectedTemplateFilled_data();
    void protectedTemplateFilled();

private:
    void statementForms();
    QString scratch(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QString template_;
};
