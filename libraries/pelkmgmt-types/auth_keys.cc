// Gives the key constants their home in this library.
#include "auth_keys.h"
