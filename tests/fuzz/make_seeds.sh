#!/usr/bin/env bash
# Writes the seed inputs of the wire fuzzers into DIR/xml and DIR/json: the
# golden documents of the wire suites (tests/golden/wire), each behind the
# selector byte that makes the fuzzer read it as what it was written for
# (see wire_fuzz_harness.h), and a few broken and hostile shapes, kept small
# for the fuzzer to grow. The committed corpus (tests/fuzz/corpus/) was made
# from such seeds and then minimised with libFuzzer's -merge=1.
#   tests/fuzz/make_seeds.sh DIR
set -euo pipefail
dir=$1
golden=$(dirname "$0")/../golden/wire
mkdir -p "$dir/xml" "$dir/json"
# The selector's type bits (octal): the value documents' declared types are
# the last two of WireFuzz::Types(); the others are read as calls and faults.
declare -A selector=([health_row]=032 [options_of_every_kind]=033)
for file in "$golden"/*.xml "$golden"/*.json; do
  name=$(basename "${file%.*}")
  { printf "\\${selector[$name]:-000}"; cat "$file"; } >"$dir/${file##*.}/golden-$name"
done
# seed ENCODING NAME SELECTOR DOCUMENT (a printf format: \x escapes, no %)
seed() { printf "\\$3$4" >"$dir/$1/$2"; }
repeat() { for ((i = 0; i < $2; i++)); do printf '%s' "$1"; done; }
seed xml broken-entities 020 '<!DOCTYPE s [<!ENTITY a "aaaa"><!ENTITY b "&a;&a;&a;">]><string>&b;&b;</string>'
seed xml broken-int 022 '<int>2147483648</int>'
seed xml broken-base64 026 '<base64Binary>AAA</base64Binary>'
seed xml broken-utf8 020 '<string>\xc3\x28\xed\xa0\x80 a&#0;b&#xD800;</string>'
seed xml broken-type 002 '<anyType xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance" xsi:type="NoSuchType">1</anyType>'
seed xml hostile-comments 020 "<string>$(repeat 'a<!---->' 200)</string>"
seed xml hostile-items 030 "<ArrayOfInt>$(repeat '<int>1</int>' 300)</ArrayOfInt>"
seed xml hostile-split-reference 010 '<ManagedObjectReference type="HostSystem">host<!---->-<![CDATA[1]]></ManagedObjectReference>'
seed json broken-duplicate 015 '{"start":"2026-12-06T10:00:00Z","start":"x"}'
seed json broken-deep 003 "$(repeat '[' 300)$(repeat ']' 300)"
seed json broken-box 002 '{"_typeName":"int","_value":"5"}'
seed json hostile-long-number 024 "0.5$(repeat 0 400)1e-3"
seed json hostile-surrogate 020 '"a\\udc00\\ud800\xc3\x28"'
seed json hostile-duplicate-type 002 '{"_typeName":"int","_typeName":"long","_value":1}'
