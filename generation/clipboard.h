#pragma once

#include <QImage>
#include <functional>
#include <optional>

namespace generation {

// How pictures reach and leave the system clipboard. Tests replace it (they run without a clipboard, or
// want reads that fail); empty members mean the system clipboard.
struct ClipboardAccess {
    std::function<void(const QImage&)> setImage;
    // Nothing when the read fails (clipboard busy, or no picture on it).
    std::function<std::optional<QImage>()> readImage;
};

void setClipboardAccess(ClipboardAccess access);

// Throws shell::RuntimeError when the clipboard cannot take the picture.
void putPictureOnClipboard(const QImage& picture);
// One read attempt; nothing when it fails.
std::optional<QImage> readPictureFromClipboard();

}  // namespace generation
