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
// `image` when there is an image. A block that does not read is not written: its other fields
// would be zeroed. A block the module does not take leaves its colours as they were.
template <typename Block>
void UpdateColourBlock(CLumoModule* module, CLumoImage* image, uint32_t green = COLOUR_SECOND[1]) {
    Block block{};
    if (module->GetParam(LUMO_PARAM_BLOCK13, LumoArg(&block), sizeof(block)) != LUMO_OK || !image)
        return;
    WriteColours(block.colours, ImageFormat::ImageClass(image->GetFormat(nullptr)), green);
    (void)module->SetParam(LUMO_PARAM_BLOCK13, LumoArg(&block), sizeof(block));
}

void AdaptLookUpTable(CLumoModule* module, uint32_t imageClass, uint32_t bits) {
    LumoLutSetupBlock setup{};
    LumoLutRangeBlock ranges{};
    LumoLutDialogBlock dialog{};
    // Blocks that do not read are not written back: their other fields would be zeroed.
    if (module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&setup), sizeof(setup)) != LUMO_OK ||
        module->GetParam(LUMO_PARAM_BLOCK13, LumoArg(&ranges), sizeof(ranges)) != LUMO_OK ||
        module->GetParam(LUMO_PARAM_BLOCK14, LumoArg(&dialog), sizeof(dialog)) != LUMO_OK)
        return;
    setup.colourMode = (imageClass >= 1 && imageClass <= 3)   ? 1
                       : imageClass == ImageFormat::CLASS_RGB ? 3
                                                              : 0;
    setup.imageClass = imageClass;
    const double s = PowerOfTwo(bits);
    ranges.inputRange = s;
    ranges.outputRange = s;
    ranges.inputScale = 1.0 / s;
    // A block the module does not take leaves it as it was: the table keeps its old ranges.
    (void)module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&setup), sizeof(setup));
    (void)module->SetParam(LUMO_PARAM_BLOCK13, LumoArg(&ranges), sizeof(ranges));
    (void)module->SetParam(LUMO_PARAM_BLOCK14, LumoArg(&dialog), sizeof(dialog));
}

void AdaptContrastWindow(CLumoModule* module, uint32_t bits) {
    LumoWindowBlock window{};
    // A block that does not read is not written back: its other fields would be zeroed.
    if (module->GetParam(LUMO_PARAM_BLOCK12, LumoArg(&window), sizeof(window)) != LUMO_OK)
        return;
    window.minimum = 0.0;
    window.maximum = PowerOfTwo(bits) - 1.0;
    std::memcpy(window.label, "#", 2);
    // Not taken, the window keeps its old range.
    (void)module->SetParam(LUMO_PARAM_BLOCK12, LumoArg(&window), sizeof(window));
    (void)module->SetParam(LUMO_PARAM_RESET_WINDOW, 1, 0);
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
        (void)output->SetAttribute(n, input->GetAttribute(n)); // an image takes every attribute
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
        // A view not selected would get the other view's block layout.
        if (module->SetParam(LUMO_PARAM_KIND, 0, 0) == LUMO_OK)
            UpdateColourBlock<LumoLinePlotColourBlock>(module, image, HISTOGRAM_GREEN);
        (void)module->SetParam(LUMO_PARAM_OPTIONS, 0, LumoArg(OPTIONS_TEXT));
        if (module->SetParam(LUMO_PARAM_KIND, 1, 0) == LUMO_OK)
            UpdateColourBlock<LumoColumnPlotColourBlock>(module, image);
        break;
    default:
        break;
    }
    // A module without a named options group does not take it; it keeps its own.
    (void)module->SetParam(LUMO_PARAM_OPTIONS, 0, LumoArg(OPTIONS_TEXT));
}
