// A new file that replaces its target only once it is complete.
//
// Create makes a hidden temporary beside the target (".run.tif.XXXXXX" for run.tif, mode 0666
// less the umask, as a plain open would give). The writer fills it; Commit flushes it to the disk,
// renames it over the target and flushes the folder. Anything else (Discard, a failure, the object
// going away) removes the temporary, and the target stays as it was before.
//
// Every failure keeps a text "cannot write NAME: reason" (NAME the target, the reason from the
// errno of the call that failed); a sink given to the constructor receives it as well.
#pragma once

#include "libs/lumo/FilePtr.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace lumo {

class ReplacingFile {
public:
    explicit ReplacingFile(std::string* errorSink = nullptr) : m_errorSink(errorSink) {}
    ~ReplacingFile() { Discard(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Makes the temporary for `target` (a file still open is discarded first). LUMO_E_FILEWRITE
    // when the folder does not take it.
    [[nodiscard]] uint32_t Create(const std::string& target);
    bool IsOpen() const { return m_fd >= 0; }
    // The temporary's descriptor (write-only, buffered); -1 when none is open.
    int Descriptor() const { return m_fd; }
    // A stdio stream on the temporary, made on the first call; null when it cannot be made (the
    // failure is recorded). Commit flushes and closes it.
    FILE* Stream();
    const std::string& Target() const { return m_target; }
    const std::string& TemporaryPath() const { return m_temporary; }

    // Records a failure of the writer's own call with `error` (an errno value; 0 counts as an
    // input/output error) and returns LUMO_E_FILEWRITE. The temporary stays until Discard.
    [[nodiscard]] uint32_t Fail(int error);
    // Flushes the temporary, renames it over the target and flushes the folder. On a failure the
    // temporary is removed (the target is untouched unless only the folder flush failed) and
    // LUMO_E_FILEWRITE returned. LUMO_OK without an open file.
    [[nodiscard]] uint32_t Commit();
    // Closes and removes the temporary; the target stays as it was.
    void Discard();

    // The text of the last failure; empty when there was none.
    const std::string& LastError() const { return m_error; }

private:
    // Closes the stream and the descriptor; false (errno set) when a flush or close failed.
    [[nodiscard]] bool CloseHandles();

    std::string* m_errorSink;
    std::string m_target;
    std::string m_temporary;
    std::string m_error;
    int m_fd = -1;
    FilePtr m_stream; // on a duplicate of m_fd
};

} // namespace lumo
