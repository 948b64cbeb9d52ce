// The console overlay's animation.
#include "core/ConsoleOverlay.h"

#include <cmath>

#include "core/Console.h"

namespace {

const float kSlideSpeed = 4.0f;  // open factor per second

}  // namespace

void ZQI_AnimateConsole(Console* console, float step) {
    if (console == nullptr || !console->loggingStarted || !std::isfinite(step)) {
        return;
    }
    const bool showing = console->open != 0 || console->overlayMode != 0;
    float factor = console->openFactor + (showing ? kSlideSpeed : -kSlideSpeed) * step;
    console->openFactor = factor < 0.0f ? 0.0f : (factor > 1.0f ? 1.0f : factor);
    console->blinkPhase += step;
    while (console->blinkPhase > 1.0f) {
        console->blinkPhase -= 1.0f;
    }
}
