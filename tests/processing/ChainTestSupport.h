// A library instance for chain tests: real image objects, and scripted modules that record what
// the chain asks of them (object IDs 1000 and up, plus 32, 96 and the analyze IDs).
#pragma once

#include "external/LumoInstance.h"
#include "external/LumoNotify.h"
#include "external/LumoResult.h"
#include "libs/lumo/CImageObject.h"
#include "libs/lumo/CModuleBase.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace chaintest {

// What every scripted module shares with the test; guarded by its own mutex.
struct Journal {
    std::mutex mutex;
    std::vector<std::string> events;          // "create 1000", "delete 1000", "exec 1000", ...
    std::set<uint32_t> failingExecute;        // object IDs whose Execute fails
    std::set<uint32_t> failingOutput;         // object IDs without output information
    std::map<uint32_t, uint32_t> outputClass; // object ID -> class it produces (else input's)
    std::map<uint32_t, uint32_t> maxBits;     // object ID -> most significant bits (else 16)
    void Add(std::string text) {
        std::lock_guard<std::mutex> lock(mutex);
        events.push_back(std::move(text));
    }
    std::vector<std::string> Events() {
        std::lock_guard<std::mutex> lock(mutex);
        return events;
    }
    size_t Count(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        size_t n = 0;
        for (const std::string& e : events)
            n += e == text;
        return n;
    }
    // Waits (at most 10 s) until `text` was journalled at least `n` times: work the update
    // thread does after the ready callback may still be running when the test wakes up.
    bool WaitCount(const std::string& text, size_t n) {
        for (int i = 0; i < 1000 && Count(text) < n; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return Count(text) >= n;
    }
};

class ScriptedModule final : public lumo::CModuleBase {
public:
    ScriptedModule(uint32_t id, Journal& journal) : CModuleBase(id), m_journal(journal) {}

    // Two dialogs per module: IDs id*10+1 and id*10+2, titled "<id>/<n>" (the second untitled).
    uint32_t QueryParam(uint32_t id, uintptr_t a, uintptr_t b, uintptr_t c, uintptr_t d) override {
        if (id == LUMO_PARAM_DIALOGS && b) {
            *reinterpret_cast<uint64_t*>(b) = 2;
            return LUMO_OK;
        }
        if (id == 17 && d && !m_failTableCount) {
            *reinterpret_cast<uint64_t*>(d) = m_tableCount;
            return LUMO_OK;
        }
        return CModuleBase::QueryParam(id, a, b, c, d);
    }
    uint32_t SetParam(uint32_t id, uintptr_t a, uintptr_t b) override {
        if (id >= 12 && id <= 14 && a) {
            m_blocks[id].assign(reinterpret_cast<const uint8_t*>(a),
                                reinterpret_cast<const uint8_t*>(a) + b);
            return LUMO_OK;
        }
        if (id == 15 || id == 16 || id == 17 || id == 18 || id == 0x600000) {
            std::string text = "set " + std::to_string(id);
            if (id == 15)
                text += std::string(" ") + (b ? reinterpret_cast<const char*>(b) : "null");
            else if (id == 16 || id == 0x600000)
                text += " " + std::to_string(a);
            else if (id == 17)
                text += " piece=" + std::to_string(b);
            m_journal.Add(std::to_string(GetObjectId()) + " " + text);
            return id == 17 && m_failLoadAfter-- <= 0 ? LUMO_E_NOTSUPPORTED : LUMO_OK;
        }
        return CModuleBase::SetParam(id, a, b);
    }
    uint32_t GetParam(uint32_t id, uintptr_t a, uintptr_t b) override {
        if (id >= 12 && id <= 14 && a && !m_unreadableBlocks.count(id)) {
            std::vector<uint8_t>& block = m_blocks[id];
            block.resize(b, 0);
            std::memcpy(reinterpret_cast<void*>(a), block.data(), b);
            return LUMO_OK;
        }
        if (id == LUMO_PARAM_DIALOGS) {
            if (a > 1 || !b)
                return LUMO_E_INVALIDARG;
            reinterpret_cast<LumoDialogInfo*>(b)->dialogId = GetObjectId() * 10 + 1 + uint32_t(a);
            return LUMO_OK;
        }
        if (id == LUMO_PARAM_TITLE && b) {
            m_title = std::to_string(GetObjectId()) + "/" + std::to_string(a);
            *reinterpret_cast<const char**>(b) = a % 10 == 1 ? m_title.c_str() : nullptr;
            return LUMO_OK;
        }
        if (id == 17) {
            m_journal.Add(std::to_string(GetObjectId()) + " get 17 piece=" + std::to_string(b));
            return LUMO_OK;
        }
        return CModuleBase::GetParam(id, a, b);
    }
    uint32_t Execute(uint32_t mode) override {
        m_journal.Add((mode == EXECUTE_ANALYSE ? "analyse " : "exec ") +
                      std::to_string(GetObjectId()));
        std::lock_guard<std::mutex> lock(m_journal.mutex);
        return m_journal.failingExecute.count(GetObjectId()) ? LUMO_E_INVALIDARG : LUMO_OK;
    }
    uint32_t OpenDialog(uint32_t dialogId, void* parent) override {
        m_journal.Add("open " + std::to_string(dialogId) + " parent " +
                      std::to_string(reinterpret_cast<uintptr_t>(parent)));
        m_open.insert(dialogId);
        return LUMO_OK;
    }
    uint32_t CloseDialog(uint32_t dialogId) override {
        return m_open.erase(dialogId) ? LUMO_OK : LUMO_E_INVALIDARG;
    }
    uint32_t IsDialogOpen(uint32_t dialogId) const override { return m_open.count(dialogId); }
    const LumoOutputInfo* GetOutputInfo(uint32_t) override {
        std::lock_guard<std::mutex> lock(m_journal.mutex);
        if (m_journal.failingOutput.count(GetObjectId()) || !Input())
            return nullptr;
        auto cls = m_journal.outputClass.find(GetObjectId());
        auto bits = m_journal.maxBits.find(GetObjectId());
        m_info = LumoOutputInfo{1, Input()->GetWidth(), Input()->GetHeight(),
                                bits == m_journal.maxBits.end() ? 16u : bits->second,
                                cls == m_journal.outputClass.end()
                                    ? uint32_t(Input()->GetFormat(nullptr) >> 24)
                                    : cls->second};
        return &m_info;
    }
    // Calls the chain's notification function as the library would.
    uint32_t Notify(uint32_t code) {
        LumoNotifyBlock block{};
        if (NotifyBlock().size() != sizeof(block))
            return 0xFFFFFFFF;
        std::memcpy(&block, NotifyBlock().data(), sizeof(block));
        return block.pfnNotify(this, block.pContext, code);
    }
    std::vector<uint8_t> Block(uint32_t id) { return m_blocks[id]; }

    uint64_t m_tableCount = 0;
    bool m_failTableCount = false; // the table count does not read
    int m_failLoadAfter = 1 << 30;
    std::set<uint32_t> m_unreadableBlocks; // parameter blocks that do not read

private:
    Journal& m_journal;
    std::map<uint32_t, std::vector<uint8_t>> m_blocks;
    std::set<uint32_t> m_open;
    std::string m_title;
    LumoOutputInfo m_info{};
};

class ScriptedInstance final : public CLumoInstance {
public:
    ~ScriptedInstance() override = default;
    uint32_t Init(const char*, const char*, uint32_t) override { return 0; }
    const char* GetModuleName(uint32_t objectId, uint32_t) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_names.emplace(objectId, "Module " + std::to_string(objectId))
            .first->second.c_str();
    }
    CLumoModule* CreateModule(uint32_t objectId) override {
        if (objectId == 0 || objectId == 999) // 999: a module the library cannot make
            return nullptr;
        journal.Add("create " + std::to_string(objectId));
        auto module = std::make_unique<ScriptedModule>(objectId, journal);
        module->m_failLoadAfter = loadsBeforeFailure;
        module->m_unreadableBlocks = unreadableBlocks;
        std::lock_guard<std::mutex> lock(m_mutex);
        CLumoModule* raw = module.get();
        m_modules.emplace(raw, std::move(module));
        return raw;
    }
    void DeleteModule(CLumoModule* module) override {
        if (!module)
            return;
        journal.Add("delete " + std::to_string(module->GetObjectId()));
        std::lock_guard<std::mutex> lock(m_mutex);
        m_modules.erase(module);
    }
    CLumoObject* CreateImage(uint32_t kind, uint32_t) override {
        if (kind != 0 || failImages)
            return nullptr;
        auto image = std::make_unique<lumo::CImageObject>();
        std::lock_guard<std::mutex> lock(m_mutex);
        CLumoObject* raw = image.get();
        m_images.emplace(raw, std::move(image));
        return raw;
    }
    void DeleteImage(uint32_t kind, CLumoObject* object) override {
        if (kind != 0 || !object)
            return;
        journal.Add("delete image");
        std::lock_guard<std::mutex> lock(m_mutex);
        m_images.erase(object);
    }
    size_t LiveModules() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_modules.size();
    }
    size_t LiveImages() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_images.size();
    }
    ScriptedModule* Scripted(CLumoModule* module) { return static_cast<ScriptedModule*>(module); }

    Journal journal;
    bool failImages = false;
    int loadsBeforeFailure = 1 << 30;    // loads (SetParam 17) each new module takes before failing
    std::set<uint32_t> unreadableBlocks; // parameter blocks no new module lets read

private:
    std::mutex m_mutex;
    std::map<uint32_t, std::string> m_names;
    std::map<CLumoObject*, std::unique_ptr<lumo::CImageObject>> m_images;
    std::map<CLumoModule*, std::unique_ptr<ScriptedModule>> m_modules;
};

} // namespace chaintest
