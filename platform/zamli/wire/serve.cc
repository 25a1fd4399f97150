#include <zamli/wire/errors.h>
#include <zamli/wire/serve.h>

#include <exception>

namespace Zamli::Wire {

namespace {

Haldun::Ref<MethodFault> SystemError(const std::string& reason) {
  try {
    Fail(Problem::kSystemError, "", reason);
  } catch (const MethodFault::Exception& e) {
    return Haldun::Ref<MethodFault>(e.GetFault());
  }
}

// The fault that answers `error`: itself when it is one.
Haldun::Ref<MethodFault> FaultFor(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const MethodFault::Exception& e) {
    return Haldun::Ref<MethodFault>(e.GetFault());
  } catch (const std::exception& e) {
    return SystemError(e.what());
  } catch (...) {
    return SystemError("the implementation raised something that is not an exception");
  }
}

std::string FaultDocument(const Codec& codec, const Haldun::Ref<MethodFault>& fault) {
  try {
    return codec.EncodeFault(*fault);
  } catch (const MethodFault::Exception& e) {
    // A value the encoding cannot carry (a string with U+0000 in XML, say):
    // the caller still gets an answer, saying so.
    return codec.EncodeFault(*SystemError("the fault cannot be encoded: " + Describe(*e.GetFault())));
  }
}

}  // namespace

std::string Serve(const Codec& codec, ObjectDirectory& objects, std::string_view requestDocument, bool& faulted) {
  faulted = false;
  try {
    Request request = codec.DecodeRequest(requestDocument);
    Haldun::Ref<Any> result = objects.Dispatch(*request.target, *request.method, request.args);
    try {
      return codec.EncodeResponse(*request.method, result.Get());
    } catch (const MethodFault::Exception& e) {
      // The server's failure, not the caller's: the implementation answered
      // what the version cannot carry.
      faulted = true;
      return FaultDocument(codec, SystemError("the result cannot be encoded: " + Describe(*e.GetFault())));
    }
  } catch (...) {
    faulted = true;
    return FaultDocument(codec, FaultFor(std::current_exception()));
  }
}

std::string Serve(const Codec& codec, ObjectDirectory& objects, std::string_view requestDocument) {
  bool faulted = false;
  return Serve(codec, objects, requestDocument, faulted);
}

}  // namespace Zamli::Wire
