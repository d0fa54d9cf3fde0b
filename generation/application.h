#pragma once

#include <QString>

namespace generation {

// The spreadsheet application as the program drives it: the embedded engine behind the operations a
// spreadsheet's automation interface offers.
class Application {
public:
    QString Version() const;
};

}  // namespace generation
