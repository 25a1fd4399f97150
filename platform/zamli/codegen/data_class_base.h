#pragma once
// What generated data object and fault classes derive from and hold: values
// only, nothing of calls.
#include <haldun/date_time.h>
#include <haldun/optional.h>
#include <haldun/ref.h>
#include <zamli/codegen/lazy_array.h>
#include <zamli/values/array.h>
#include <zamli/values/data_array.h>
#include <zamli/values/dynamic_data.h>
#include <zamli/values/method_fault.h>
#include <zamli/values/mo_ref.h>
