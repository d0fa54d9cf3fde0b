#pragma once

#include <QString>

#include "shell/core/error_report.h"

namespace testing {

// The description of the run-time error the body raises; empty when it raises none.
template <typename Body>
QString errorOf(Body&& body) {
    try {
        body();
    } catch (const shell::RuntimeError& error) {
        return error.description();
    }
    return {};
}

}  // namespace testing
