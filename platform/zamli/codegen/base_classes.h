#pragma once
// Both kinds of generated class bases, until the generator names the one it needs.
#include <zamli/codegen/data_class_base.h>
#include <zamli/codegen/managed_class_base.h>
#include <zamli/calls/server_object.h>
#include <zamli/calls/stub.h>
