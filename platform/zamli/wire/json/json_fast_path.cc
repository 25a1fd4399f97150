#include <zamli/wire/budget.h>
#include <zamli/wire/decoder.h>
#include <zamli/wire/json/json_fast_node.h>
#include <zamli/wire/json/json_fast_path.h>

#include <memory>

namespace Zamli::Wire::Json {

namespace {

thread_local bool tFastPath = true;

// What the parser takes per document byte: the padded copy, the structural
// indexes (four bytes each) and the string buffer (5/3 of the document).
constexpr size_t kParserBytesPerByte = 7;

// The parser and the padded copy of the document it reads. A thread keeps
// one for documents up to this size, so that small decodes allocate nothing.
constexpr size_t kKeptDocumentBytes = size_t{1} << 20;

struct Workspace {
  od::parser parser;
  std::unique_ptr<char[]> text;
  size_t capacity = 0;
  bool busy = false;

  const char* Copy(std::string_view document) {
    if (capacity < document.size() + simdjson::SIMDJSON_PADDING) {
      capacity = document.size() + simdjson::SIMDJSON_PADDING;
      text = std::make_unique<char[]>(capacity);
    }
    std::memcpy(text.get(), document.data(), document.size());
    std::memset(text.get() + document.size(), 0, simdjson::SIMDJSON_PADDING);
    return text.get();
  }
};

// The thread's workspace when free and the document small, else a new one.
class Lease {
 public:
  explicit Lease(size_t bytes) {
    static thread_local Workspace kept;
    if (bytes <= kKeptDocumentBytes && !kept.busy) {
      workspace_ = &kept;
    } else {
      owned_ = std::make_unique<Workspace>();
      workspace_ = owned_.get();
    }
    workspace_->busy = true;
  }
  ~Lease() { workspace_->busy = false; }
  Lease(const Lease&) = delete;
  Lease& operator=(const Lease&) = delete;
  Workspace& operator*() { return *workspace_; }

 private:
  std::unique_ptr<Workspace> owned_;
  Workspace* workspace_;
};

bool StartsAggregate(std::string_view document) {
  const size_t first = document.find_first_not_of(" \t\n\r");
  return first != std::string_view::npos && (document[first] == '{' || document[first] == '[');
}

}  // namespace

void SetFastPath(bool enabled) { tFastPath = enabled; }

bool FastDecodeValue(const Codec& codec, std::string_view document, const Declared& declared, Haldun::Ref<Any>& out) {
  const Limits& limits = codec.GetLimits();
  // Scalars on their own are rare and simdjson reads them apart: left to
  // the checking decoder, as is whatever is past the size limit.
  if (!tFastPath || document.size() > limits.maxDocumentBytes || !StartsAggregate(document)) return false;
  // A budget of its own: what a decode that gave up took is not counted
  // against the checking decoder's.
  DecodeBudget budget(limits.maxDecodeBytes);
  if (!budget.Take(document.size() * kParserBytesPerByte + simdjson::SIMDJSON_PADDING)) return false;
  try {
    Lease lease(document.size());
    Workspace& workspace = *lease;
    const char* text = workspace.Copy(document);
    od::document doc =
        Take(workspace.parser.iterate(text, document.size(), document.size() + simdjson::SIMDJSON_PADDING));
    FastSlot root(Take(doc.get_value()));
    VersionFilter versions(codec.GetVersion());
    Decoder<FastNode> decoder(versions, limits);
    Haldun::Ref<Any> value = decoder.Value(FastNode(&root), declared);
    root.Finish();
    // Nothing may follow the value, and the parser must have met no error.
    if (doc.current_location().error() != simdjson::OUT_OF_BOUNDS) return false;
    out = std::move(value);
    return true;
  } catch (...) {
    // Whatever went wrong, the checking decoder says it, or decodes.
    return false;
  }
}

}  // namespace Zamli::Wire::Json
