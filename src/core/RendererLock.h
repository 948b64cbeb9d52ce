// The renderer lock: the main thread holds it through each frame; other threads take it through
// the threading sub-table before they touch renderer state, and the frame hands it over to them
// between frames. A recursive lock plus an atomic count of the non-main threads that hold it or
// wait for it.
#pragma once

#include <cstdint>

// Threading sub-table slots. On the main thread lock and unlock do nothing and is-locked answers
// true, so code that may run on either thread can call them freely.
// Slot 11: waiting count + 1, then takes the lock (may nest; each lock needs its unlock).
void ZQ_Threading_LockRenderer();
// Slot 12: releases the lock, then waiting count - 1.
void ZQ_Threading_UnlockRenderer();
// Slot 5: true on the main thread; elsewhere true while some non-main thread holds or waits for
// the lock.
bool ZQ_Threading_IsRendererLocked();

// The frame's side, main thread only.
// Takes the lock for the frame body (and again for the post-frame work).
void ZQI_LockRendererForFrame();
// Releases it.
void ZQI_UnlockRendererForFrame();
// End of the frame body: releases the lock; when another thread waits for it, sleeps 1 ms so that
// thread gets it; then takes it again for the post-frame work, which ZQI_UnlockRendererForFrame
// ends.
void ZQI_HandOverRendererLock();

// The number of non-main threads holding or waiting for the lock.
int32_t ZQI_GetRendererWaitingCount();
