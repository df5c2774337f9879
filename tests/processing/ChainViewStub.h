// The view's part of a processing chain, for tests and benchmarks: the raw frame the chain
// starts from, and the display module that takes each processed image as the view does.
#pragma once

#include "libs/lumo/CDisplayModule.h"
#include "libs/lumo/CImageObject.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

struct ChainViewStub {
    lumo::CImageObject raw;
    lumo::CDisplayModule display;
    std::mutex mutex;
    std::condition_variable cond;
    uint64_t runs = 0;
    uint64_t failures = 0;
    bool keepShown = false;     // set before the chain runs: copy every frame shown into `shown`
    std::vector<uint8_t> shown; // the last frame the display showed, with keepShown: grey
                                // bytes, or B, G, R, 0xFF pixels

    // The chain's base image provider and ready callback; `context` is the view.
    static CLumoImage* Provide(void* context) { return &static_cast<ChainViewStub*>(context)->raw; }
    static void Ready(void* context, CLumoImage* image, bool) {
        auto* view = static_cast<ChainViewStub*>(context);
        CLumoImage* images[1] = {image};
        const bool ok = image && view->display.SetImages(1, images) == 0 &&
                        view->display.Execute(CLumoModule::EXECUTE_TAKE_IMAGE) == 0;
        const LumoDisplayFrame* frame = nullptr;
        if (ok && view->keepShown &&
            view->display.GetParam(lumo::CDisplayModule::PARAM_FRAME, LumoArg(&frame), 0) != 0)
            frame = nullptr; // counted as shown, but nothing to keep
        std::lock_guard<std::mutex> lock(view->mutex);
        ++view->runs;
        view->failures += ok ? 0 : 1;
        if (ok && frame)
            view->shown.assign(frame->pixels, frame->pixels + size_t(frame->width) * frame->height *
                                                                  frame->bytesPerPixel);
        view->cond.notify_all();
    }
    // Waits (30 s at most) until `n` runs have reached the display.
    bool WaitRuns(uint64_t n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cond.wait_for(lock, std::chrono::seconds(30), [&] { return runs >= n; });
    }
};
