#pragma once

// A low library that reaches up: the include check must refuse it.
#include "high/High.h"
