#pragma once
// `pelkctl call`: a call of any method, its arguments given as JSON values of
// the declared parameter types, checked by name before anything is sent.
#include <zamli/calls/stub.h>
#include <zamli/wire/codec.h>

#include <iosfwd>
#include <string>
#include <vector>

namespace Pelkctl {

struct CallLine {
  std::string target;                    // TYPE:ID, the type by interface or wire name
  std::string method;                    // by interface or wire name
  std::vector<std::string> assignments;  // name=JSON; a string, enumeration or date-time may go unquoted
  std::string argsFile;                  // a JSON object of name: value, read before the assignments
};

// The call the line describes, at `version`. A name that names nothing, a
// missing required argument or a value that does not fit its parameter
// raises UsageError naming the parameter (and the nearest names).
Zamli::Wire::Request BuildCall(const CallLine& line, const Zamli::Version& version);

// Makes the call through `adapter` and prints its result as JSON (`null`
// for none) to `out`; a fault raised by the call propagates.
void RunCall(Zamli::StubAdapter& adapter, Zamli::Wire::Request& call, const Zamli::Version& version, bool pretty,
             std::ostream& out);

}  // namespace Pelkctl
