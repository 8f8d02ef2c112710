// The setup facade over the live workers. The set and the flag are touched
// by the main thread only and need no lock; the workers guard their own
// queues and blocks.
#include "setup/setup_api.h"

#include <map>
#include <memory>
#include <utility>

#include "app/log.h"
#include "setup/setup_api_impl.h"

namespace {

bool initialized = false;
// Shared with each worker's thread, which may outlive its destroy (see
// SetupAPIImpl::stop).
std::map<SetupAPIImpl*, std::shared_ptr<SetupAPIImpl>> liveWorkers;

bool isLive(SetupAPIImpl* worker) { return initialized && liveWorkers.count(worker) != 0; }

}  // namespace

namespace SetupAPI {

bool init() {
  if (initialized) return false;
  initialized = true;
  liveWorkers.clear();
  return true;
}

bool term() {
  if (!initialized || !liveWorkers.empty()) return false;
  initialized = false;
  return true;
}

bool create(SetupAPIImpl** worker) {
  if (!initialized || !worker) return false;
  auto made = std::make_shared<SetupAPIImpl>();
  if (!made->start()) return false;
  *worker = made.get();
  liveWorkers.emplace(made.get(), std::move(made));
  return true;
}

bool destroy(SetupAPIImpl* worker) {
  if (!isLive(worker)) return false;
  worker->stop();
  liveWorkers.erase(worker);
  return true;
}

bool postRequest(SetupAPIImpl* worker, std::unique_ptr<libsetup::Request>& request) {
  LogWrite(LOG_TRACE, u"SetupAPI::postRequest\n");
  if (!isLive(worker)) return false;
  return worker->postRequest(request);
}

bool popResponse(SetupAPIImpl* worker, SharedRef<libsetup::Response>* response) {
  if (!isLive(worker) || !response) return false;
  *response = SharedRef<libsetup::Response>(worker->popResponse().release());
  return true;
}

bool getProgress(SetupAPIImpl* worker, SetupProgress* progress) {
  if (!isLive(worker) || !progress) return false;
  *progress = worker->progress();
  return true;
}

bool getStatus(SetupAPIImpl* worker, StatusStrings* status) {
  if (!isLive(worker) || !status) return false;
  *status = worker->status();
  return true;
}

}  // namespace SetupAPI
