// Plays the desktop program's side of the HotSync handshake for the conduit
// tests, as a separate process: it holds the start and answer events, owns
// the main window class "TQVPapyrineMainForm", and answers every request of
// a conduit run as told on its command line:
//   desktop_stand_in <allow|refuse|silent> <record file>
// It appends what happens to the record file, one line each: "ready",
// "wants-start", "allowed" / "refused" / "silent", "finished" (the finished
// event of the run seen signalled) and "message <msg> <wParam> <lParam>
// finished=<0|1>" for every window message. It ends when killed, or after
// two minutes so that a failed test leaves nothing running.
#include "named_objects.h"
#include "window_endpoint.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>

namespace {

std::string g_recordPath;

void record(const std::string &line) {
    if (FILE *f = std::fopen(g_recordPath.c_str(), "a")) {
        std::fputs((line + "\n").c_str(), f);
        std::fclose(f);
    }
}

}  // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: desktop_stand_in <allow|refuse|silent> <record file>\n");
        return 2;
    }
    const std::string mode = argv[1];
    if (mode != "allow" && mode != "refuse" && mode != "silent") return 2;
    g_recordPath = argv[2];

    using platform::NamedEvent;
    auto wantsStart = NamedEvent::createOrOpen("QVDP_COND_WANTS_START", false);
    auto canStart = NamedEvent::createOrOpen("QVDP_COND_CAN_START", false);
    auto cantStart = NamedEvent::createOrOpen("QVDP_COND_CANT_START", false);
    if (!wantsStart || !canStart || !cantStart) return 1;

    std::optional<NamedEvent> finished;
    auto onMessage = [&](const platform::WindowMessage &m) -> intptr_t {
        record("message " + std::to_string(m.message) + " " + std::to_string(m.wParam) + " " +
               std::to_string(m.lParam) + " finished=" + (finished && finished->isSignalled() ? "1" : "0"));
        return 0;
    };
    auto window = platform::WindowEndpoint::create("TQVPapyrineMainForm", onMessage,
                                                   [](const platform::CopyDataBlock &) -> intptr_t { return 0; });
    if (!window) return 1;
    record("ready");

    bool finishedSeen = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
    while (std::chrono::steady_clock::now() < deadline) {
        if (wantsStart->isSignalled()) {
            wantsStart->reset();
            canStart->reset();
            cantStart->reset();
            record("wants-start");
            // Whatever it answers, it watches for the end of the run.
            finished = NamedEvent::openExisting("QVDP_COND_FINISHED");
            finishedSeen = false;
            if (mode == "allow") {
                canStart->set();
                record("allowed");
            } else if (mode == "refuse") {
                cantStart->set();
                record("refused");
            } else {
                record("silent");
            }
        }
        if (finished && !finishedSeen && finished->isSignalled()) {
            finishedSeen = true;
            record("finished");
        }
        window->waitAndProcess(5);
    }
    return 0;
}
