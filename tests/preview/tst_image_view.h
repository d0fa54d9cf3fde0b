#pragma once

#include <QObject>

class TestImageView : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void nearestTiesToEven_data();
    void nearestTiesToEven();
    void scrollStepFollowsOverflow_data();
    void scrollStepFollowsOverflow();
    void pictureNotWiderKeepsBarRange();
    void firstDisplayCopiesPictureUnscaled();
    void zoomOutStopsAtQuarter();
    void zoomInStopsAtLimitFactor();
    void sizeLimitRefusalRestartsFromOne();
    void oversizedBitmapStaysUnscaled();
    void repaintFitsBarRange();
    void changeRuleRunsOnlyOnRealChange();
    void changeRuleHandlesHugeOverflow();
    void dragClampsAtBothEnds();
    void dragKeepsFittingAxisAtNearEdge();
    void releaseSettlesOnBarPosition();
    void releaseWithEqualWidthsReportsNothing();
    void releaseAtFarEndPutsBarsAtTheirEnd();
    void percentSetters_data();
    void percentSetters();
};
