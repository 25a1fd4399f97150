#pragma once
#define ZAMLI_WIRE_EXPORT __attribute__((visibility("default")))
