#pragma once
// Decoding a well-formed XML value straight into objects with a forward-only
// reader of our own (xml_fast_reader.h). It only ever accepts what the
// checking decoder accepts, with the same result; on anything else it gives
// up, and the caller decodes with the checking decoder, which says what is
// wrong: errors, limits and paths are the checking decoder's alone.
#include <haldun/ref.h>
#include <zamli/values/any.h>
#include <zamli/wire/codec.h>
#include <zamli/wire/export.h>
#include <zamli/wire/value_model.h>

#include <string_view>

namespace Zamli::Wire::Xml {

// True with the value in `out`; false when the checking decoder must decide.
bool FastDecodeValue(const Codec& codec, std::string_view document, const Declared& declared, Haldun::Ref<Any>& out);

// Whether XML decoding on this thread tries the fast path first (it does
// unless turned off); tests turn it off to compare with the checking decoder.
ZAMLI_WIRE_EXPORT void SetFastPath(bool enabled);

}  // namespace Zamli::Wire::Xml
