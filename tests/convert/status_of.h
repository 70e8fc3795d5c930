// The (kind, code) pair of a status record, comparable in one assertion.
#pragma once

#include "support/status.h"
