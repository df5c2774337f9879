// The module types compiled into the library. A new type adds one Register line here.
#include "external/LumoModule.h"
#include "libs/lumo/CFileReader.h"
#include "libs/lumo/CFileWriter.h"
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CModuleRegistry.h"
#include "libs/lumo/ProcessingModules.h"

namespace lumo {

void RegisterBuiltinModules(CModuleRegistry& registry) {
    RegisterProcessingModules(registry);
    // Distinct fixed IDs and non-null factories: neither registration can be refused.
    (void)registry.Register(
        LUMO_ID_FILE_WRITER, "File writer",
        []() -> std::unique_ptr<CModuleBase> { return std::make_unique<CFileWriter>(); });
    (void)registry.Register(
        LUMO_ID_FILE_READER, "File reader",
        []() -> std::unique_ptr<CModuleBase> { return std::make_unique<CFileReader>(); });
}

} // namespace lumo
