// A shared library bound by name at run time (dlopen/dlsym), closed when the object goes.
// A missing file or export is an ordinary "absent", never an error that stops the program.
#pragma once

#include <string>

namespace platform {

class SharedLibrary {
public:
    SharedLibrary() = default;
    // Whether it loaded shows in IsLoaded() and Error().
    explicit SharedLibrary(const std::string& path) { (void)Open(path); }
    ~SharedLibrary();
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;

    // Closes what is open, then loads `path` (a path with a slash, or a name for the loader's
    // search). False when it cannot be loaded; Error() then says why.
    [[nodiscard]] bool Open(const std::string& path);
    void Close();
    bool IsLoaded() const { return m_handle != nullptr; }

    // Address of the export `name`; null when not loaded or not exported.
    void* Symbol(const char* name) const;
    template <typename Fn>
    Fn Function(const char* name) const {
        return reinterpret_cast<Fn>(Symbol(name));
    }

    const std::string& Path() const { return m_path; }
    const std::string& Error() const { return m_error; }

private:
    void* m_handle = nullptr;
    std::string m_path;
    std::string m_error;
};

} // namespace platform
