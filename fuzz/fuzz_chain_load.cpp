// A chain file of any content: loading it into a process chain (with the library's own
// modules, look-up tables included) never crashes, and whatever loads saves again.
#include "external/ImageFormat.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CLumoInstanceImpl.h"
#include "processing/CImgProcessChain.h"
#include "settings/IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static lumo::CLumoInstanceImpl* library = [] {
        auto* made = new lumo::CLumoInstanceImpl(); // lives for the whole run
        if (made->Init(".", "Pem*.dll", 1) != 0)
            std::abort(); // without its modules every load would only fail
        return made;
    }();
    static CImgProcessChain* chain = new CImgProcessChain(library, nullptr);

    IniFilePtr ini = MakeIniFile(3);
    IniFilePtr reg = MakeIniFile(3);
    IniMemDescriptor in{reinterpret_cast<const char*>(data), size, nullptr, 0};
    ini->SetFileName(reinterpret_cast<const char*>(&in));
    ini->Load();

    lumo::CImageObject first;
    if (first.Allocate(16, 8, ImageFormat::CFA8, 0, 1) != 0)
        std::abort();
    platform::RecursiveLock lock(chain->ChainLock());
    if (chain->Load(2, ini.get(), reg.get(), {}, &first, nullptr)) {
        (void)chain->Process(); // a failing module is an answer too: only a crash counts
        chain->Save(ini.get(), reg.get());
    }
    chain->Reset();
    return 0;
}
