#pragma once

#include <utility>

#include "generation/generation_run.h"

namespace generation {

// The run's hand-over filled from the two windows. A template, so that generation/ names no window type:
// MainWindow is the main window (a widget with setMousePointer taking its pointer enumeration), and
// preview() returns the preview window, creating (loading) it on first use as the run expects.
template <typename MainWindow, typename PreviewAccess>
HandOver windowHandOver(MainWindow& mainWindow, PreviewAccess preview) {
    HandOver handOver;
    // Suspending updates is how a window stops drawing here; it draws everything again when resumed.
    handOver.suspendDrawing = [&mainWindow](bool suspended) { mainWindow.setUpdatesEnabled(!suspended); };
    handOver.setMousePointer = [&mainWindow](int pointer) {
        mainWindow.setMousePointer(static_cast<decltype(mainWindow.mousePointer())>(pointer));
    };
    handOver.setPicture = [preview](const QImage& picture) { preview().setPicture(picture); };
    handOver.setWorkbookPath = [preview](const QString& path) { preview().mExcelFile = path; };
    handOver.rearmFirstShow = [preview] { preview().mFirstShow = true; };
    handOver.showPreview = [preview] { preview().show(); };
    handOver.hideMainWindow = [&mainWindow] { mainWindow.hide(); };
    return handOver;
}

}  // namespace generation
