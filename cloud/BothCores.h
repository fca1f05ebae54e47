#pragma once

#include <exception>
#include <system_error>
#include <thread>

/// Runs `side` on a second thread while `here` runs on this one and waits for
/// both; an exception of either is rethrown here. When the system refuses a
/// thread, both run here one after the other: slower, never a failed run.
template <class Side, class Here>
void BothCores(Side&& side, Here&& here) {
    std::exception_ptr sideFailed;
    std::thread helper;
    try {
        helper = std::thread([&side, &sideFailed] {
            try {
                side();
            } catch (...) {
                sideFailed = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        here();
        side();
        return;
    }
    try {
        here();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (sideFailed) {
        std::rethrow_exception(sideFailed);
    }
}
