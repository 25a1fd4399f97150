#pragma once

// The runtime builds with -fvisibility=hidden; everything callers reach from
// outside the shared library must opt back in with this marker.
#define HALDUN_EXPORT __attribute__((visibility("default")))
