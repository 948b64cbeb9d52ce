// The event queue: producers on any thread post 64-byte zq_event_t records under the
// "RESOURCE_QUEUE" mutex; once per frame the main thread takes everything queued so far and runs
// each record through the console and the program, then frees the heap blocks the record owns.
#pragma once

#include <cstdint>

#include "zorqa.h"

// Zeroes all 64 bytes, then sets the type. Root slot InitializeEvent. Null is ignored.
void ZQ_InitializeEvent(zq_event_t* event, uint32_t type);

// Appends a copy of the record to the queue; any thread. Ownership of the record's heap blocks
// passes to the queue. Nothing is dropped while memory lasts. Null is refused with a log line.
void ZQI_PostEvent(const zq_event_t* event);

// Runs one record through the console and then the program on the calling (main) thread and
// returns the answer, 0 when nobody answered. Writes the dispatcher's fields into the record
// (key flags, previous pointer position) and updates the core's input tables.
int32_t ZQI_DispatchEvent(zq_event_t* event);

// Makes a ZQ_EVENT_LAUNCH_URI record named "launch-uri" that carries its own copy of the URI, so
// several hand-overs before a frame each deliver their own text; the copy is freed with the
// record's payload. False (logged) when out of memory.
bool ZQI_MakeLaunchUriEvent(zq_event_t* event, const char* uri);
// ZQI_MakeLaunchUriEvent, then ZQI_PostEvent. Any thread.
void ZQI_PostLaunchUriEvent(const char* uri);

// Frees the heap blocks of event types 18, 19, 20, 33, 34, 36, 37 and 38, and the URI copy of a
// launch-URI record posted by ZQI_PostLaunchUriEvent, and clears the freed pointer fields; every
// other type is left alone. The record itself is not freed.
void ZQI_FreeEventPayload(zq_event_t* event);

// The frame's event step: under the lock, moves every queued record into the frame's working
// copy and empties the queue (which keeps its storage); then, without the lock, dispatches and
// frees each record in posting order. Records posted meanwhile wait for the next call.
// Main thread only.
void ZQI_ProcessEventQueue();

// Records waiting in the queue (taken under the lock).
int32_t ZQI_GetQueuedEventCount();

// Shutdown: frees the payloads of records still queued, then the storage of the queue and of
// the working copy.
void ZQI_ReleaseEventQueue();
