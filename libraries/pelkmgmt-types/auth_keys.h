#pragma once
// Keys under which authentication and authorization events carry their
// parts. Inline variables: constructed once at load, whichever unit that
// includes this header runs first, and destroyed at unload.
#include <string>

namespace Pelk {
inline const std::string AUTHN_EVENT_KEY = "AUTHN_EVENT_KEY";
inline const std::string AUTHN_SUBJECT_KEY = "AUTHN_SUBJECT_KEY";
inline const std::string AUTHN_OBJECT_KEY = "AUTHN_OBJECT_KEY";
inline const std::string AUTHN_PARAM_PREFIX = "AUTHN_PARAM_PREFIX";
inline const std::string AUTHZ_EVENT_KEY = "AUTHZ_EVENT_KEY";
inline const std::string AUTHZ_SUBJECT_KEY = "AUTHZ_SUBJECT_KEY";
inline const std::string AUTHZ_OBJECT_KEY = "AUTHZ_OBJECT_KEY";
inline const std::string AUTHZ_PARAM_PREFIX = "AUTHZ_PARAM_PREFIX";
}  // namespace Pelk
