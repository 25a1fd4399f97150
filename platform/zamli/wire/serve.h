#pragma once
// The server half of a call over the wire, whatever carries the documents:
// a transport reads a request document, hands it here with the directory of
// the objects it serves, and sends back what comes out.
#include <zamli/calls/object_directory.h>
#include <zamli/wire/codec.h>

#include <string>
#include <string_view>

namespace Zamli::Wire {

// One request document in, one response or fault document out; raises
// nothing the codec can encode. A fault raised while decoding or by the
// implementation is answered as itself; any other error the implementation
// raises becomes kettar.fault.SystemError with the error's message as its
// reason, and so does a fault the codec cannot encode, or a result it
// cannot.
ZAMLI_WIRE_EXPORT std::string Serve(const Codec& codec, ObjectDirectory& objects, std::string_view request);
// The same, telling whether the document is a fault.
ZAMLI_WIRE_EXPORT std::string Serve(const Codec& codec, ObjectDirectory& objects, std::string_view request,
                                    bool& faulted);

}  // namespace Zamli::Wire
