#include "settings/CIniFile_Fast.h"
#include "settings/CIniFile_Mem.h"
#include "settings/CIniFile_Reg.h"
#include "settings/CIniFile_Secure.h"
#include "settings/IniFile.h"

CIniFile_0* CreateIniFile(uint32_t type) {
    switch (type) {
    case 0:
        return new CIniFile_Fast();
    case 1:
        return new CIniFile_Secure();
    case 2:
        return new CIniFile_Reg();
    case 3:
        return new CIniFile_Mem();
    default:
        return nullptr;
    }
}

void DestroyIniFile(CIniFile_0* p) {
    if (p && p->GetType() <= 3)
        delete p;
}
