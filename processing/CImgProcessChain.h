// The process chain: the modules of the image library that turn the view's raw image into the
// image on screen, run on the chain's own update thread, plus an analyze group of modules that
// analyse a selectable source image, and the list of the modules' dialogs. The chain is the
// view's one door to them: its contents and their building (ChainModel), the update thread
// (ChainWorker) and the stores (ChainSettings) work behind it.
//
// Threads: the user-interface thread (the view) and the update thread. The chain lock
// (m_hChainSema, recursive) guards the contents: the lists, the images and the modules' use.
// The update thread holds it for a whole update or analysis; the view holds it while
// rebuilding, refreshing, saving or drawing.
#pragma once

#include "external/DebugSink.h"
#include "external/LumoInstance.h"
#include "external/LumoNotify.h"
#include "platform/RowBandPool.h"
#include "platform/ThreadAnnotations.h"
#include "processing/ChainContents.h"
#include "processing/ChainMenu.h"
#include "processing/ChainMessages.h"
#include "processing/ChainModel.h"
#include "processing/ChainModuleSteps.h"
#include "processing/ChainWorker.h"

#include <cstdint>
#include <string>

class CIniFile_0;

class CImgProcessChain : private ChainModuleSteps {
public:
    // Fills the raw image with the current frame and returns it (runs on the update thread).
    using BaseImageProvider = ChainImageProvider;
    // Receives the processed image (null when processing failed), with the chain lock held.
    using ReadyCallback = ChainReadyCallback;
    // Receives the modules' dialog events (code: dialog ID << 16 | event); returns 1 when handled.
    using DialogEventCallback = ::DialogEventCallback;
    // The view as the chain sees it when contents are committed.
    using ChainClient = ::ChainClient;

    // Starts the update thread and waits until it runs. `log` may be null. UI thread.
    CImgProcessChain(CLumoInstance* instance, CDebugSink* log);
    CImgProcessChain(const CImgProcessChain&) = delete;
    CImgProcessChain& operator=(const CImgProcessChain&) = delete;

    // The steps taken on each module while contents are built, refreshed, loaded and saved;
    // called with the chain lock held.
    void AdaptToInput(CLumoModule* module) override;
    void SetOptions(CLumoModule* module, CLumoImage* image) override;
    [[nodiscard]] bool PrepareOutput(CLumoModule* module) override;
    void LoadModuleSettings(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                            const char* section) override;
    void SaveModuleSettings(CLumoModule* module, CIniFile_0* iniStore, CIniFile_0* registryStore,
                            const char* section) override;
    // Ends the update thread, then destroys every module and image the chain owns. UI thread.
    virtual ~CImgProcessChain();

    // Builds contents from `count` object IDs plus one analyze module; the previous contents
    // stay untouched when anything fails. UI thread.
    [[nodiscard]] bool BuildDefault(uint32_t primaryClass, const uint32_t* objectIds,
                                    uint64_t count, uint32_t analyzeObjectId,
                                    const ChainClient& view, CLumoImage* firstImage)
        KAVRIN_REQUIRES(m_hChainSema);
    // Builds contents from the two stores; an empty store gives an empty chain. The previous
    // contents stay untouched when anything fails. UI thread.
    [[nodiscard]] bool Load(uint32_t primaryClass, CIniFile_0* iniStore, CIniFile_0* registryStore,
                            const ChainClient& view, CLumoImage* firstImage, void* parentWindow)
        KAVRIN_REQUIRES(m_hChainSema);
    // Writes the chain's make-up and every module's settings into the stores (not to disk);
    // always true. UI thread.
    bool Save(CIniFile_0* iniStore, CIniFile_0* registryStore) KAVRIN_REQUIRES(m_hChainSema);
    // Destroys all modules and images; primary image class 0. Takes the chain lock; UI thread.
    void Reset();
    // Hands module 0 a new input and re-prepares every module's output. Takes the chain lock;
    // UI thread.
    [[nodiscard]] bool RefreshInput(CLumoImage* image);
    // Executes every module in order. The update thread (or a caller without one).
    [[nodiscard]] bool Process() KAVRIN_REQUIRES(m_hChainSema);
    // Chooses the image the analyze group reads: 0 the raw image, k the output of module k; asks
    // the update thread for an analysis. Takes the chain lock; UI thread.
    void SetAnalyzeSource(uint64_t index, CLumoImage* rawImage);

    // The dialog list and the menus built from it. They take the chain lock: module
    // notifications change open flags from any thread. UI thread.
    CLumoModule* GetDialogModule(uint64_t k) const;
    std::string GetDialogHeadLine(uint64_t k);
    uint64_t AppendModuleMenu(CChainMenu& menu, uint32_t firstId);
    uint64_t AppendDialogMenu(CChainMenu& menu);
    uint32_t ShowDialog(void* parentWindow, uint64_t k, bool show);

    // Messages to the update thread; false when it does not run. Any thread.
    [[nodiscard]] bool SetBaseImageProvider(BaseImageProvider provider, void* context);
    [[nodiscard]] bool SetReadyCallback(ReadyCallback callback, void* context);
    // Asks for a run of the chain; requests queued while one is taken add no further run.
    [[nodiscard]] bool RequestUpdate(bool erase);

    // The chain lock, taken before a sequence's mutex, never after. Any thread.
    platform::RecursiveMutex& ChainLock() KAVRIN_RETURN_CAPABILITY(m_hChainSema) {
        return m_hChainSema;
    }
    // 0 when the update thread does not run. Any thread.
    uint32_t GetThreadId() const { return m_worker.GetThreadId(); }

    // The readers below expect the chain lock to be held. Any thread.
    uint32_t GetPrimaryImageClass() const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetPrimaryImageClass();
    }
    uint64_t GetModuleCount() const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetModuleCount();
    }
    uint64_t GetAnalyzeModuleCount() const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetAnalyzeModuleCount();
    }
    uint64_t GetDialogCount() const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetDialogCount();
    }
    uint64_t GetAnalyzeSource() const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetAnalyzeSource();
    }
    CLumoModule* GetModule(uint64_t i) const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetModule(i);
    }
    const std::string* GetModuleName(uint64_t i) const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetModuleName(i);
    }
    CLumoModule* GetAnalyzeModule(uint64_t j) const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetAnalyzeModule(j);
    }
    CLumoImage* GetImage(uint64_t k) const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetImage(k);
    }
    const ChainDialogEntry* GetDialogEntry(uint64_t k) const KAVRIN_REQUIRES(m_hChainSema) {
        return m_model.GetDialogEntry(k);
    }

    // The workers the chain's modules split their frames over, for the view's display module,
    // which takes the chain's output on the update thread. It lives as long as the chain.
    CRowBands* RowBands() { return &m_rowBands; }

private:
    // The modules' notification function: called by a module, on any thread, about its dialogs.
    static uint32_t NotifyFunction(CLumoModule* module, void* context, uint32_t code);

    CLumoInstance* m_pLumo;
    // The chain lock is taken before a sequence's mutex, never after.
    mutable platform::RecursiveMutex m_hChainSema;
    LumoNotifyBlock m_notifyBlock{};
    // The workers every module the chain makes splits its frames over; the update thread (and
    // a caller of Process without one) runs them. Before the model: the modules go first.
    platform::RowBandPool m_rowBands;
    ChainModel m_model KAVRIN_GUARDED_BY(m_hChainSema);
    // Last: the update thread ends before anything it uses goes.
    ChainWorker m_worker;
};
