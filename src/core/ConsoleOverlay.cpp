// The console overlay's animation.
#include "core/ConsoleOverlay.h"

#include <cmath>

#include "core/Console.h"
#include "core/ConsoleFilter.h"

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

ConsoleView ZQI_UpdateConsoleView(Console* console, int32_t textHeight, int32_t pixelSize, bool dragging,
                                  int32_t pointerY) {
    ConsoleView view = {};
    const int32_t n = ZQI_CountShownConsoleLines(console);
    const int32_t fitting = textHeight > 0 && pixelSize > 0 ? textHeight / pixelSize : 0;
    view.shownLines = n;
    view.visibleLines = n < fitting ? n : fitting;
    if (n > 0 && textHeight > 0) {
        const float share = static_cast<float>(view.visibleLines) / static_cast<float>(n);
        view.thumbSize = static_cast<int32_t>(static_cast<float>(textHeight) * (share > 1.0f ? 1.0f : share));
    }
    if (dragging && textHeight > 0) {
        const double fraction = 1.0 - static_cast<double>(pointerY) / textHeight;
        const double offset = fraction * n;
        console->scrollOffset = offset < 0.0 ? 0 : (offset > n ? n : static_cast<int32_t>(offset));
    }
    const int32_t oldest = n - view.visibleLines;
    if (console->scrollOffset > oldest) {
        console->scrollOffset = oldest;
    }
    if (console->scrollOffset < 0) {
        console->scrollOffset = 0;
    }
    return view;
}
