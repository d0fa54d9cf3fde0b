#pragma once

#include <memory>

#include "generation/application.h"

namespace generation {

// The file-format code for an .xls save: 56 when the application's major version is above 11, otherwise
// -4143. An empty app is replaced by a short-lived instance of its own. The version text is read with
// the user's decimal separator and rounded to a 16-bit whole number; a text that is no number raises
// "Type mismatch", one out of range "Overflow".
int GetXlsFileFormat(std::shared_ptr<Application>& app);

}  // namespace generation
