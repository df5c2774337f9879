// The chain's update thread: the one thread that runs the chain for the view. It takes typed
// messages (ChainMessages.h) one by one: the view's image provider and ready callback, update
// requests, which coalesce (requests queued while one is taken are answered by that one run,
// with the newest erase flag), analysis requests, which follow every update, and the request
// to end.
#pragma once

#include "external/DebugSink.h"
#include "platform/Event.h"
#include "platform/ThreadAnnotations.h"
#include "processing/ChainMessages.h"
#include "processing/ChainModel.h"

#include <cstdint>
#include <thread>

class ChainWorker {
public:
    // Starts the update thread and waits until it runs. The thread runs `model` under
    // `chainLock`; both outlive the worker. When no thread can be started the thread ID stays 0.
    ChainWorker(platform::RecursiveMutex& chainLock, ChainModel* model, CDebugSink* log);
    ChainWorker(const ChainWorker&) = delete;
    ChainWorker& operator=(const ChainWorker&) = delete;
    // Stop().
    ~ChainWorker();

    // Asks the thread to end and waits for it. Any thread but the update thread; once.
    void Stop();
    // Queues a message for the update thread; false when it does not run. Any thread.
    [[nodiscard]] bool Post(const ChainMessage& message);
    uint32_t GetThreadId() const { return m_dwThreadId; }

private:
    void Run();
    // Handles one message; false for the request to end.
    bool Handle(const ChainMessage& message);
    void HandleUpdate(bool erase);
    void HandleAnalyze();

    platform::RecursiveMutex& m_chainLock;
    ChainModel* const m_pModel KAVRIN_PT_GUARDED_BY(m_chainLock);
    CDebugSink* const m_pLog;
    platform::Event m_startEvent;
    ChainMessageQueue m_queue;
    uint32_t m_dwThreadId = 0; // written by the thread before it sets the start event
    std::thread m_thread;
    // Touched only by the update thread.
    ChainImageProvider m_pfnProvider = nullptr;
    void* m_pProviderContext = nullptr;
    ChainReadyCallback m_pfnReady = nullptr;
    void* m_pReadyContext = nullptr;
};
