// The setup facade of the main thread: the set of live setup workers, and
// the calls that create and destroy a worker, post requests to it and copy
// its responses, progress and status. Main thread only; a worker pointer
// that is not live (never created here, or destroyed) is refused with false
// and never touched.
#pragma once

#include <memory>

#include "app/shared_ref.h"
#include "setup/setup_records.h"

class SetupAPIImpl;

namespace SetupAPI {

// False when already initialised; otherwise starts with no live worker.
bool init();
// False when not initialised or while a worker is live.
bool term();

// Creates a worker and starts its thread; *worker receives it. False (and
// nothing made) when not initialised, for a null out pointer, or when the
// thread cannot be started.
bool create(SetupAPIImpl** worker);
// Stops the worker's thread and deletes it (a thread that does not end
// within SetupAPIImpl::kStopWait is let go, and the worker goes with it
// when it ends).
bool destroy(SetupAPIImpl* worker);

// Hands the request to the worker's thread, which deletes it after
// dispatch. Ownership moves only on true; on false *request stays the
// caller's (a worker without a thread, or one that is not live).
bool postRequest(SetupAPIImpl* worker, std::unique_ptr<libsetup::Request>& request);
// The oldest queued response into *response, or an empty reference when
// none is queued (still true).
bool popResponse(SetupAPIImpl* worker, SharedRef<libsetup::Response>* response);
// Copies of the published progress and status blocks.
bool getProgress(SetupAPIImpl* worker, SetupProgress* progress);
bool getStatus(SetupAPIImpl* worker, StatusStrings* status);

}  // namespace SetupAPI
