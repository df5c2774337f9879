// The view as its sequence's export stage: the frames saved "as displayed" go through the same
// chain as the picture on screen, one frame at a time under the chain lock.
#include "acquisition/CSequenceBase.h"
#include "app/CKavrinDemoView.h"
#include "external/ImageFormat.h"
#include "external/LumoImage.h"
#include "processing/CImgProcessChain.h"

#include <cstring>

namespace {

// `to` made a copy of frame 0 of `from`, origin included (it keeps the colour-filter phase);
// reallocated only when the shape differs. False when the copy fails.
bool CopyImage(CLumoImage& to, const CLumoImage& from) {
    if ((to.GetWidth() != from.GetWidth() || to.GetHeight() != from.GetHeight() ||
         to.GetBitDepth() != from.GetBitDepth() ||
         to.GetFormat(nullptr) != from.GetFormat(nullptr)) &&
        to.AllocateFrames(&from, 1) != 0)
        return false;
    uint32_t x = 0;
    uint32_t y = 0;
    from.GetOrigin(&x, &y);
    to.SetOrigin(x, y);
    return to.CopyFrame(&from, 0, -1, 0, nullptr, 0, 0) == 0;
}

// 8-bit RGB with a fourth, padding channel (what the chain gives the display).
bool PaddedRgb8(uint64_t format) {
    return ImageFormat::ImageClass(format) == ImageFormat::CLASS_RGB &&
           ImageFormat::ContainerBits(format) == 8 && ImageFormat::Channels(format) == 4;
}

// `to` made the packed form of `from`: padded 8-bit RGB loses its padding channel (files keep
// three samples, so a frame's record matches what is read back); anything else is copied.
bool PackSamples(CLumoImage& to, CLumoImage& from) {
    const uint64_t format = from.GetFormat(nullptr);
    if (!PaddedRgb8(format))
        return CopyImage(to, from);
    const uint64_t packed =
        ImageFormat::Make(8, ImageFormat::SignificantBits(format), 3, 0, ImageFormat::CLASS_RGB);
    const uint32_t width = from.GetWidth();
    const uint32_t height = from.GetHeight();
    if ((to.GetWidth() != width || to.GetHeight() != height || to.GetFormat(nullptr) != packed) &&
        to.Allocate(width, height, packed, 0, 1) != 0)
        return false;
    uint32_t x = 0;
    uint32_t y = 0;
    from.GetOrigin(&x, &y);
    to.SetOrigin(x, y);
    const auto* source = static_cast<const uint8_t*>(from.GetFrameData(0, -1, 0));
    auto* target = static_cast<uint8_t*>(to.GetFrameData(0, -1, 0));
    if (!source || !target)
        return false;
    const uint64_t pixels = uint64_t{width} * height;
    for (uint64_t i = 0; i < pixels; ++i)
        std::memcpy(target + 3 * i, source + 4 * i, 3);
    return true;
}

} // namespace

void CKavrinDemoView::BecomeExportStage(CSequenceBase* sequence) {
    if (sequence == m_pStageSequence)
        return;
    if (m_pStageSequence)
        m_pStageSequence->SetExportStage(nullptr);
    m_pStageSequence = sequence;
    if (sequence)
        sequence->SetExportStage(this);
}

bool CKavrinDemoView::RenderForExport(CLumoImage& raw, CLumoImage& shown) {
    CLumoImage* input = m_pRawImage.get();
    if (!input)
        return false;
    // One frame's run and copy: the update thread and the UI thread wait no longer.
    CImgProcessChain& chain = *m_pChain;
    platform::RecursiveLock lock(chain.ChainLock());
    if (!CopyImage(*input, raw))
        return false;
    const uint64_t modules = chain.GetModuleCount();
    if (modules == 0)
        return CopyImage(shown, *input); // an empty chain shows the raw image
    // The first module reads the raw image again (a chain selection leaves it at the probe the
    // chain was built with), and every output is shaped for it.
    if (!chain.RefreshInput(input) || !chain.Process())
        return false;
    CLumoImage* output = chain.GetImage(modules - 1);
    return output && CopyImage(shown, *output);
}

CLumoImage* CKavrinDemoView::Process(CLumoImage& raw) {
    if (!m_pExportCopy || !m_pExportImage || !RenderForExport(raw, *m_pExportCopy))
        return nullptr;
    // Outside the chain lock: the picture on screen does not wait for the packing.
    return PackSamples(*m_pExportImage, *m_pExportCopy) ? m_pExportImage.get() : nullptr;
}
