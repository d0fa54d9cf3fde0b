#pragma once

#include <QObject>

class TestTextFeatures : public QObject {
    Q_OBJECT

private slots:
    void textPlacement_data();
    void textPlacement();
};
