// The camera types of the catalogue. Each adds nothing but its construction values and its
// name: single-channel types are CTLMChannel objects on grabber slot 0, dual-channel types are
// CKavrinFast objects (slots 0 and 1).
#pragma once

#include "acquisition/CKavrinFast.h"
#include "acquisition/CTLMChannel.h"

// Full sensor width through one channel, and one half of the fast mode.
inline constexpr uint32_t SLOW_MODE_WIDTH = 2320;
inline constexpr uint32_t HALF_IMAGE_WIDTH = 1120;

class CKavrinSlow : public CTLMChannel {
public:
    CKavrinSlow();
    const char* GetName() override { return "Kavrin KX-220B 200fps"; }
    double GetNominalFrameRate() override { return 200.0; }
};

class CKavrinCSlow : public CTLMChannel {
public:
    CKavrinCSlow();
    const char* GetName() override { return "Kavrin KX-220C 200fps"; }
    double GetNominalFrameRate() override { return 200.0; }
};

class CKavrinFastHalf : public CTLMChannel {
public:
    CKavrinFastHalf();
    const char* GetName() override { return "Kavrin KX-220B (Fast mode / Half image)"; }
};

class CKavrinCFastHalf : public CTLMChannel {
public:
    CKavrinCFastHalf();
    const char* GetName() override { return "Kavrin KX-220C (Fast mode / Half image)"; }
};

class CKavrinCFast : public CKavrinFast {
public:
    CKavrinCFast();
    const char* GetName() override { return "Kavrin KX-220C (Fast mode)"; }
};

class CTLM2200Slow : public CTLMChannel {
public:
    CTLM2200Slow();
    const char* GetName() override { return "TLM-2200 (Slow mode)"; }
};

class CTLM2200FastHalf : public CTLMChannel {
public:
    CTLM2200FastHalf();
    const char* GetName() override { return "TLM-2200 (Fast mode / Half image)"; }
};

class CTLM2200CFastHalf : public CTLMChannel {
public:
    CTLM2200CFastHalf();
    const char* GetName() override { return "TLM-2200C (Fast mode / Half image)"; }
};

class CTLM2200Fast : public CKavrinFast {
public:
    CTLM2200Fast();
    const char* GetName() override { return "TLM-2200 (Fast mode)"; }
};
