#pragma once

#include <cstdint>
#include <functional>
#include <string>

// Process-wide services of the framework: cooperative yielding, ticks,
// message boxes, beeps and quitting.

// One cheap, throttled yield to the Qt event loop. Long loops call it once per
// item; most calls only bump a counter. At most every few milliseconds pending
// events are processed, user input excepted: input waits until the running
// handler returns, so a pass never sees its lists change under it.
void RuntimeBackgroundTask();

// Ticks (1/60 s) since the program started.
std::int32_t Ticks();

// The system double-click interval, in ticks.
std::int32_t GetDblTime();

// Message boxes and beeps go through a sink that tests can replace.
struct UserAlertSink {
  std::function<void(const std::string& text)> messageBox;
  std::function<void()> beep;
};
// Installs a sink; returns the previous one. An empty function in the sink
// restores the default behaviour for that alert.
UserAlertSink SetUserAlertSink(UserAlertSink sink);

void MsgBox(const std::string& text);
void Beep();

// Asks the application to quit its event loop with the given exit code.
// Asked before the event loop runs (during start-up), the request is kept:
// RunEventLoop() then returns that code at once, without running the loop.
void Quit(int code = 0);
// Whether a quit was asked before the event loop and is still to be honoured.
bool QuitPending();
// Runs the application's event loop until Quit(); returns the exit code.
int RunEventLoop();

// Hands the memory that the heap holds free back to the system, for the
// program to call after it has let go of much at once (the heap keeps freed
// blocks for reuse otherwise). Changes no allocator setting.
void ReturnFreeMemory();
