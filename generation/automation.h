#pragma once

#include <QString>
#include <functional>
#include <memory>

namespace generation {

class Application;

// Creates a new, hidden spreadsheet application instance by programmatic identifier ("Excel.Application"),
// never attached to a running one. Throws shell::RuntimeError when no instance can be created.
std::shared_ptr<Application> CreateObject(const QString& programmaticId);

// Replaces how instances are created (tests make creation fail with a factory that throws or returns
// nothing); an empty factory restores the embedded engine.
using ObjectFactory = std::function<std::shared_ptr<Application>(const QString& programmaticId)>;
void setObjectFactory(ObjectFactory factory);

}  // namespace generation
