#pragma once
#define ZAMLI_HTTP_EXPORT __attribute__((visibility("default")))
