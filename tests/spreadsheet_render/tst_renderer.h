#pragma once

#include <QObject>

class TestRenderer : public QObject {
    Q_OBJECT

private slots:
    void columnWidthsFromDigitWidth();
    void imageIsExactlyTheRange();
    void hairBorderAtRightEdge();
    void sharedEdgeDrawsStrongerStyleOnce();
    void thickAndDoubleLines();
    void accountingAmountPinsCurrencyLeft();
    void mergedTitleSpansTwoColumns();
    void wrappedTextTakesTwoLines();
    void textOverflowsOnlyIntoEmptyNeighbours();
    void numbersNeverOverflow();
    void gridlinesFollowTheSheet();
    void solidFillInPaletteColour();
    void fontStylesAndColours();
    void alignmentsPlaceText_data();
    void alignmentsPlaceText();
    void renderingIsDeterministic();
    void screenPictureScalesExactly();
    void badArgumentsThrow();
};
