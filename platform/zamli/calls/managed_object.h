#pragma once
// Everything about managed objects at once: the interface root, the request
// context, and the client and server sides. Include the part you need.
#include <zamli/calls/interface_root.h>
#include <zamli/calls/request_context.h>
#include <zamli/calls/server_object.h>
#include <zamli/calls/stub.h>
