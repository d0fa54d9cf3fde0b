#pragma once

#include <QString>

namespace shell {

// The caption of every message box that names no title of its own. Set once at start-up.
QString applicationTitle();
void setApplicationTitle(const QString& title);

// Shortens a product name word by word, from the end, until at most 40 characters remain;
// at least the last word is always removed. A name without a blank is kept whole.
QString shortenedTitle(const QString& productName);

}  // namespace shell
