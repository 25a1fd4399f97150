#pragma once
// The value classes and interface roots that generated classes derive from.
#include <zamli/dynamic_data.h>
#include <zamli/managed_object.h>
