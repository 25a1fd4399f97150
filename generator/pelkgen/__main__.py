"""pelkgen: turns schema files into the C++ of one type library.

    python3 -m pelkgen --out DIR [--import FILE]... FILE...

Writes DIR/<namespace>/... and leaves files whose content did not change
untouched, so that a schema edit rebuilds only what it touches."""
import argparse
import os
import sys

from . import emit, model, parse


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


def stem(path):
    return os.path.splitext(os.path.basename(path))[0]


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
    em = emit.Emitter(lib, sorted({sf.namespace for sf in imported}))
    base = os.path.join(args.out, lib.namespace)
    write_if_changed(os.path.join(base, "type_infos.h"), em.type_infos_h())
    write_if_changed(os.path.join(base, "fwd.h"), em.classes.fwd_h())
    write_if_changed(os.path.join(base, "all.h"), em.classes.all_h())
    write_if_changed(os.path.join(base, "type_list.inc"), em.classes.type_list_inc())
    for t in em.classes.classes():
        write_if_changed(os.path.join(args.out, emit.header_path(t)), em.classes.class_h(t))
    write_if_changed(os.path.join(base, "tables.h"), em.tables_h())
    write_if_changed(os.path.join(base, "registration.cc"), em.registration_cc())
    write_if_changed(os.path.join(base, "schema_model.json"), em.model_json())
    for sf in own:
        write_if_changed(os.path.join(base, f"records_{stem(sf.path)}.cc"), em.records_cc(sf))
    return 0


if __name__ == "__main__":
    sys.exit(main())
