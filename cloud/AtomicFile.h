#pragma once

#include <cstddef>
#include <string>

/// An output file that appears under its final name only complete. It is
/// written beside that name under a temporary name of this process's own and
/// renamed over it once every byte is written, flushed to disk and checked; a
/// failed or abandoned write removes the temporary file and leaves whatever
/// was under the final name untouched.
class AtomicFile {
public:
    /// Opens the temporary file for path; failure starts every error message
    /// ("Unable to write file: "), which goes on with the path and the cause.
    AtomicFile(std::string path, std::string failure);
    /// Removes the temporary file unless it was renamed into place.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    /// Appends size bytes; throws std::runtime_error when they cannot all be written.
    void Write(const char* data, std::size_t size);
    void Write(const std::string& text) { Write(text.data(), text.size()); }
    /// Flushes, closes and renames the file into place; throws std::runtime_error on failure.
    void Commit();

private:
    [[noreturn]] void Fail(int error);

    std::string path;
    std::string temp;
    std::string failure;
    int fd = -1;
    bool settled = false;  // the temporary file is renamed or removed
};
