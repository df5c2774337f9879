#include "processing/ChainWorker.h"

#include "external/DebugLog.h"

#include <system_error>
#include <unistd.h>

ChainWorker::ChainWorker(platform::RecursiveMutex& chainLock, ChainModel* model, CDebugSink* log)
    : m_chainLock(chainLock), m_pModel(model), m_pLog(log) {
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error&) {
        return; // no thread: thread ID stays 0
    }
    m_startEvent.Wait(-1);
}

ChainWorker::~ChainWorker() {
    Stop();
}

void ChainWorker::Stop() {
    if (!m_thread.joinable())
        return;
    m_queue.Post(QuitMessage{});
    m_thread.join();
}

bool ChainWorker::Post(const ChainMessage& message) {
    if (m_dwThreadId == 0)
        return false;
    m_queue.Post(message);
    return true;
}

void ChainWorker::Run() {
    m_dwThreadId = static_cast<uint32_t>(gettid());
    m_startEvent.Set();
    KAVRIN_LOG_PLAIN(m_pLog, 1, "UpdateThread started!");
    while (Handle(m_queue.Get())) {
    }
    KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread", "Thread is about to terminate");
}

bool ChainWorker::Handle(const ChainMessage& message) {
    if (const auto* provider = std::get_if<SetProviderMessage>(&message)) {
        m_pfnProvider = provider->provider;
        m_pProviderContext = provider->context;
    } else if (const auto* ready = std::get_if<SetReadyMessage>(&message)) {
        m_pfnReady = ready->callback;
        m_pReadyContext = ready->context;
    } else if (const auto* update = std::get_if<UpdateMessage>(&message)) {
        HandleUpdate(update->erase);
    } else if (std::holds_alternative<AnalyzeMessage>(message)) {
        HandleAnalyze();
    } else if (std::holds_alternative<QuitMessage>(message)) {
        return false;
    }
    return true;
}

void ChainWorker::HandleUpdate(bool erase) {
    if (!m_pfnProvider || !m_pfnReady)
        return;
    KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread", "received Update image request");
    // Requests queued meanwhile are answered by this one run; the newest erase flag counts.
    while (const std::optional<UpdateMessage> queued = m_queue.TakeQueuedUpdate()) {
        KAVRIN_LOG_PLAIN(m_pLog, 1, "Removing superflous update message");
        erase = queued->erase;
    }
    KAVRIN_LOG_PLAIN(m_pLog, 1, "Mutex = %p", static_cast<void*>(&m_chainLock));
    {
        platform::RecursiveLock lock(m_chainLock);
        KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread", "calling InitBaseImgProc");
        CLumoImage* raw = m_pfnProvider(m_pProviderContext);
        CLumoImage* result = raw;
        if (m_pModel->GetModuleCount() == 0) {
            KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread", "empty chain");
        } else {
            KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread",
                       "initializing first image for chain");
            m_pModel->SetFirstInput(raw);
            KAVRIN_LOG(m_pLog, 1, "CImgProcessChain::UpdateThread", "calling Process()");
            result = m_pModel->Process() ? m_pModel->Output() : nullptr;
        }
        m_pfnReady(m_pReadyContext, result, erase);
    }
    m_queue.Post(AnalyzeMessage{});
}

void ChainWorker::HandleAnalyze() {
    if (!m_pfnProvider)
        return;
    platform::RecursiveLock lock(m_chainLock);
    if (!m_pModel->AnalysisWanted())
        return;
    CLumoImage* raw =
        m_pModel->GetAnalyzeSource() == 0 ? m_pfnProvider(m_pProviderContext) : nullptr;
    m_pModel->Analyze(raw);
}
