#pragma once
// The value classes and interface roots that generated classes derive from,
// and the field types they hold.
#include <haldun/date_time.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/calls/managed_object.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
