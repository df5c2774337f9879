#include "platform/SharedLibrary.h"

#include <dlfcn.h>
#include <utility>

namespace platform {

SharedLibrary::~SharedLibrary() {
    Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : m_handle(std::exchange(other.m_handle, nullptr)), m_path(std::move(other.m_path)),
      m_error(std::move(other.m_error)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        Close();
        m_handle = std::exchange(other.m_handle, nullptr);
        m_path = std::move(other.m_path);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool SharedLibrary::Open(const std::string& path) {
    Close();
    m_path = path;
    m_error.clear();
    if (path.empty()) {
        m_error = "no library path";
        return false;
    }
    m_handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_handle) {
        const char* why = dlerror();
        m_error = why ? why : "dlopen failed";
        return false;
    }
    return true;
}

void SharedLibrary::Close() {
    if (m_handle) {
        dlclose(m_handle);
        m_handle = nullptr;
    }
}

void* SharedLibrary::Symbol(const char* name) const {
    if (!m_handle || !name)
        return nullptr;
    return dlsym(m_handle, name);
}

} // namespace platform
