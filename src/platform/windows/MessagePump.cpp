// The message pump of the main loop. It peeks before it gets, so the loop never blocks while the
// queue is empty and a frame runs after every pump.
#include "platform/windows/MessagePump.h"

#include <windows.h>

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
