#include "app/ViewStatusTexts.h"

#include "acquisition/CCamera.h"
#include "external/ImageFormat.h"
#include "external/LumoImage.h"

#include <QStringList>

namespace viewtext {

namespace {

constexpr uint32_t STATE_GRABBING = 1;
constexpr uint32_t STATE_REPLAYING = 2;
constexpr uint32_t SEQUENCE_CAMERA = 2;

// Values GetPixel gives per image class: one sample, three for RGB, none for unknown classes.
uint32_t ShownValues(uint32_t imageClass) {
    if (imageClass >= ImageFormat::CLASS_GREY && imageClass <= ImageFormat::CLASS_CFA_ALT)
        return 1;
    return imageClass == ImageFormat::CLASS_RGB ? 3 : 0;
}

} // namespace

PixelNames NamesFor(uint32_t imageClass, uint32_t originX, uint32_t originY, uint32_t x,
                    uint32_t y) {
    switch (imageClass) {
    case ImageFormat::CLASS_GREY:
        return {"Greyscale", "Grey"};
    case ImageFormat::CLASS_CFA: {
        static const char* const PHASES[4] = {"Green", "Red", "Blue", "Green"};
        const uint32_t phase = 2 * ((originY + y) & 1) + ((originX + x) & 1);
        return {"RGB-CFA", PHASES[phase]};
    }
    case ImageFormat::CLASS_RGB:
        return {"RGB", "RGB"};
    default:
        return {"- unknown format -", "Value"};
    }
}

QString PixelText(CLumoImage* image, int64_t x, int64_t y) {
    if (!image || image->GetWidth() == 0 || image->GetHeight() == 0)
        return QStringLiteral("- No image available -");
    const uint32_t width = image->GetWidth();
    const uint32_t height = image->GetHeight();
    const uint32_t imageClass = ImageFormat::ImageClass(image->GetFormat(nullptr));
    uint32_t originX = 0;
    uint32_t originY = 0;
    image->GetOrigin(&originX, &originY);
    const bool inside = x >= 0 && y >= 0 && x < int64_t(width) && y < int64_t(height);
    const PixelNames names =
        NamesFor(imageClass, originX, originY, inside ? uint32_t(x) : 0, inside ? uint32_t(y) : 0);
    if (!inside)
        return QString::asprintf("%s [%ux%u]", names.format, width, height);
    uint32_t values[4] = {};
    if (image->GetPixel(uint32_t(x), uint32_t(y), values, 4, -1, 0, 0) != 0)
        values[0] = values[1] = values[2] = 0; // shown as zeros, as an unread pixel
    QStringList shown;
    for (uint32_t i = 0; i < ShownValues(imageClass); ++i)
        shown << QString::number(values[i]);
    return QString::asprintf("%s [%u/%u], %s = ", names.format, uint32_t(x), uint32_t(y),
                             names.channel) +
           shown.join(QLatin1Char('/'));
}

namespace {

// A loaded recording's lost images per channel as its record kept them; "-" without a record.
QString RecordedLostImagesText(CSequenceBase* sequence) {
    framerecord::RecordingInfo recording;
    if (!sequence->GetRecordingInfo(recording) || recording.lost.empty())
        return QStringLiteral("Lost Images: -");
    QStringList counts;
    for (const int64_t lost : recording.lost)
        counts << (lost < 0 ? QStringLiteral("-") : QString::number(lost));
    return QStringLiteral("Lost Images: ") + counts.join(QLatin1Char('/'));
}

} // namespace

QString LostImagesText(CSequenceBase* sequence) {
    if (!sequence)
        return {};
    auto* camera = dynamic_cast<CCamera*>(sequence);
    if (sequence->GetSequenceType() != SEQUENCE_CAMERA || !camera)
        return RecordedLostImagesText(sequence);
    QStringList counts;
    const uint32_t channels = camera->GetChannelCount();
    for (uint32_t channel = 0; channel < channels && channel < 16; ++channel) {
        const int64_t lost = camera->GetLostImages(channel);
        counts << (lost < 0 ? QStringLiteral("-") : QString::number(lost));
    }
    return QStringLiteral("Lost Images: ") + counts.join(QLatin1Char('/'));
}

QString DisplayRateText(CSequenceBase* sequence, uint32_t state) {
    if (sequence && (state == STATE_GRABBING || state == STATE_REPLAYING))
        return QString::asprintf("Display: %.2f FPS", sequence->GetFrameRate(0));
    return QStringLiteral("Display: ----.-- FPS");
}

QString GrabRateText(CSequenceBase* sequence, uint32_t state) {
    if (!sequence)
        return {};
    if (state == STATE_GRABBING)
        return QString::asprintf("Grab: %.2f FPS", sequence->GetFrameRate(1));
    if (sequence->GetSequenceType() == SEQUENCE_CAMERA)
        return QStringLiteral("Grab: ----.-- FPS");
    return {};
}

QString ZoomText(int32_t zoomX) {
    if (zoomX > 0)
        return QString::asprintf("%d : 1", zoomX);
    if (zoomX < 0)
        return QString::asprintf("1 : %d", -zoomX);
    return QStringLiteral("1 : 1");
}

} // namespace viewtext
