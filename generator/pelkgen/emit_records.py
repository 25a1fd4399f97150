"""Prints the records of a library, the contract with the runtime: the record
declarations (type_infos.h), the internal table declarations (tables.h) and,
per schema file, its records, tag, property and method tables followed by the
definitions the kind emitters print for its types."""
from . import emit_enums
from .printer import banner, c_string, file, render

NAMESPACE_OBJECTS = """
// The namespace's identifier and version objects, kept by the runtime.
namespace $ns {
ZAMLI_EXPORT extern int kettarNamespaceId;
ZAMLI_EXPORT extern Zamli::Version* officialVersions[$n];
ZAMLI_EXPORT extern Zamli::Version* internalVersions[$n];
ZAMLI_EXPORT Zamli::Version* GetRcVersion();
}  // namespace $ns"""
MANAGED_TABLES = """\
extern const Zamli::MethodInfo $methods[];
void $dispatch(Zamli::ManagedObject* obj, int member, std::vector<Haldun::Ref<Zamli::Any>>& args, \
Haldun::Ref<Zamli::Any>& result);
Zamli::StubImpl* $create(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, Zamli::RequestContext* context);"""
RECORDS_HEAD = """\
#include "$ns/tables.h"
#include <zamli/calls/call.h>
#include <zamli/codegen/data_object_impl.h>
#include <zamli/codegen/enum_impl.h>"""
RECORDS_PRAGMA = """\
#include <$ns/fwd.h>

// The field tables take member offsets of classes with virtual functions.
#pragma GCC diagnostic ignored "-Winvalid-offsetof"

extern "C" {"""
# The library's own sources define its records; everyone else imports them.
RECORD_BINDING = """
#ifdef $building
#define $record ZAMLI_RECORD_DEFINED
#else
#define $record ZAMLI_RECORD_IMPORTED
#endif
"""
METHOD = ("    {$name, $wire, $privilege, nullptr, $result, $params, $faults, $version, nullptr, false, $task, "
          "$aux},")


def _schema(lib):
    return banner(f"the {lib.namespace} schema")


def type_infos_h(lib):
    out = [_schema(lib), "#pragma once", "#include <zamli/types/primitive_records.h>"]
    out += [render("#include <$ns/type_infos.h>", ns=ns) for ns in reversed(lib.imports)]
    out += [render(RECORD_BINDING, building=lib.building_macro, record=lib.record_macro), 'extern "C" {']
    out += [render("$record extern const Zamli::TypeInfo $s;", record=lib.record_macro, s=t.symbol)
            for t in sorted(lib.own_types, key=lambda t: t.symbol)]
    out += [render("ZAMLI_EXPORT extern Zamli::ManagedMethod* $objects[];", objects=t.method_objects)
            for t in lib.managed_order]
    out += ['}  // extern "C"', render(NAMESPACE_OBJECTS, ns=lib.ns_cpp, n=len(lib.versions))]
    return file(out)


def tables_h(lib):
    out = [_schema(lib), "#pragma once", render("#include <$ns/type_infos.h>", ns=lib.namespace), "",
           "namespace Zamli {", "struct FieldTable;", "}  // namespace Zamli", "",
           render("namespace $ns {", ns=lib.tables_ns)]
    out += [render("extern const Zamli::PropertyInfo $props[];", props=t.properties_table)
            for t in lib.data_order + lib.managed_order]
    out += [render("extern const Zamli::FieldTable* const $fields;", fields=t.field_table) for t in lib.data_order]
    out += [render(MANAGED_TABLES, methods=t.methods_table, dispatch=t.dispatch, create=t.create_stub)
            for t in lib.managed_order]
    out += [render("extern const char* const $tags[];", tags=t.tags_table) for t in lib.enum_order]
    return file(out, render("}  // namespace $ns", ns=lib.tables_ns))


def _prop_record(p):
    return render("{&$type, $flags, $name, $privilege, $version}", type=p.type.symbol, flags=f"{p.flags:#x}",
                  name=c_string(p.name), privilege=c_string(p.privilege), version=c_string(p.version))


def _property_table(name, props):
    return [render("const Zamli::PropertyInfo $name[] = {", name=name)] + \
        [render("    $record,", record=_prop_record(p)) for p in props] + ["    {}};"]


def _managed_tables(t, lib):
    out = ["namespace {"]
    for i, m in enumerate(t.methods):
        out += _property_table(f"k{t.ident}Params{i}", m.params)
        faults = "".join(render("&$s, ", s=f.symbol) for f in m.faults)
        out.append(render("const Zamli::TypeInfo* const k${ident}Faults$i[] = {${faults}nullptr};", ident=t.ident,
                          i=i, faults=faults))
    out += ["}  // namespace", render("const Zamli::MethodInfo $table[] = {", table=t.methods_table)]
    for i, m in enumerate(t.methods):
        result = _prop_record(m.result) if m.result is not None else \
            render('{nullptr, 0, "result", nullptr, $v}', v=c_string(lib.no_result_version))
        out.append(render(METHOD, name=c_string(m.name), wire=c_string(m.wire), privilege=c_string(m.privilege),
                          result=result, params=f"k{t.ident}Params{i}", faults=f"k{t.ident}Faults{i}",
                          version=c_string(m.version), task=str(m.is_task).lower(), aux=str(m.aux).lower()))
    return out + ["    {}};"]


def records_cc(area, lib, definitions):
    """`definitions`: the lines the kind emitters print for the area's types."""
    out = [banner(area.source), render(RECORDS_HEAD, ns=lib.namespace)]
    out += [render("#include <$h>", h=h) for h in area.includes]
    out.append(render(RECORDS_PRAGMA, ns=lib.namespace))
    out += [render("const Zamli::TypeInfo $s = {$code, $name, $wire, $version};", s=t.symbol, code=t.kind_code,
                   name=c_string(t.name), wire=c_string(t.wire), version=c_string(t.version)) for t in area.types]
    out += [render("Zamli::ManagedMethod* $objects[$n] = {};", objects=t.method_objects, n=len(t.members) + 1)
            for t in area.types if t.kind == "managed"]
    out += ['}  // extern "C"', ""]
    out += ["", render("namespace $ns {", ns=lib.tables_ns)]
    for t in area.types:
        if t.kind == "enum":
            out += emit_enums.tags_table(t)
            continue
        out += _property_table(t.properties_table, t.properties)
        if t.kind == "managed":
            out += _managed_tables(t, lib)
    out += [render("}  // namespace $ns", ns=lib.tables_ns), ""] + definitions
    return file(out)

