#pragma once
// What the wire fuzzers share: the declared types, methods and versions an
// input chooses from, and the checks every input goes through.
//
// An input is one selector byte followed by a document. The selector's bits
// choose:
//   0-4  the declared type for DecodeValue: Types()[bits % Types().size()]
//   5-6  the method for DecodeResponse: Methods()[bits]
//   7    the version of the codec: Versions()[bit]
// Every decoder (value, request, response, fault) is tried on each document;
// those whose top level does not fit refuse it at once.
#include <zamli/types/type.h>
#include <zamli/types/version.h>
#include <zamli/wire/codec.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace WireFuzz {

const std::vector<const Zamli::Type*>& Types();
const std::vector<const Zamli::ManagedMethod*>& Methods();  // 4
const std::vector<const Zamli::Version*>& Versions();       // 2: the newest, then an older one

// The selector byte for these indexes into the lists above.
uint8_t Selector(size_t type, size_t method, size_t version);

// Decodes the input every way; whatever decodes is encoded again and decoded
// a second time, and must come back equal. A fault (or another error of the
// runtime's own classes) is a normal answer to bad input. Anything else (an
// error of another class, a round trip that fails or changes the value) is
// printed with the documents involved, and the process aborts, which is what
// the fuzzer reports.
//
// A fault that an input provokes must encode in both encodings and read
// back the same (a server sends it back). An input whose decoding takes
// more processor time than a fixed time plus a time per byte (see
// TimeBudget) is a finding too: decoding is linear for every shape of
// document.
//
// With PELK_FUZZ_STRICT set in the environment, errors of the runtime that
// are not faults count as findings too: the codec's contract is to answer
// bad input with a fault naming the bad value. With PELK_FUZZ_TRACE set,
// each decoder's answer is printed (to see what a seed or a finding reaches).
void Run(Zamli::Wire::Encoding encoding, const uint8_t* data, size_t size);

}  // namespace WireFuzz
