#include <zamli/wire/budget.h>
#include <zamli/wire/decoder.h>
#include <zamli/wire/formats.h>
#include <zamli/wire/xml/xml_fast_node.h>
#include <zamli/wire/xml/xml_fast_path.h>

namespace Zamli::Wire::Xml {

namespace {

thread_local bool tFastPath = true;

}  // namespace

void SetFastPath(bool enabled) { tFastPath = enabled; }

bool FastDecodeValue(const Codec& codec, std::string_view document, const Declared& declared, Haldun::Ref<Any>& out) {
  const Limits& limits = codec.GetLimits();
  if (!tFastPath || document.size() > limits.maxDocumentBytes) return false;
  // A budget of its own: what a decode that gave up took is not counted
  // against the checking decoder's. The reader keeps no copy of the
  // document; text it decodes (references) is at most the document's size.
  DecodeBudget budget(limits.maxDecodeBytes);
  if (!budget.Take(document.size())) return false;
  try {
    FastXmlReader reader(document);
    FastElement root;
    reader.Root(root);
    if (root.local != RootName(declared)) return false;
    VersionFilter versions(codec.GetVersion());
    Decoder<FastXmlNode> decoder(versions, limits);
    Haldun::Ref<Any> value = decoder.Value(FastXmlNode(&reader, &root), declared);
    reader.Close(root);
    reader.Finish();
    out = std::move(value);
    return true;
  } catch (...) {
    // Whatever went wrong, the checking decoder says it, or decodes.
    return false;
  }
}

}  // namespace Zamli::Wire::Xml
