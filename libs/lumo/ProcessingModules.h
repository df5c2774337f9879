// The image-processing modules of the library: the chain's modules, the analyze modules and the
// display module.
#pragma once

namespace lumo {

class CModuleRegistry;

void RegisterProcessingModules(CModuleRegistry& registry);

} // namespace lumo
