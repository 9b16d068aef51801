#include "core/registry.h"

#include "core/appdirs.h"
#include "core/registrysqlite.h"

namespace tarvik {

Registry::~Registry() = default;

Registry* Registry::instance()
{
    // Never deleted: every write is committed when it returns, so nothing waits for a close.
    static Registry* registry = nullptr;
    if (!registry) {
        createAppDirectories();
        registry = new RegistrySQLite(dataDirectory() + QStringLiteral("/registry.db"));
    }
    return registry;
}

} // namespace tarvik
