#pragma once

#include <QString>

// Who the program is and what it looks for, named once.
namespace shell::product {

inline const QString kName = QStringLiteral("Quillberry");
// The maker: the settings are kept under its name, and the help message points to it.
inline const QString kOrganisation = QStringLiteral("Brackenlow");
inline const QString kSupportAddress = QStringLiteral("support@brackenlow.com");
inline const QString kContactAddress = QStringLiteral("https://www.brackenlow.com/contact");
// The application icon in the program's resources: the pixels of each size that resources/CMakeLists.txt
// stores, ":/app/icons/<n>x<n>/quillberry.pixels".
inline const QString kIconResourceFolder = QStringLiteral(":/app/icons");
// The optional hand cursor beside the executable.
inline const QString kHandCursorFile = QStringLiteral("HAND-M.CUR");

}  // namespace shell::product
