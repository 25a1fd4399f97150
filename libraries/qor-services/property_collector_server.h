#pragma once
// kettar.query.PropertyCollector for the objects of a directory: answers
// retrieveContents with the properties the filter names, read through each
// object's generated property readers. Reads go through the directory, so an
// AuthorizingDirectory checks the privilege of each property read.
#include <qor-services/collector_id.h>
#include <qor-services/export.h>
#include <qor/kettar/query/PropertyCollectorServer.h>
#include <zamli/calls/object_directory.h>

namespace Qor::Services {

class QOR_SERVICES_EXPORT PropertyCollectorServer : public Zamli::Core::PropertyCollectorServer {
 public:
  // `directory` must outlive the collector.
  explicit PropertyCollectorServer(Zamli::ObjectDirectory& directory, const std::string& id = kPropertyCollectorId);

  // Per object of each filter, in order: the properties of `pathSet` (every
  // property when `all` is set). A path is a property of the object, then
  // properties of data values inside it ("info.state"); an unset value along
  // a path is left out and listed in `missingSet`. A path that names no
  // property is kettar.query.InvalidProperty; an object that is not served is
  // kettar.fault.ManagedObjectNotFound unless the filter asks to report it
  // (as content without properties).
  void RetrieveContents(Zamli::DataArray<Zamli::Core::PropertyCollector::FilterSpec>* specSet,
                        Haldun::Ref<Zamli::DataArray<Zamli::Core::PropertyCollector::ObjectContent>>& result) override;

 private:
  Zamli::ObjectDirectory& directory_;
};

}  // namespace Qor::Services
