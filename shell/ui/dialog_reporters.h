#pragma once

namespace shell {

// Sends error reports and notices to modal message boxes: "Application Error" with the exclamation
// icon for reports, the application title for notices. The windowed program calls this once at start.
void installDialogReporters();

}  // namespace shell
