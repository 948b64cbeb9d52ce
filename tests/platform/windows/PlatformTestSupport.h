// Shared pieces of the platform tests: a program record whose event callback records every
// event it is given (and answers as told), the core set up as a running engine, and the folder
// of the test executable.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
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

// The recording program with a 320x240 game window, its first messages delivered and forgotten;
// false when the window could not be created. CloseTestWindow destroys it and forgets the
// program.
bool OpenTestWindow(const char* title);
void CloseTestWindow();

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

// A dialog control's text (read from any thread).
std::string ControlText(HWND dialog, int control);
// Presses a dialog's button by posting its command.
void PressButton(HWND dialog, int button);

// Waits on a thread of its own for a visible dialog (class "#32770") with the caption, then runs
// the action on it, while the test thread runs the dialog's message loop; gives up after ten
// seconds or when it goes out of scope.
class DialogDriver {
public:
    DialogDriver(const char* caption, std::function<void(HWND)> action);
    ~DialogDriver();
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;
    bool Found() const { return found_; }

private:
    void Watch(const char* caption, const std::function<void(HWND)>& action);

    std::atomic<bool> found_{false};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};
