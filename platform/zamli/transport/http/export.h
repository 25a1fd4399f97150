#pragma once
#define ZAMLI_HTTP_EXPORT __attribute__((visibility("default")))
// Inside an exported class, what is not part of the interface.
#define ZAMLI_HTTP_LOCAL __attribute__((visibility("hidden")))
