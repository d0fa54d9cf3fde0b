#include "generation/application.h"

namespace generation {

QString Application::Version() const { return QStringLiteral("12.0"); }

}  // namespace generation
