#pragma once

/// Sends the process's standard error to /dev/null for the lifetime of the
/// object. The hull library prints its statistics there whenever it is asked
/// for area and volume; the tool keeps standard error for its own messages.
class QuietStderr {
public:
    QuietStderr();
    ~QuietStderr();
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved = -1;
};
