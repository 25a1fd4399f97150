#pragma once
// `--strict`: what the version asked for would leave out of a document or of
// a call's arguments, found before anything is written or sent. The input is
// read with the newest version's vocabulary, so that everything the older
// version lacks is listed at once, each with the version that introduced it,
// where reading it at the older version would refuse only the first.
#include <zamli/wire/left_out.h>

#include <iosfwd>
#include <string_view>
#include <vector>

#include "call.h"
#include "transcode.h"

namespace Pelkctl {

// What `version` would leave out of `document`, read as `shape` in the
// encoding named `from`. Input that does not read, or that `version` refuses
// rather than leaves out, gives nothing: the command's own reading at
// `version` then says what is wrong with it.
std::vector<Zamli::Wire::LeftOut> LeftOutOfDocument(std::string_view document, const DocumentShape& shape,
                                                    const Zamli::Version& version, std::string_view from);

// The same for the arguments of the call `line` describes.
std::vector<Zamli::Wire::LeftOut> LeftOutOfCall(const CallLine& line, const Zamli::Version& version);

// One line per finding on `err`; kBadDocument when there is any, else kSuccess.
int ReportLeftOut(const std::vector<Zamli::Wire::LeftOut>& items, const Zamli::Version& version, std::ostream& err);

}  // namespace Pelkctl
