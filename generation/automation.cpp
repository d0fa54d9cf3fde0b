#include "generation/automation.h"

#include "generation/application.h"
#include "shell/core/error_report.h"

namespace generation {

namespace {
ObjectFactory& currentFactory() {
    static ObjectFactory factory;
    return factory;
}
}  // namespace

std::shared_ptr<Application> CreateObject(const QString& programmaticId) {
    std::shared_ptr<Application> object;
    if (currentFactory()) {
        object = currentFactory()(programmaticId);
    } else if (programmaticId.compare(QStringLiteral("Excel.Application"), Qt::CaseInsensitive) == 0) {
        object = std::make_shared<Application>();
    }
    if (!object)
        throw shell::RuntimeError(QStringLiteral("ActiveX component can't create object"));
    return object;
}

void setObjectFactory(ObjectFactory factory) {
    currentFactory() = std::move(factory);
}

}  // namespace generation
