#pragma once

// The libraries build with hidden visibility; what users and other type
// libraries reach is marked with this.
#define ZAMLI_EXPORT __attribute__((visibility("default")))

// A type library's records bind inside it (protected), so elsewhere they
// must be reached through the GOT, never copied into an executable: a copy
// would be a second record at another address. Clang reaches external data
// through the GOT already; GCC needs telling, and refuses to link a copy.
#define ZAMLI_RECORD_DEFINED __attribute__((visibility("protected")))
#if defined(__GNUC__) && !defined(__clang__)
#define ZAMLI_RECORD_IMPORTED ZAMLI_EXPORT __attribute__((nodirect_extern_access))
#else
#define ZAMLI_RECORD_IMPORTED ZAMLI_EXPORT
#endif
