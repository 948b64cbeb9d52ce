// The message pump and the main loop. The pump peeks before it gets, so the loop never blocks
// while the queue is empty and a frame runs after every pump.
#include "platform/windows/MessagePump.h"

#include "core/CoreState.h"
#include "platform/windows/GameWindow.h"

namespace {

// An inactive window still runs frames, but at most about 60 a second with the processor idle.
const DWORD kInactiveSleepMilliseconds = 15;

}  // namespace

int PumpWindowMessages() {
    int dispatched = 0;
    MSG message;
    if (!PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        return 0;
    }
    do {
        // GetMessageA answers 0 for WM_QUIT and -1 on failure; both end this pump.
        if (GetMessageA(&message, nullptr, 0, 0) <= 0) {
            break;
        }
        TranslateMessage(&message);
        DispatchMessageA(&message);
        ++dispatched;
    } while (PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE));
    return dispatched;
}

// Only the quit flag ends the loop: a WM_QUIT ends just the pump that met it.
void RunMainLoop(void (*runFrame)(), void(WINAPI* idle)(DWORD)) {
    while (!ZQI_IsQuitSignalled()) {
        PumpWindowMessages();
        runFrame();
        if (!ZQI_IsGameWindowActive()) {
            idle(kInactiveSleepMilliseconds);
        }
    }
}
