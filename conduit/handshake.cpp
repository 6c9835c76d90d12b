#include "handshake.h"

#include "user_manager.h"
#include "window_endpoint.h"

#include <sched.h>

namespace conduit {

using platform::NamedEvent;

bool DesktopHandshake::begin() {
    finished_ = NamedEvent::createOrOpen(kFinishedEvent, false);
    if (!finished_) return false;
    start_ = NamedEvent::createOrOpen(kWantsStartEvent, true);
    if (!start_) {
        finished_.reset();
        return false;
    }
    // Created here: no desktop program is running. The event stays held and
    // signalled, so a desktop program started during the run keeps away.
    if (!start_->alreadyExisted()) return true;

    auto canStart = NamedEvent::createOrOpen(kCanStartEvent, false);
    auto cantStart = NamedEvent::createOrOpen(kCantStartEvent, false);
    bool allowed = false;
    if (canStart && cantStart && start_->set()) {
        const auto answer = platform::waitForAny({&*canStart, &*cantStart}, kAnswerTimeoutMs);
        allowed = answer.status == platform::WaitStatus::Signalled && answer.index == 0;
    }
    // The answer events close when they leave scope.
    if (!allowed) start_.reset();
    return allowed;
}

void DesktopHandshake::signalFinished() {
    finished_->set();
    sched_yield();
    finished_.reset();
}

void DesktopHandshake::end(const std::string &userName, bool notify) {
    if (finished_) signalFinished();
    if (!notify) return;
    uint32_t userId = 0;
    if (palm::users::idFromName(userName, userId) != 0) return;
    if (platform::findWindow(kDesktopWindowClass))
        platform::postMessage(kDesktopWindowClass, kReloadUserMessage, 0, intptr_t(userId));
}

void DesktopHandshake::closeStartEvent() { start_.reset(); }

void DesktopHandshake::releaseFinished() {
    if (finished_) signalFinished();
}

}  // namespace conduit
