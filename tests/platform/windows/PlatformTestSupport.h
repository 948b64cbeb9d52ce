// Shared pieces of the platform tests: a program record whose event callback records every
// event it is given (and answers as told), the core set up as a running engine, and the folder
// of the test executable.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "zorqa.h"

// One recorded event, with the texts it pointed at copied while they were valid.
struct RecordedEvent {
    zq_event_t event;
    std::string name;  // launch-uri: the name text
    std::string text;  // launch-uri: the URI; file drop: the path
};

// The recording program: its record, what it saw, and its answer to every event.
struct RecordingProgram {
    zq_program_t record;
    std::vector<RecordedEvent> events;
    int32_t answer;
};

RecordingProgram& TheRecordingProgram();

// Makes the recording program the core's program record (title given, windowed) and marks the
// core as running with window events queued; the API tables are built and the calling thread
// becomes the main thread.
void UseRecordingProgram(const char* title);
// Forgets the program record and clears the run flags and the quit flag.
void ForgetRecordingProgram();

// Recorded events of one type, in order.
std::vector<RecordedEvent> RecordedEventsOfType(uint32_t type);

// The folder holding the test executable, with a trailing backslash.
std::string TestExecutableFolder();

// The log running in memory from level 0, so tests can read what was logged; and stopped again.
void StartMemoryLog();
void StopMemoryLog();
// Lines logged since StartMemoryLog that contain text.
int CountLoggedLinesWith(const std::string& text);

// Pumps the thread's messages and the frame's event step until done() answers true or the time
// is up (input from SendInput arrives through the X server, not at once); false on time-out.
bool DeliverUntil(bool (*done)(), DWORD milliseconds = 2000);
// Delivers for the given time, for checks that nothing arrives.
void DeliverFor(DWORD milliseconds);
