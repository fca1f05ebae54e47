#pragma once

#include <cstdint>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>

namespace geom {

/// One failure report of the exact-geometry code, delivered to every registered listener.
class Logger {
public:
    /// Receiver of reports; it sees the kinds selected by its flag bits.
    class Listener {
    public:
        /// Flag bits selecting which report kinds a listener receives.
        static constexpr int32_t kAssertion = 1;
        static constexpr int32_t kError = 2;
        static constexpr int32_t kWarning = 4;
        static constexpr int32_t kAll = kAssertion | kError | kWarning;

        /// A listener for the report kinds in `flags`.
        explicit Listener(int32_t flags = kAll) : flags(flags) {}
        virtual ~Listener() = default;

        /// The report kinds this listener receives.
        int32_t GetFlags() const { return flags; }

        /// Receives an assertion report.
        void Assertion(std::string const& text) { Output("\nGEOM ASSERTION:\n" + text); }
        /// Receives an error report.
        void Error(std::string const& text) { Output("\nGEOM ERROR:\n" + text); }
        /// Receives a warning report.
        void Warning(std::string const& text) { Output("\nGEOM WARNING:\n" + text); }

    protected:
        /// Where the prefixed report text ends up; the default drops it.
        virtual void Output(std::string const& /*text*/) {}

    private:
        int32_t flags;
    };

    /// Builds the report text for `message` raised at `file`:`line` in `function`.
    Logger(char const* file, char const* function, int32_t line, std::string const& message)
        : text(std::string("File: ") + file + "\nFunc: " + function +
               "\nLine: " + std::to_string(line) + "\n" + message + "\n\n") {}

    /// The full report text.
    std::string const& GetText() const { return text; }

    /// Delivers the report as an assertion.
    void Assertion() const { Deliver(Listener::kAssertion); }
    /// Delivers the report as an error.
    void Error() const { Deliver(Listener::kError); }
    /// Delivers the report as a warning.
    void Warning() const { Deliver(Listener::kWarning); }

    /// Delivers an assertion or error report and throws its bare message.
    [[noreturn]] __attribute__((noinline, cold)) static void ReportAndThrow(
        int32_t kind, char const* file, char const* function, int32_t line, char const* message) {
        Logger(file, function, line, message).Deliver(kind);
        throw std::runtime_error(message);
    }

    /// Registers a listener; it must stay alive until unsubscribed.
    static void Subscribe(Listener* listener) {
        std::lock_guard<std::mutex> lock(Mutex());
        Listeners().insert(listener);
    }

    /// Removes a listener registered by Subscribe.
    static void Unsubscribe(Listener* listener) {
        std::lock_guard<std::mutex> lock(Mutex());
        Listeners().erase(listener);
    }

    /// The process-wide set of registered listeners, built on first use.
    static std::set<Listener*>& Listeners() {
        static std::set<Listener*> listeners;
        return listeners;
    }

    /// The lock held while a report is delivered or the listener set changes.
    static std::mutex& Mutex() {
        static std::mutex mutex;
        return mutex;
    }

private:
    void Deliver(int32_t kind) const {
        std::lock_guard<std::mutex> lock(Mutex());
        for (Listener* listener : Listeners()) {
            if ((listener->GetFlags() & kind) == 0) {
                continue;
            }
            if (kind == Listener::kAssertion) {
                listener->Assertion(text);
            } else if (kind == Listener::kError) {
                listener->Error(text);
            } else {
                listener->Warning(text);
            }
        }
    }

    std::string text;
};

}  // namespace geom

// Report sites: when the condition fails, the report goes out and assertions and errors then
// throw std::runtime_error carrying the bare message; warnings let the caller carry on. The
// failure path lives out of line so that the checks cost a compare and a branch.
#define GEOM_REPORT_ASSERTION(condition, message)                                          \
    do {                                                                                   \
        if (__builtin_expect(!(condition), 0)) {                                           \
            ::geom::Logger::ReportAndThrow(::geom::Logger::Listener::kAssertion, __FILE__, \
                                           __func__, __LINE__, message);                   \
        }                                                                                  \
    } while (false)

#define GEOM_REPORT_ERROR(condition, message)                                                    \
    do {                                                                                         \
        if (__builtin_expect(!(condition), 0)) {                                                 \
            ::geom::Logger::ReportAndThrow(::geom::Logger::Listener::kError, __FILE__, __func__, \
                                           __LINE__, message);                                   \
        }                                                                                        \
    } while (false)

#define GEOM_REPORT_WARNING(condition, message)                              \
    do {                                                                     \
        if (__builtin_expect(!(condition), 0)) {                             \
            ::geom::Logger(__FILE__, __func__, __LINE__, message).Warning(); \
        }                                                                    \
    } while (false)
