#pragma once
// What generated interface classes derive from and name in their members:
// the interface root and the value classes. Their stubs and server bases
// add the client side (calls/stub.h) or the server side (calls/server_object.h).
#include <zamli/calls/interface_root.h>
#include <zamli/codegen/data_class_base.h>
