// Runs a blocking call that takes no deadline (the system's name lookup) on a helper thread, so the caller
// can stop waiting at its own deadline. A call that overruns is left to finish on its own; its result is
// then thrown away with the helper's state.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/nmail/Stream.h"

namespace nmail {

// The result of `call()`, or nothing when the deadline passed first or, with `started` false, when no thread
// could be started.
template <class Result, class Call>
std::optional<Result> CallBefore(Deadline deadline, Call call, bool& started) {
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<Result> result;
    };
    auto shared = std::make_shared<Shared>();
    started = false;
    try {
        std::thread([shared, call = std::move(call)]() mutable {
            Result result = call();
            std::lock_guard lock(shared->mutex);
            shared->result.emplace(std::move(result));
            shared->done.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return std::nullopt;
    }
    started = true;
    std::unique_lock lock(shared->mutex);
    if (!shared->done.wait_until(lock, deadline, [&] { return shared->result.has_value(); }))
        return std::nullopt;
    return std::move(shared->result);
}

}  // namespace nmail
