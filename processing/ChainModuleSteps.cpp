#include "processing/ChainModuleSteps.h"

#include "external/ImageFormat.h"
#include "external/LumoParamBlocks.h"
#include "external/LumoResult.h"

#include <algorithm>
#include <cstring>

namespace {

// 2 to the power of `bits`, as the parameter blocks want it.
double PowerOfTwo(uint32_t bits) {
    double s = 1.0;
    for (uint32_t i = 0; i < bits && i < 64; ++i)
        s *= 2.0;
    return s;
}

constexpr uint32_t GREY_PAIR[2] = {0x000000, 0xFFFFFF};
constexpr uint32_t COLOUR_FIRST = 0xFFFFFF;
constexpr uint32_t COLOUR_SECOND[3] = {0x0000FF, 0x00FF00, 0xFF0000};
constexpr uint32_t HISTOGRAM_GREEN = 0x00AF00;
const char* const OPTIONS_TEXT = "Options";

// Writes the colours for `imageClass`; other classes keep the colours as they were read.
void WriteColours(LumoColourPairs& colours, uint32_t imageClass, uint32_t green) {
    if (imageClass == ImageFormat::CLASS_GREY) {
        colours.first[0] = GREY_PAIR[0];
        colours.second[0] = GREY_PAIR[1];
    } else if (imageClass == ImageFormat::CLASS_CFA || imageClass == ImageFormat::CLASS_RGB) {
        for (size_t c = 0; c < 3; ++c) {
            colours.first[c] = COLOUR_FIRST;
            colours.second[c] = c == 1 ? green : COLOUR_SECOND[c];
        }
    }
}

// Reads the module's colour block 13 of layout `Block`, and writes it back with the colours for
// `image` when there is an image.
template <typename Block>
void UpdateColourBlock(CLumoModule* module, CLumoImage* image, uint32_t green = COLOUR_SECOND[1]) {
    Block block{};
    module->GetParam(LUMO_PARAM_BLOCK13, LumoArg(&block), sizeof(block));
    if (!image)
        return;
    WriteColours(block.colours, ImageFormat::ImageClass(image->GetFormat(nullptr)), green);
    module->SetParam(LUMO_PARAM_BLOCK13, LumoArg(&block), sizeof(block));
}

void AdaptLookUpTable(CLumoModule* module, uint32_t imageClass, uint32_t bits) {
    LumoLutSetupBlock setup{};
    LumoLutRangeBlock ranges{};
    LumoLutDialogBlock dialog{};
    module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&setup), sizeof(setup));
    module->GetParam(LUMO_PARAM_BLOCK13, LumoArg(&ranges), sizeof(ranges));
    module->GetParam(LUMO_PARAM_BLOCK14, LumoArg(&dialog), sizeof(dialog));
    setup.colourMode = (imageClass >= 1 && imageClass <= 3)   ? 1
                       : imageClass == ImageFormat::CLASS_RGB ? 3
                                                              : 0;
    setup.imageClass = imageClass;
    const double s = PowerOfTwo(bits);
    ranges.inputRange = s;
    ranges.outputRange = s;
    ranges.inputScale = 1.0 / s;
    module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&setup), sizeof(setup));
    module->SetParam(LUMO_PARAM_BLOCK13, LumoArg(&ranges), sizeof(ranges));
    module->SetParam(LUMO_PARAM_BLOCK14, LumoArg(&dialog), sizeof(dialog));
}

void AdaptContrastWindow(CLumoModule* module, uint32_t bits) {
    LumoWindowBlock window{};
    module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&window), sizeof(window));
    window.minimum = 0.0;
    window.maximum = PowerOfTwo(bits) - 1.0;
    std::memcpy(window.label, "#", 2);
    module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&window), sizeof(window));
    module->SetParam(LUMO_PARAM_RESET_WINDOW, 1, 0);
}

} // namespace

bool PrepareModuleOutput(CLumoModule* module) {
    const LumoOutputInfo* request = module->GetOutputInfo(0);
    if (!request)
        return false;
    CLumoImage* input = module->GetImage(0);
    CLumoImage* output = module->GetImage(1);
    if (!input || !output)
        return false;
    const uint32_t significant = std::min(request->maxSignificantBits, input->GetSignificantBits());
    const uint32_t container = significant <= 8 ? 8 : significant <= 16 ? 16 : 32;
    const uint32_t imageClass = request->imageClass;
    uint32_t channels = 0;
    uint32_t layout = 0;
    if (imageClass >= 1 && imageClass <= 3)
        channels = 1;
    if (imageClass == ImageFormat::CLASS_RGB) {
        channels = container == 8 ? 4 : 3;
        layout = container == 8 ? 58 : 26;
    }
    const uint64_t format = ImageFormat::Make(container, significant, channels, layout, imageClass);
    if (output->Allocate(request->width, request->height, format, 0, 1) != LUMO_OK)
        return false;
    for (uint32_t n = 2; n <= 4; ++n)
        output->SetAttribute(n, input->GetAttribute(n));
    uint32_t x = 0;
    uint32_t y = 0;
    input->GetOrigin(&x, &y);
    output->SetOrigin(x, y);
    return true;
}

void AdaptModuleToInput(CLumoModule* module) {
    CLumoImage* input = module->GetImage(0);
    if (!input)
        return;
    const uint32_t imageClass = ImageFormat::ImageClass(input->GetFormat(nullptr));
    const uint32_t bits = input->GetSignificantBits();
    if (module->GetObjectId() == LUMO_ID_LOOK_UP_TABLE)
        AdaptLookUpTable(module, imageClass, bits);
    else if (module->GetObjectId() == LUMO_ID_CONTRAST_WINDOW)
        AdaptContrastWindow(module, bits);
}

void SetModuleOptions(CLumoModule* module, CLumoImage* image) {
    switch (module->GetObjectId()) {
    case LUMO_ID_STATISTICS:
        UpdateColourBlock<LumoStatisticsColourBlock>(module, image);
        break;
    case LUMO_ID_COLUMN_PROFILE:
        UpdateColourBlock<LumoColumnPlotColourBlock>(module, image);
        break;
    case LUMO_ID_LINE_PROFILE:
        UpdateColourBlock<LumoLinePlotColourBlock>(module, image);
        break;
    case LUMO_ID_HISTOGRAM: // the plot view, then the cumulative view
        module->SetParam(LUMO_PARAM_KIND, 0, 0);
        UpdateColourBlock<LumoLinePlotColourBlock>(module, image, HISTOGRAM_GREEN);
        module->SetParam(LUMO_PARAM_OPTIONS, 0, LumoArg(OPTIONS_TEXT));
        module->SetParam(LUMO_PARAM_KIND, 1, 0);
        UpdateColourBlock<LumoColumnPlotColourBlock>(module, image);
        break;
    default:
        break;
    }
    module->SetParam(LUMO_PARAM_OPTIONS, 0, LumoArg(OPTIONS_TEXT));
}
