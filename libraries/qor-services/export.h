#pragma once
#define QOR_SERVICES_EXPORT __attribute__((visibility("default")))
