#include "acquisition/CKavrinFast.h"

#include "acquisition/RuntimeLibraries.h"
#include "external/DebugSink.h"
#include "external/LumoImage.h"
#include "external/LumoInstance.h"

namespace {

constexpr int64_t MONITOR_POLL_MS = 50;

// Frame 0 of `destination` becomes black, span by span as the image describes its area; both
// counts are read again after every pass.
void BlackOut(CLumoImage& destination) {
    const uint32_t black[4] = {0, 0, 0, 0};
    for (uint64_t group = 0; group < destination.GetAreaGroupCount(0); ++group) {
        for (uint64_t span = 0; span < destination.GetAreaSpanCount(group, 0); ++span) {
            destination.SetPixel(destination.GetAreaSpanA(group, span, 0),
                                 destination.GetAreaSpanB(group, span, 0),
                                 destination.GetAreaSpanC(group, span, 0), black, 4, -1, 0, 0);
        }
    }
}

bool Reached(int64_t count, uint64_t buffers) {
    // Compared as unsigned numbers, as the single-channel monitor does: a failed status ends it.
    return static_cast<uint64_t>(count) >= buffers;
}

} // namespace

CKavrinFast::CKavrinFast(uint64_t format)
    : CKavrinFast(format, TheSiliconAPI(), CurrentLumoInstance()) {}

CKavrinFast::CKavrinFast(uint64_t format, CSiliconAPI& api, CLumoInstance* instance)
    : CTLMChannel(CHANNEL_WIDTH, format, 0, api, instance),
      m_right(CHANNEL_WIDTH, format, 1, api, instance) {
    if (m_pLumo) {
        m_pLeftRegion = m_pLumo->CreateRegionObject();
        m_pRightRegion = m_pLumo->CreateRegionObject();
    }
}

CKavrinFast::~CKavrinFast() {
    StopThread(); // the monitor reads the right channel
    if (m_pLumo) {
        if (m_pLeftRegion)
            m_pLumo->DeleteImage(CLumoObject::KIND_REGION, m_pLeftRegion);
        if (m_pRightRegion)
            m_pLumo->DeleteImage(CLumoObject::KIND_REGION, m_pRightRegion);
    }
}

uint64_t CKavrinFast::GetImageCount() {
    const uint64_t leftLength = GetValidFieldLength();
    if (leftLength != 0 && leftLength == m_right.GetValidFieldLength())
        return leftLength;
    const uint64_t left = CCamera::GetValidCount(0);
    const uint64_t right = m_right.GetValidCount(0);
    return left < right ? left : right;
}

int64_t CKavrinFast::GetPhysicalIndex(uint32_t channel, uint64_t index) {
    CSequenceLock lock(*this);
    const uint64_t leftLength = GetValidFieldLength();
    if (leftLength != 0 && leftLength == m_right.GetValidFieldLength())
        return channel == 0 ? ValidFieldEntry(index) : m_right.GetPhysicalIndex(0, index);
    if (channel != 0)
        return m_right.GetPhysicalIndex(0, index);
    return CTLMChannel::GetPhysicalIndex(0, index);
}

bool CKavrinFast::CopyHalves(int64_t left, int64_t right, CLumoImage* destination,
                             bool stopOnFailure, bool log) {
    FrameHeader leftHeader;
    FrameHeader rightHeader;
    const bool swapped = ReadHeader(left, leftHeader) &&
                         ReadHeaderOf(m_right, right, rightHeader) && leftHeader.HasMagic() &&
                         rightHeader.HasMagic() && leftHeader.Channel() == 'R' &&
                         rightHeader.Channel() == 'L';
    if (swapped && log)
        LogText(1, "KavrinFast::CopyToImage: detected swapping of right and left sub image!");
    const CLumoRegion* leftTarget = swapped ? m_pRightRegion : m_pLeftRegion;
    const CLumoRegion* rightTarget = swapped ? m_pLeftRegion : m_pRightRegion;
    const uint32_t leftResult =
        destination->CopyFrame(m_pFrames, static_cast<uint64_t>(left), -1, 0, leftTarget, 0, 0);
    if (leftResult != 0 && stopOnFailure)
        return false;
    const uint32_t rightResult = destination->CopyFrame(
        FramesOf(m_right), static_cast<uint64_t>(right), -1, 0, rightTarget, 0, 0);
    return leftResult == 0 && rightResult == 0;
}

bool CKavrinFast::CopyToImage(int64_t physicalIndex, CLumoImage* destination, uint32_t initImage,
                              uint32_t /*blackOut*/) {
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    if (!m_pFrames || !m_pLeftRegion || !m_pRightRegion || !destination)
        return false;
    if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
        return false;
    m_displayRate.AddSample(m_ullDisplayCounter.fetch_add(1));
    return CopyHalves(physicalIndex, physicalIndex, destination, true, true);
}

bool CKavrinFast::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                   uint32_t blackOut) {
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    if (!m_pFrames || !m_pLeftRegion || !m_pRightRegion || !destination)
        return false;
    const int64_t left = GetPhysicalIndex(0, index);
    const int64_t right = GetPhysicalIndex(1, index);
    if (left < 0 || right < 0) {
        // A frame lost on either channel is a black gap at its place, as on a single channel;
        // only a caller that does not ask for black-out gets a failure.
        if (blackOut == 0)
            return false;
        if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
            return false;
        BlackOut(*destination);
        return true;
    }
    if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
        return false;
    m_displayRate.AddSample(m_ullDisplayCounter.fetch_add(1));
    return CopyHalves(left, right, destination, false, false);
}

uint32_t CKavrinFast::WorkerThread() {
    if (!IsGrabberOpen())
        return 0;
    const auto refresh = [this](int64_t left, int64_t right) {
        const int64_t average = (left + right) / 2;
        if (average >= 0)
            m_grabRate.AddSample(static_cast<uint64_t>(average));
        {
            CSequenceLock lock(*this); // the right's count too is written under this mutex
            StoreGrabbedCount(left);
            StoreGrabbedCountOf(m_right, right);
        }
        Notify(SEQ_NOTIFY_NEW_IMAGES, -1, false);
    };
    const auto complete = [this](int64_t left, int64_t right) {
        return !m_bContinuous && Reached(left, m_ullFrameCount) && Reached(right, m_ullFrameCount);
    };
    int64_t left = GetGrabbedCount();
    int64_t right = m_right.GetGrabbedCount();
    if (left >= 1 && right >= 1)
        refresh(left, right);
    while (!complete(left, right)) {
        if (StopEvent().Wait(MONITOR_POLL_MS)) {
            Notify(SEQ_NOTIFY_ENDED, 0, false);
            return 0;
        }
        const int64_t newLeft = GetGrabbedCount();
        const int64_t newRight = m_right.GetGrabbedCount();
        if (newLeft != left && newRight != right)
            refresh(newLeft, newRight);
        // The references move only with a refresh; the done test looks at the new counts.
        if (complete(newLeft, newRight)) {
            left = newLeft;
            right = newRight;
            break;
        }
        if (newLeft != left && newRight != right) {
            left = newLeft;
            right = newRight;
        }
    }
    const int64_t average = (left + right) / 2;
    if (average >= 0)
        m_grabRate.AddSample(static_cast<uint64_t>(average));
    Notify(SEQ_NOTIFY_ENDED, 0, false);
    StopEvent().Wait(-1);
    return 0;
}

void CKavrinFast::SetLog(CDebugSink* log) {
    CTLMChannel::SetLog(log);
    m_right.SetLog(log);
}

void CKavrinFast::SetHeight(uint32_t height) {
    CTLMChannel::SetHeight(height);
    m_right.SetHeight(height);
}

void CKavrinFast::Stop() {
    if (m_bSaveBusy.load()) {
        StopThread();
        return;
    }
    // The monitor polls the right grabber: it ends before that grabber closes, or it would read
    // the closed grabber's count (0) as the right's grabbed count.
    const bool running = IsThreadRunning();
    StopThread();
    LogText(1, "CKavrinFast::Stop: calling stop for the right channel");
    m_right.CCamera::Stop();
    LogText(1, "CKavrinFast::Stop: calling stop for the left channel");
    if (!running) {
        LogText(1, "CTLMChannel::Stop: snap is not active");
        return;
    }
    CCamera::Stop();
    InitializeValidField();
}

void CKavrinFast::DumpBuffers() {
    LogText(1, "Left channel:");
    CTLMChannel::DumpBuffers();
    LogText(1, "Right channel:");
    m_right.DumpBuffers();
}

void CKavrinFast::DetachFrameBuffers() {
    CCamera::DetachFrameBuffers();
    m_right.DetachFrameBuffers();
}

uint64_t CKavrinFast::GetCCCount() {
    return m_right.GetCCCount() + 4;
}

std::string CKavrinFast::GetCCName(uint64_t line) {
    if (line < 4)
        return CCamera::GetCCName(line) + "A";
    return m_right.GetCCName(line - 4) + "B";
}

void CKavrinFast::SetCCState(uint32_t bits) {
    CCamera::SetCCState(bits & 15u);
    m_right.SetCCState(bits >> 4);
}

uint32_t CKavrinFast::GetCCState() {
    return (m_right.GetCCState() << 4) | (CCamera::GetCCState() & 15u);
}

bool CKavrinFast::PrepareFrameBuffers(uint64_t count) {
    if (!CCamera::PrepareFrameBuffers(count))
        return false;
    if (!m_right.PrepareFrameBuffers(count)) {
        CCamera::DetachFrameBuffers();
        return false;
    }
    if (m_pLeftRegion)
        m_pLeftRegion->SetRect(0, 0, 0, m_uWidth, m_uHeight, 0);
    if (m_pRightRegion)
        m_pRightRegion->SetRect(0, m_uWidth, 0, m_uWidth, m_uHeight, 0);
    return true;
}

bool CKavrinFast::StartSnap(bool continuous) {
    if (!CTLMChannel::StartSnap(continuous))
        return false;
    SetValidField({});
    SetValidFieldOf(m_right, {});
    if (!m_right.StartSnap(continuous)) {
        CTLMChannel::Stop();
        return false;
    }
    return true;
}

int64_t CKavrinFast::GetLostImages(uint32_t channel) {
    if (channel == 0)
        return CCamera::GetLostImages(0);
    if (channel == 1)
        return m_right.GetLostImages(0);
    return 0;
}

bool CKavrinFast::ReadChannelTags(CTLMChannel& channel, const char* side, const char* label,
                                  std::vector<RingTag>& ring) {
    CDebugSink* log = GetLog();
    if (!ReadRingTagsOf(channel, ring)) {
        if (log)
            log->Log(1,
                     "CKavrinFast::InitializeValidField: Couldn't get tag range (%s channel). "
                     "Propably the counter is disabled",
                     side);
        return false;
    }
    const PlainTagRange range = GetPlainTagRange(ring);
    if (log)
        log->Log(1,
                 "CKavrinFast::InitializeValidField: %s info: MinTag = %u@%lld; MaxTag = %u@%lld",
                 label, range.minTag, static_cast<long long>(range.minPhysical), range.maxTag,
                 static_cast<long long>(range.maxPhysical));
    return true;
}

bool CKavrinFast::InitializeValidField() {
    CDebugSink* log = GetLog();
    LogText(1, "Entering CKavrinFast::InitializeValidField");
    // A failure below leaves no field from an earlier build behind.
    SetValidField({});
    SetValidFieldOf(m_right, {});
    const uint64_t leftCount = CCamera::GetValidCount(0);
    const uint64_t rightCount = m_right.GetValidCount(0);
    if (leftCount == 0) {
        LogText(1, "CKavrinFast::InitializeValidField: Warning: No valid images found in LEFT "
                   "channel!");
        return false;
    }
    if (log)
        log->Log(1, "CKavrinFast::InitializeValidField: Found %llu valid images on LEFT channel",
                 static_cast<unsigned long long>(leftCount));
    if (rightCount == 0) {
        LogText(1, "CKavrinFast::InitializeValidField: Warning: No valid images found in RIGHT "
                   "channel!");
        return false;
    }
    if (log)
        log->Log(1, "CKavrinFast::InitializeValidField: Found %llu valid images on RIGHT channel",
                 static_cast<unsigned long long>(rightCount));

    std::vector<RingTag> leftRing;
    std::vector<RingTag> rightRing;
    if (!ReadChannelTags(*this, "left", "Lefttag", leftRing) ||
        !ReadChannelTags(m_right, "right", "Righttag", rightRing))
        return false;

    const TagSpan leftSpan = ChooseTagSpan(leftRing);
    const TagSpan rightSpan = ChooseTagSpan(rightRing);
    const struct {
        const TagSpan& span;
        uint64_t bound;
        const char* channel;
    } checks[] = {{leftSpan, TagRangeBound(GetBufferCount()), "left"},
                  {rightSpan, TagRangeBound(m_right.GetBufferCount()), "right"}};
    for (const auto& check : checks) {
        if (check.span.length <= check.bound)
            continue;
        if (log)
            log->Log(0,
                     "CKavrinFast::InitializeValidField: tag range of %llu tags from %u (%s "
                     "channel) is longer than %llu; the counter jumped, keeping the ring order",
                     static_cast<unsigned long long>(check.span.length), check.span.first,
                     check.channel, static_cast<unsigned long long>(check.bound));
        return false;
    }

    uint32_t start = 0;
    uint64_t length = 0;
    if (!IntersectTagSpans(leftSpan, rightSpan, start, length))
        length = 0; // no tag both channels recorded: nothing is paired
    std::vector<int64_t> leftField = BuildValidField(leftRing, start, length);
    std::vector<int64_t> rightField = BuildValidField(rightRing, start, length);
    if (log) {
        for (uint64_t i = 0; i < length; ++i)
            log->Log(1,
                     "CKavrinFast::InitializeValidField: idx = %llu, dwTagCount = %u, phy idx "
                     "(left = %lld, right = %lld)",
                     static_cast<unsigned long long>(i), start + static_cast<uint32_t>(i),
                     static_cast<long long>(leftField[i]), static_cast<long long>(rightField[i]));
    }
    SetValidField(std::move(leftField));
    SetValidFieldOf(m_right, std::move(rightField));
    DumpHeaders();
    return true;
}

void CKavrinFast::DumpHeaders() {
    CDebugSink* log = GetLog();
    if (!log)
        return;
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    CLumoImage* rightFrames = FramesOf(m_right);
    const uint64_t buffers = GetBufferCount();
    for (uint64_t b = 0; b < buffers; ++b) {
        const auto physical = static_cast<int64_t>(b);
        FrameHeader left;
        FrameHeader right;
        const bool hasLeft = m_pFrames && ReadFrameHeader(m_pFrames->GetFrameData(0, physical, 0),
                                                          m_pFrames->GetFrameSize(), left);
        const bool hasRight =
            rightFrames && ReadFrameHeader(rightFrames->GetFrameData(0, physical, 0),
                                           rightFrames->GetFrameSize(), right);
        const auto c = [](const FrameHeader& header, int i) {
            return static_cast<int>(header.bytes[i]);
        };
        if (hasLeft && hasRight)
            log->Log(1, "Dumping %llu: left: %c%c%c%c%u, right: %c%c%c%c%u",
                     static_cast<unsigned long long>(b), c(left, 0), c(left, 1), c(left, 2),
                     c(left, 3), left.tag, c(right, 0), c(right, 1), c(right, 2), c(right, 3),
                     right.tag);
        else if (hasRight)
            log->Log(1, "Dumping %llu: left: -----, right: %c%c%c%c%u",
                     static_cast<unsigned long long>(b), c(right, 0), c(right, 1), c(right, 2),
                     c(right, 3), right.tag);
        else if (hasLeft)
            log->Log(1, "Dumping %llu: left: %c%c%c%c%u, right: -----",
                     static_cast<unsigned long long>(b), c(left, 0), c(left, 1), c(left, 2),
                     c(left, 3), left.tag);
    }
}
