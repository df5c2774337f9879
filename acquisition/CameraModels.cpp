#include "acquisition/CameraModels.h"

#include "external/ImageFormat.h"

CKavrinSlow::CKavrinSlow() : CTLMChannel(SLOW_MODE_WIDTH, ImageFormat::GREY8, 0) {}
CKavrinCSlow::CKavrinCSlow() : CTLMChannel(SLOW_MODE_WIDTH, ImageFormat::CFA8, 0) {}
CKavrinFastHalf::CKavrinFastHalf() : CTLMChannel(HALF_IMAGE_WIDTH, ImageFormat::GREY8, 0) {}
CKavrinCFastHalf::CKavrinCFastHalf() : CTLMChannel(HALF_IMAGE_WIDTH, ImageFormat::CFA8, 0) {}
CKavrinCFast::CKavrinCFast() : CKavrinFast(ImageFormat::CFA8) {}
CTLM2200Slow::CTLM2200Slow() : CTLMChannel(SLOW_MODE_WIDTH, ImageFormat::GREY8, 0) {}
CTLM2200FastHalf::CTLM2200FastHalf() : CTLMChannel(HALF_IMAGE_WIDTH, ImageFormat::GREY8, 0) {}
CTLM2200CFastHalf::CTLM2200CFastHalf() : CTLMChannel(HALF_IMAGE_WIDTH, ImageFormat::CFA8, 0) {}
CTLM2200Fast::CTLM2200Fast() : CKavrinFast(ImageFormat::GREY8) {}
