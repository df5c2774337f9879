#include "acquisition/CKavrinFast.h"

#include "acquisition/BlackOut.h"
#include "acquisition/RuntimeLibraries.h"
#include "external/DebugLog.h"
#include "external/LumoImage.h"
#include "external/LumoInstance.h"

CKavrinFast::CKavrinFast(uint64_t format)
    : CKavrinFast(format, TheSiliconAPI(), CurrentLumoInstance()) {}

CKavrinFast::CKavrinFast(uint64_t format, CSiliconAPI& api, CLumoInstance* instance)
    : CTLMChannel(CHANNEL_WIDTH, format, 0, api, instance),
      m_right(CHANNEL_WIDTH, format, 1, api, instance), m_leftRegion(MakeLumoRegion(instance)),
      m_rightRegion(MakeLumoRegion(instance)) {}

CKavrinFast::~CKavrinFast() {
    StopThread(); // the monitor reads the right channel, which goes before the left part
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
    const bool swapped = ReadBufferHeader(left, leftHeader) &&
                         m_right.ReadBufferHeader(right, rightHeader) && leftHeader.HasMagic() &&
                         rightHeader.HasMagic() && leftHeader.Channel() == 'R' &&
                         rightHeader.Channel() == 'L';
    if (swapped && log)
        KAVRIN_LOG(GetLog(), 1, "KavrinFast::CopyToImage",
                   "detected swapping of right and left sub image!");
    const CLumoRegion* leftTarget = swapped ? m_rightRegion.get() : m_leftRegion.get();
    const CLumoRegion* rightTarget = swapped ? m_leftRegion.get() : m_rightRegion.get();
    const uint32_t leftResult =
        destination->CopyFrame(Frames(), static_cast<uint64_t>(left), -1, 0, leftTarget, 0, 0);
    if (leftResult != 0 && stopOnFailure)
        return false;
    const uint32_t rightResult = destination->CopyFrame(
        m_right.Frames(), static_cast<uint64_t>(right), -1, 0, rightTarget, 0, 0);
    return leftResult == 0 && rightResult == 0;
}

bool CKavrinFast::CopyToImage(int64_t physicalIndex, CLumoImage* destination, uint32_t initImage,
                              uint32_t /*blackOut*/) {
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    if (!Frames() || !m_leftRegion || !m_rightRegion || !destination)
        return false;
    if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
        return false;
    CountDisplayedFrame();
    return CopyHalves(physicalIndex, physicalIndex, destination, true, true);
}

bool CKavrinFast::CopyValidToImage(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                   uint32_t blackOut) {
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    if (!Frames() || !m_leftRegion || !m_rightRegion || !destination)
        return false;
    if (IsGrabberOpen() && m_right.IsGrabberOpen())
        return CopyLiveHalves(index, destination, initImage, blackOut);
    if (IsGapFrame(index))
        return CopyMissingHalves(destination, initImage, blackOut);
    const int64_t left = GetPhysicalIndex(0, index);
    const int64_t right = GetPhysicalIndex(1, index);
    if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
        return false;
    CountDisplayedFrame();
    return CopyHalves(left, right, destination, false, false);
}

bool CKavrinFast::CopyMissingHalves(CLumoImage* destination, uint32_t initImage,
                                    uint32_t blackOut) {
    // A frame lost on either channel is a black gap at its place, as on a single channel; only
    // a caller that does not ask for black-out gets a failure.
    if (blackOut == 0)
        return false;
    if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
        return false;
    BlackOut(*destination);
    return true;
}

bool CKavrinFast::CopyLiveHalves(uint64_t index, CLumoImage* destination, uint32_t initImage,
                                 uint32_t blackOut) {
    for (int attempt = 0; attempt < LIVE_COPY_ATTEMPTS; ++attempt) {
        LiveFrame left;
        LiveFrame right;
        if (!PickLiveFrame(index, left) || !m_right.PickLiveFrame(index, right))
            return CopyMissingHalves(destination, initImage, blackOut);
        if (initImage != 0 && !InitImageIfRequired(GetWidth(), GetHeight(), destination))
            return false;
        CountDisplayedFrame();
        const bool copied = CopyHalves(left.physical, right.physical, destination, false, false);
        if (LiveFrameWhole(left) && m_right.LiveFrameWhole(right))
            return copied;
        KAVRIN_LOG(GetLog(), 1, "CKavrinFast::CopyValidToImage",
                   "a grabber overwrote buffer %lld/%lld during the copy",
                   static_cast<long long>(left.physical), static_cast<long long>(right.physical));
    }
    return false;
}

int64_t CKavrinFast::MonitorCount() {
    const int64_t left = GetGrabbedCount();
    const int64_t right = m_right.GetGrabbedCount();
    if (left < 0 || right < 0)
        return -1;
    return left < right ? left : right;
}

void CKavrinFast::StoreMonitorCounts() {
    CSequenceLock lock(*this); // the right's count too is written under this mutex
    StoreGrabbedCount(GetGrabbedCount());
    m_right.StoreGrabbedCount(m_right.GetGrabbedCount());
}

void CKavrinFast::StopWatchedAcquisition() {
    CCamera::StopWatchedAcquisition();
    m_right.StopWatchedAcquisition();
}

std::optional<uint32_t> CKavrinFast::ImageTag(uint64_t image) {
    if (m_right.GetGrabbedCount() < GetGrabbedCount())
        return m_right.ImageTag(image);
    return CTLMChannel::ImageTag(image);
}

std::optional<uint32_t> CKavrinFast::LogicalTag(uint64_t index) {
    FrameHeader header;
    if (ReadBufferHeader(GetPhysicalIndex(0, index), header) && header.HasMagic())
        return header.tag;
    if (m_right.ReadBufferHeader(GetPhysicalIndex(1, index), header) && header.HasMagic())
        return header.tag;
    return std::nullopt;
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
    if (IsSaveBusy()) {
        StopThread();
        return;
    }
    // The monitor polls the right grabber: it ends before that grabber closes, or it would read
    // the closed grabber's count (0) as the right's grabbed count.
    const bool running = IsThreadRunning();
    StopThread();
    KAVRIN_LOG(GetLog(), 1, "CKavrinFast::Stop", "calling stop for the right channel");
    // The right channel has no thread and runs no save of its own, so its grab is stopped
    // directly: its own Stop (CTLMChannel's) would find no thread and only log that no snap is
    // active, leaving its grabber open.
    m_right.StopGrab();
    KAVRIN_LOG(GetLog(), 1, "CKavrinFast::Stop", "calling stop for the left channel");
    if (!running) {
        KAVRIN_LOG(GetLog(), 1, "CTLMChannel::Stop", "snap is not active");
        return;
    }
    StopGrab();
    (void)InitializeValidField(); // without fields each channel keeps its ring order
}

void CKavrinFast::DumpBuffers() {
    if (CDebugSink* log = GetLog())
        log->Log(1, "Left channel:");
    CTLMChannel::DumpBuffers();
    if (CDebugSink* log = GetLog())
        log->Log(1, "Right channel:");
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
    const uint32_t width = ChannelWidth();
    // With index and flags 0 a region takes any rectangle; one that does not fit the
    // destination fails the copies, which report it.
    if (m_leftRegion)
        (void)m_leftRegion->SetRect(0, 0, 0, width, GetHeight(), 0);
    if (m_rightRegion)
        (void)m_rightRegion->SetRect(0, width, 0, width, GetHeight(), 0);
    return true;
}

bool CKavrinFast::StartSnap(bool continuous) {
    if (!CTLMChannel::StartSnap(continuous))
        return false;
    SetValidField({});
    m_right.SetValidField({});
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
    if (!channel.ReadRingTags(ring)) {
        KAVRIN_LOG(GetLog(), 1, "CKavrinFast::InitializeValidField",
                   "Couldn't get tag range (%s channel). Propably the counter is disabled", side);
        return false;
    }
    const PlainTagRange range = GetPlainTagRange(ring);
    KAVRIN_LOG(GetLog(), 1, "CKavrinFast::InitializeValidField",
               "%s info: MinTag = %u@%lld; MaxTag = %u@%lld", label, range.minTag,
               static_cast<long long>(range.minPhysical), range.maxTag,
               static_cast<long long>(range.maxPhysical));
    return true;
}

bool CKavrinFast::CheckValidCounts() {
    const uint64_t leftCount = CCamera::GetValidCount(0);
    const uint64_t rightCount = m_right.GetValidCount(0);
    auto logCount = [this](uint64_t count, const char* side) {
        if (count == 0) {
            KAVRIN_LOG(GetLog(), 1, "CKavrinFast::InitializeValidField",
                       "Warning: No valid images found in %s channel!", side);
            return false;
        }
        KAVRIN_LOG(GetLog(), 1, "CKavrinFast::InitializeValidField",
                   "Found %llu valid images on %s channel", static_cast<unsigned long long>(count),
                   side);
        return true;
    };
    return logCount(leftCount, "LEFT") && logCount(rightCount, "RIGHT");
}

bool CKavrinFast::SpansBounded(const TagSpan& leftSpan, const TagSpan& rightSpan) {
    const struct {
        const TagSpan& span;
        uint64_t bound;
        const char* channel;
    } checks[] = {{leftSpan, TagRangeBound(GetBufferCount()), "left"},
                  {rightSpan, TagRangeBound(m_right.GetBufferCount()), "right"}};
    for (const auto& check : checks) {
        if (check.span.length <= check.bound)
            continue;
        KAVRIN_LOG(GetLog(), 0, "CKavrinFast::InitializeValidField",
                   "tag range of %llu tags from %u (%s channel) is longer than %llu; the counter "
                   "jumped, keeping the ring order",
                   static_cast<unsigned long long>(check.span.length), check.span.first,
                   check.channel, static_cast<unsigned long long>(check.bound));
        return false;
    }
    return true;
}

bool CKavrinFast::InitializeValidField() {
    if (CDebugSink* log = GetLog())
        log->Log(1, "Entering CKavrinFast::InitializeValidField");
    // A failure below leaves no field from an earlier build behind.
    SetValidField({});
    m_right.SetValidField({});
    if (!CheckValidCounts())
        return false;
    std::vector<RingTag> leftRing;
    std::vector<RingTag> rightRing;
    if (!ReadChannelTags(*this, "left", "Lefttag", leftRing) ||
        !ReadChannelTags(m_right, "right", "Righttag", rightRing))
        return false;
    const TagSpan leftSpan = ChooseTagSpan(leftRing);
    const TagSpan rightSpan = ChooseTagSpan(rightRing);
    if (!SpansBounded(leftSpan, rightSpan))
        return false;

    uint32_t start = 0;
    uint64_t length = 0;
    if (!IntersectTagSpans(leftSpan, rightSpan, start, length))
        length = 0; // no tag both channels recorded: nothing is paired
    std::vector<int64_t> leftField = BuildValidField(leftRing, start, length);
    std::vector<int64_t> rightField = BuildValidField(rightRing, start, length);
    if (CDebugSink* log = GetLog()) {
        for (uint64_t i = 0; i < length; ++i)
            KAVRIN_LOG(log, 1, "CKavrinFast::InitializeValidField",
                       "idx = %llu, dwTagCount = %u, phy idx (left = %lld, right = %lld)",
                       static_cast<unsigned long long>(i), start + static_cast<uint32_t>(i),
                       static_cast<long long>(leftField[i]), static_cast<long long>(rightField[i]));
    }
    SetValidField(std::move(leftField));
    m_right.SetValidField(std::move(rightField));
    DumpHeaders();
    return true;
}

void CKavrinFast::DumpHeaders() {
    CDebugSink* log = GetLog();
    if (!log)
        return;
    CSequenceLock lock(*this);
    CSequenceLock rightLock(m_right);
    CLumoImage* leftFrames = Frames();
    CLumoImage* rightFrames = m_right.Frames();
    const uint64_t buffers = GetBufferCount();
    for (uint64_t b = 0; b < buffers; ++b) {
        const auto physical = static_cast<int64_t>(b);
        FrameHeader left;
        FrameHeader right;
        const bool hasLeft = leftFrames && ReadFrameHeader(leftFrames->GetFrameData(0, physical, 0),
                                                           leftFrames->GetFrameSize(), left);
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

bool CKavrinFast::IsGapFrame(uint64_t index) {
    return GetPhysicalIndex(0, index) < 0 || GetPhysicalIndex(1, index) < 0;
}
