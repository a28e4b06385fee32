// The update procedure without windows ("morvexsetup --yes"): every question is answered with
// yes, and the statuses, rows and questions are written on standard output as console dialogue,
// between the trace lines.
#pragma once

#include <string>

#include "setup/core/liveupdate.h"

// Runs the procedure against LIVEUPDATE_ServerAddress() into `directory` (the current directory
// when empty). 0 when every file was installed, the installation script succeeded and morvex was
// started; 1 otherwise. *result (optional) receives the outcome.
int LIVEUPDATE_RunUnattended(const std::string& directory, LIVEUPDATE_RESULT* result);
