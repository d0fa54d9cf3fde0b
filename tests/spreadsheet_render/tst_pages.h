#pragma once

#include <QObject>
#include <QTemporaryDir>
#include <memory>

class TestPages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void paperCodes();
    void pagePlan_data();
    void pagePlan();
    void headerFooterCodes_data();
    void headerFooterCodes();
    void statementPdf();
    void tallSheetBreaksBetweenRows();
    void printAreaHeadingsAndHeader();

private:
    QString scratch(const QString& name) const;

    std::unique_ptr<QTemporaryDir> dir_;
    QString missingTools_;
};
