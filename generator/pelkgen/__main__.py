"""pelkgen: turns schema files into the C++ of one type library.

    python3 -m pelkgen --out DIR [--import FILE]... FILE...

Writes DIR/<namespace>/... and leaves files whose content did not change
untouched, so that a schema edit rebuilds only what it touches. Given the
runtime's own schema (kettar.schema), writes the check of the runtime's
records against it instead."""
import argparse
import os
import sys

from . import emit_data, emit_enums, emit_library, emit_managed, emit_records, emit_runtime_check, model, parse

DEFINITIONS = {"data": emit_data.definitions, "fault": emit_data.definitions,
               "enum": lambda t, lib: emit_enums.definitions(t), "managed": emit_managed.definitions}


def write_if_changed(path, text):
    try:
        with open(path, encoding="utf-8") as f:
            if f.read() == text:
                return
    except FileNotFoundError:
        pass
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def library_files(lib):
    """Every file of the library, by path below the output folder."""
    ns = lib.namespace
    files = {f"{ns}/type_infos.h": emit_records.type_infos_h(lib), f"{ns}/fwd.h": emit_library.fwd_h(lib),
             f"{ns}/all.h": emit_library.all_h(lib), f"{ns}/type_list.inc": emit_library.type_list_inc(lib)}
    for t in lib.classes:
        if t.kind == "managed":
            files[t.header] = emit_managed.header(t, lib)
            files[t.stub_header] = emit_managed.stub_header(t, lib)
            files[t.server_header] = emit_managed.server_header(t, lib)
        else:
            files[t.header] = emit_data.header(t, lib)
    files[f"{ns}/tables.h"] = emit_records.tables_h(lib)
    files[f"{ns}/registration.cc"] = emit_library.registration_cc(lib)
    files[f"{ns}/schema_model.json"] = emit_library.model_json(lib)
    for area in lib.areas:
        definitions = [line for t in area.types for line in DEFINITIONS[t.kind](t, lib)]
        files[f"{ns}/records_{area.stem}.cc"] = emit_records.records_cc(area, lib, definitions)
    return files


def main(argv=None):
    ap = argparse.ArgumentParser(prog="pelkgen")
    ap.add_argument("--out", required=True)
    ap.add_argument("--import", dest="imports", action="append", default=[],
                    help="schema file of a library this one builds on")
    ap.add_argument("files", nargs="+")
    args = ap.parse_args(argv)
    try:
        own = [parse.parse_file(f) for f in args.files]
        imported = [parse.parse_file(f) for f in args.imports]
        overrides = [o for sf in own for o in sf.register_before]
        lib = model.build(own, imported, overrides)
    except parse.SchemaError as e:
        print(e, file=sys.stderr)
        return 1
    if lib.is_runtime:
        files = {f"{lib.namespace}/runtime_records_check.cc":
                 emit_runtime_check.check_cc(lib, model.source_name(args.files[0]))}
    else:
        files = library_files(lib)
    for path, text in files.items():
        write_if_changed(os.path.join(args.out, path), text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
