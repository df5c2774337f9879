#include "libs/lumodialog/ModuleDialogFactory.h"

#include "external/LumoModuleIds.h"
#include "libs/lumodialog/CBlackGainDialog.h"
#include "libs/lumodialog/CCfaToRgbDialog.h"
#include "libs/lumodialog/CContrastWindowDialog.h"
#include "libs/lumodialog/CHistogramDialog.h"
#include "libs/lumodialog/CLookUpTableDialog.h"
#include "libs/lumodialog/COrientationDialog.h"
#include "libs/lumodialog/CProfileDialog.h"
#include "libs/lumodialog/CStatisticsDialog.h"

namespace lumodialog {

namespace {

using Maker = std::unique_ptr<CModuleDialog> (*)(const LumoModuleDialogHost&, QWidget*);

template <typename Dialog>
std::unique_ptr<CModuleDialog> Make(const LumoModuleDialogHost& host, QWidget* parent) {
    return std::make_unique<Dialog>(host, parent);
}

struct Entry {
    uint32_t objectId;
    Maker make;
};

const Entry DIALOGS[] = {
    {LUMO_ID_CFA_TO_RGB, &Make<CCfaToRgbDialog>},
    {LUMO_ID_CONTRAST_WINDOW, &Make<CContrastWindowDialog>},
    {LUMO_ID_BLACK_GAIN, &Make<CBlackGainDialog>},
    {LUMO_ID_ORIENTATION, &Make<COrientationDialog>},
    {LUMO_ID_STATISTICS, &Make<CStatisticsDialog>},
    // The plot dialogs: look-up table (32), histogram (67), line profile (72) and column
    // profile (73) go here.
    {LUMO_ID_LOOK_UP_TABLE, &Make<CLookUpTableDialog>},
    {LUMO_ID_HISTOGRAM, &Make<CHistogramDialog>},
    {LUMO_ID_LINE_PROFILE, &Make<CProfileDialog>},
    {LUMO_ID_COLUMN_PROFILE, &Make<CProfileDialog>},
};

} // namespace

std::unique_ptr<CModuleDialog> CreateModuleDialog(const LumoModuleDialogHost& host,
                                                  QWidget* parent) {
    if (!host.module)
        return nullptr;
    const uint32_t objectId = host.module->GetObjectId();
    for (const Entry& entry : DIALOGS)
        if (entry.objectId == objectId)
            return entry.make(host, parent);
    return nullptr;
}

} // namespace lumodialog
