// The command lists of an install and of a patch, built on the worker thread
// while a run is prepared.
#include "app/log.h"
#include "setup/setup_api_impl.h"

bool SetupAPIImpl::buildInstallCommands() {
  // The install list builder arrives with the install preparation; until
  // then no action group is known.
  LogWrite(LOG_DEBUG, u"存在しないアクション番号です(%d)\n", actionNumber_);
  return false;
}

bool SetupAPIImpl::buildPatchCommands() {
  // The patch list builder arrives with the install preparation.
  return false;
}
