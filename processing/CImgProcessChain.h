// The process chain: the modules of the image library that turn the view's raw image into the
// image on screen, run on the chain's own update thread, plus an analyze group of modules that
// analyse a selectable source image, and the list of the modules' dialogs.
//
// The chain lock (m_hChainSema, recursive) guards the lists, the images and the modules' use. The
// update thread holds it for a whole update or analysis; the view holds it while rebuilding,
// refreshing, saving or drawing. It is always taken before a sequence's mutex, never after.
#pragma once

#include "external/DebugSink.h"
#include "external/LumoInstance.h"
#include "external/LumoNotify.h"
#include "platform/Event.h"
#include "platform/MessageQueue.h"
#include "processing/ChainContents.h"
#include "processing/ChainMenu.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

class CIniFile_0;

class CImgProcessChain {
public:
    // Thread messages of the update thread.
    static constexpr uint32_t MSG_SET_PROVIDER = 0x8001; // w: BaseImageProvider, l: context
    static constexpr uint32_t MSG_SET_READY = 0x8002;    // w: ReadyCallback, l: context
    static constexpr uint32_t MSG_UPDATE = 0x8003;       // w: erase flag
    static constexpr uint32_t MSG_ANALYZE = 0x8004;
    static constexpr uint32_t MSG_QUIT = 0x8005;

    // Fills the raw image with the current frame and returns it (runs on the update thread).
    using BaseImageProvider = CLumoImage* (*)(void* context);
    // Receives the processed image (null when processing failed), with the chain lock held.
    using ReadyCallback = void (*)(void* context, CLumoImage* image, bool erase);
    // Receives the modules' dialog events (code: dialog ID << 16 | event); returns 1 when handled.
    using DialogEventCallback = uint32_t (*)(void* context, uint32_t code);

    // The view as the chain sees it when contents are committed.
    struct ChainClient {
        DialogEventCallback pfnDialogEvent = nullptr;
        void* pContext = nullptr;
    };

    // Starts the update thread and waits until it runs. `log` may be null.
    CImgProcessChain(CLumoInstance* instance, CDebugSink* log);
    CImgProcessChain(const CImgProcessChain&) = delete;
    CImgProcessChain& operator=(const CImgProcessChain&) = delete;

    virtual void AdaptToInput(CLumoModule* module);
    virtual void SetOptions(CLumoModule* module, CLumoImage* image);
    virtual bool PrepareOutput(CLumoModule* module);
    virtual void LoadModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                    CIniFile_0* registryStore, const char* section);
    virtual void SaveModuleSettings(CLumoModule* module, CIniFile_0* iniStore,
                                    CIniFile_0* registryStore, const char* section);
    // Ends the update thread, then destroys every module and image the chain owns.
    virtual ~CImgProcessChain();

    // Builds contents from `count` object IDs plus one analyze module; the previous contents
    // stay untouched when anything fails. The caller holds the chain lock.
    bool BuildDefault(uint32_t primaryClass, const uint32_t* objectIds, uint64_t count,
                      uint32_t analyzeObjectId, const ChainClient& view, CLumoImage* firstImage);
    // Builds contents from the two stores; an empty store gives an empty chain. The previous
    // contents stay untouched when anything fails. The caller holds the chain lock.
    bool Load(uint32_t primaryClass, CIniFile_0* iniStore, CIniFile_0* registryStore,
              const ChainClient& view, CLumoImage* firstImage, void* parentWindow);
    // Writes the chain's make-up and every module's settings into the stores (not to disk).
    bool Save(CIniFile_0* iniStore, CIniFile_0* registryStore);
    // Destroys all modules and images; primary image class 0.
    void Reset();
    // Hands module 0 a new input and re-prepares every module's output.
    bool RefreshInput(CLumoImage* image);
    // Executes every module in order. The caller holds the chain lock.
    bool Process();
    // Chooses the image the analyze group reads: 0 the raw image, k the output of module k.
    void SetAnalyzeSource(uint64_t index, CLumoImage* rawImage);

    CLumoModule* GetDialogModule(uint64_t k) const;
    std::string GetDialogHeadLine(uint64_t k);
    uint64_t AppendModuleMenu(CChainMenu& menu, uint32_t firstId);
    uint64_t AppendDialogMenu(CChainMenu& menu);
    uint32_t ShowDialog(void* parentWindow, uint64_t k, bool show);

    // Posts a thread message to the update thread; false when it does not run.
    bool PostThreadMessage(uint32_t id, uintptr_t wParam, uintptr_t lParam);
    bool SetBaseImageProvider(BaseImageProvider provider, void* context);
    bool SetReadyCallback(ReadyCallback callback, void* context);
    bool RequestUpdate(bool erase) { return PostThreadMessage(MSG_UPDATE, erase ? 1 : 0, 0); }

    std::recursive_mutex& ChainLock() { return m_hChainSema; }
    uint32_t GetThreadId() const { return m_dwThreadId; }
    // The readers below expect the chain lock to be held.
    uint32_t GetPrimaryImageClass() const { return m_dwPrimaryClass; }
    uint64_t GetModuleCount() const { return m_contents.m_modules.size(); }
    uint64_t GetAnalyzeModuleCount() const { return m_contents.m_analyzeGroup.size(); }
    uint64_t GetDialogCount() const { return m_contents.m_dialogs.size(); }
    uint64_t GetAnalyzeSource() const { return m_nAnalyzeSource; }
    CLumoModule* GetModule(uint64_t i) const;
    const std::string* GetModuleName(uint64_t i) const;
    CLumoModule* GetAnalyzeModule(uint64_t j) const;
    CLumoImage* GetImage(uint64_t k) const;
    const ChainDialogEntry* GetDialogEntry(uint64_t k) const;

private:
    static uint32_t NotifyFunction(CLumoModule* module, void* context, uint32_t code);
    void UpdateThread();
    void HandleUpdate(uintptr_t eraseFlag);
    void HandleAnalyze();
    // Creates module `id` with its output image and appends both; null when either fails.
    CLumoModule* AppendChainModule(ChainContents& contents, uint32_t id, CLumoImage* input);
    void AppendModuleDialogs(ChainContents& contents, CLumoModule* module, uint64_t index,
                             uint32_t chainFlag);
    void Commit(ChainContents& contents, uint32_t primaryClass, uint64_t analyzeSource,
                const ChainClient& view);

    CDebugSink* m_pLog;
    uint32_t m_dwPrimaryClass = 0;
    CLumoInstance* m_pLumo;
    ChainContents m_contents;
    uint64_t m_nAnalyzeSource = 0;
    mutable std::recursive_mutex m_hChainSema;
    platform::Event m_startEvent;
    platform::MessageQueue m_queue;
    std::thread m_thread;
    uint32_t m_dwThreadId = 0;
    ChainClient m_client;
    LumoNotifyBlock m_notifyBlock{};
    // Touched only by the update thread.
    BaseImageProvider m_pfnProvider = nullptr;
    void* m_pProviderContext = nullptr;
    ReadyCallback m_pfnReady = nullptr;
    void* m_pReadyContext = nullptr;
};
