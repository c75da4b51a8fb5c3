// The command-line tests' runner lives in cli_runner.h; this name is kept for the tests that
// include it.
#pragma once

#include "support/cli_runner.h"
