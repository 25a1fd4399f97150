#pragma once
// The id a server serves its property collector under, and clients find it by.
namespace Qor::Services {
inline constexpr const char* kPropertyCollectorId = "propertyCollector";
}  // namespace Qor::Services
