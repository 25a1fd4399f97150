#pragma once
// The typed ends of a remote call, both sides: boxing arguments and results
// (call_values.h), the client side (stub_call.h) and the server side
// (server_call.h). Include the part you need.
#include <zamli/calls/call_values.h>
#include <zamli/calls/server_call.h>
#include <zamli/calls/stub_call.h>
