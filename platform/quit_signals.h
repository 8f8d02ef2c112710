// Quit signals while a window exists. SIGINT, SIGTERM and SIGHUP each turn
// into an SDL_QUIT event, pushed from a thread of our own so that it also ends
// a wait in progress (SDL's own handlers only set a flag that the next poll
// reads, which leaves a long wait asleep). A signal the parent ignores
// (nohup, a background job's SIGINT) stays ignored.
#pragma once

namespace platform {

// Counted: the first call installs the handlers. Call before SDL's video
// starts, so that SDL leaves the signals to us; when our forwarding thread
// cannot start, SDL's handlers stay in charge and this returns false.
bool BeginQuitSignals();
// The last matching call puts the default handlers back; after it no quit
// event is pushed.
void EndQuitSignals();

// True when a quit request (a quit signal, the window's close button) waits
// in the event queue, where the main loop will take it and end the run: a
// wait that does not return to the main loop (another program's dialog,
// say) asks this to give up in time. Main thread, once video runs (false
// before).
bool QuitEventPending();

}  // namespace platform
