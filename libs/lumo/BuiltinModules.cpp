// The module types compiled into the library. A new type adds one Register line here:
//   registry.Register(LUMO_ID_FILE_WRITER, "File writer", [] () -> std::unique_ptr<CModuleBase> {
//       return std::make_unique<CFileWriter>(); });
#include "libs/lumo/CModuleBase.h"
#include "libs/lumo/CModuleRegistry.h"

namespace lumo {

void RegisterBuiltinModules(CModuleRegistry& /*registry*/) {}

} // namespace lumo
