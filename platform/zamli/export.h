#pragma once

// The libraries build with hidden visibility; what users and other type
// libraries reach is marked with this.
#define ZAMLI_EXPORT __attribute__((visibility("default")))
