"""Prints what a library has once: the forward declarations (fwd.h), the
umbrella header (all.h), the type list for tests (type_list.inc), the
registration unit and the model as JSON for the tests that hold the runtime
against the schema."""
import json

from . import emit_enums
from .printer import banner, c_string, file, render

TEST_MACROS = {"ZAMLI_TEST_ENUM": "(E)", "ZAMLI_TEST_FAULT": "(F, Chain)",
               "ZAMLI_TEST_MANAGED": "(I, Stub, Server)", "ZAMLI_TEST_MEMBER": "(I, Operation, Index)"}
REGISTRATION_HEAD = """\
#include <$ns/all.h>
#include "$ns/tables.h"
#include <zamli/codegen/data_functions.h>
#include <zamli/values/enum_value.h>
#include <zamli/types/type_info_loader.h>
#include <zamli/types/accessors.h>
#include <zamli/types/property_lookup.h>

namespace $cpp {
int kettarNamespaceId = 0;
Zamli::Version* officialVersions[$nv] = {};
Zamli::Version* internalVersions[$nv] = {};
namespace {
Zamli::Version* rcVersionSlot = nullptr;
}  // namespace
Zamli::Version* GetRcVersion() { return rcVersionSlot; }
Zamli::DataObjectType* registeredDataTypes[$ndr] = {};
Zamli::EnumType* registeredEnumTypes[$ner] = {};
Zamli::ManagedObjectType* registeredManagedTypes[$nmr] = {};
}  // namespace $cpp

namespace {
using namespace $records;

const Zamli::VersionInfo kVersions[$nv] = {"""
NAMESPACE_RECORD = (
    "const Zamli::KettarVersions kNamespace = {$name, &$cpp::kettarNamespaceId, kRequiredNamespaces, nullptr, "
    "kVersions, kParents, $cpp::officialVersions, $cpp::internalVersions, &$cpp::rcVersionSlot, $nv, $nv, $np, "
    "$nr, nullptr, $oldest, -1, nullptr, nullptr, nullptr};")
CREATE_TYPES = """
Zamli::Type* typeList[$total];

Zamli::Type* const* CreateTypes(int& count) {
  for (int i = 0; i < $nd; ++i)
    typeList[i] = $cpp::registeredDataTypes[i] = Zamli::CreateDataObjectType(&kDataTypes[i], *kFieldTables[i]);
  for (int j = 0; j < $ne; ++j) typeList[$nd + j] = $cpp::registeredEnumTypes[j] = kEnumFactories[j](&kEnumTypes[j]);
  for (int j = 0; j < $nm; ++j) {
    typeList[$nde + j] = $cpp::registeredManagedTypes[j] = Zamli::CreateManagedObjectType(&kManagedTypes[$last - j]);
  }
  count = $total;
  return typeList;
}

// The records do not carry C++ class names; the runtime takes them by slot.
const char* const kClassNames[$total] = {"""
REGISTRATION_TAIL = """\
};

struct Registration {
  Registration() {
    $cpp::kettarNamespaceId = -1;
    static Zamli::TypeInfoLoader loader(&kNamespace, &CreateTypes);
    loader.SetClassNames(kClassNames);
  }
} registration;
}  // namespace"""


def _schema(lib):
    return banner(f"the {lib.namespace} schema")


def fwd_h(lib):
    out = [_schema(lib), "#pragma once", "// Every class and enumeration of the library that sits directly in a namespace.",
           "#include <zamli/types/accessors.h>"]
    out += [render("#include <$ns/fwd.h>", ns=ns) for ns in lib.imports] + [""]
    for t in lib.top_level:
        decl = render("enum class $leaf : int;" if t.kind == "enum" else "class $leaf;", leaf=t.leaf)
        out.append(render("namespace $scope { $decl }", scope=t.scope, decl=decl) if t.scope else decl)
    out += ["", "// Tags of the enumerations above, one constant each."] + emit_enums.namespace_declarations(lib)
    out += ["", render("namespace $cpp {", cpp=lib.ns_cpp),
            "// The registered type objects by kind, null until the library registers; the accessors read them.",
            "ZAMLI_EXPORT extern Zamli::DataObjectType* registeredDataTypes[];",
            "ZAMLI_EXPORT extern Zamli::EnumType* registeredEnumTypes[];",
            "ZAMLI_EXPORT extern Zamli::ManagedObjectType* registeredManagedTypes[];",
            render("}  // namespace $cpp", cpp=lib.ns_cpp), "", "namespace Zamli {"]
    out += [emit_enums.accessor_declaration(t) for t in lib.enum_order if t.enclosing is None]
    return file(out, "}  // namespace Zamli")


def all_h(lib):
    headers = [t.header for t in lib.classes]
    headers += [h for t in lib.managed_order for h in (t.stub_header, t.server_header)]
    return file(_schema(lib), "#pragma once", [render("#include <$h>", h=h) for h in sorted(headers)])


def type_list_inc(lib):
    """Every enumeration, fault and member as macro calls, for tests that
    need each one as a C++ type: ZAMLI_TEST_ENUM(E),
    ZAMLI_TEST_FAULT(F, (F, its bases..., Zamli::MethodFault)),
    ZAMLI_TEST_MANAGED(I, Stub, Server) and ZAMLI_TEST_MEMBER(I, Operation, memberIndex)."""
    out = [_schema(lib), "// Define the macros you need before including this; the others expand to nothing.",
           "// All four are undefined again at the end."]
    for name, params in TEST_MACROS.items():
        out += [render("#ifndef $m", m=name), render("#define $m$p", m=name, p=params), "#endif"]
    out += [render("ZAMLI_TEST_ENUM($cls)", cls=t.cls) for t in lib.enum_order]
    out += [render("ZAMLI_TEST_FAULT($cls, ($chain))", cls=t.cls, chain=t.fault_chain)
            for t in lib.data_order if t.kind == "fault"]
    for t in lib.managed_order:
        out.append(render("ZAMLI_TEST_MANAGED($cls, $stub, $server)", cls=t.cls, stub=t.stub_class,
                          server=t.server_class))
        out += [render("ZAMLI_TEST_MEMBER($cls, $op, $i)", cls=t.cls, op=mem.name, i=mem.index)
                for mem in t.members_by_index]
    return file(out, [render("#undef $m", m=name) for name in TEST_MACROS])


def registration_cc(lib):
    nd, ne, nm, nv = len(lib.data_order), len(lib.enum_order), len(lib.managed_order), len(lib.versions)
    out = [_schema(lib), render(REGISTRATION_HEAD, ns=lib.namespace, cpp=lib.ns_cpp, nv=nv, records=lib.tables_ns,
                                ndr=max(nd, 1), ner=max(ne, 1), nmr=max(nm, 1))]
    out += [render('    {$name, $ns, $label, 0, "qor.Task", $ns, nullptr},', name=c_string(v.name),
                   ns=c_string(lib.namespace), label=c_string(v.label)) for v in lib.versions]
    out += ["};", render("const Zamli::VersionParent kParents[$n] = {", n=len(lib.version_parents))]
    out += [render("    {$v, $p},", v=c_string(v), p=c_string(p)) for v, p in lib.version_parents]
    out.append("};")
    out.append(render("const char* const kRequiredNamespaces[] = {${req}nullptr};",
                      req="".join(c_string(r) + ", " for r in lib.requires)))
    out += [render(NAMESPACE_RECORD, name=c_string(lib.namespace), cpp=lib.ns_cpp, nv=nv,
                   np=len(lib.version_parents), nr=len(lib.requires), oldest=nv - 1), ""]
    out.append(render("const Zamli::DataTypeInfo kDataTypes[$n] = {", n=max(nd, 1)))
    out += [render("    Zamli::MakeDataTypeInfo<$cls>(&$s, &$base, $props, $shape),", cls=t.cls, s=t.symbol,
                   base=t.base.symbol, props=t.properties_table, shape=t.data_shape) for t in lib.data_order]
    out += ["};", "// Each class's field table, which lets generic code read a value at its place.",
            render("const Zamli::FieldTable* const* const kFieldTables[$n] = {", n=max(nd, 1))]
    out += [render("    &$ns::$fields,", ns=lib.tables_ns, fields=t.field_table) for t in lib.data_order]
    out += ["};", render("const Zamli::EnumTypeInfo kEnumTypes[$n] = {", n=max(ne, 1))]
    out += [render("    {&$s, $tags},", s=t.symbol, tags=t.tags_table) for t in lib.enum_order]
    out += ["};", "// Each makes the enumeration's type from its record and its five functions.",
            render("Zamli::EnumType* (*const kEnumFactories[$n])(const Zamli::EnumTypeInfo*) = {", n=max(ne, 1))]
    out += [render("    &Zamli::CreateEnumType<$cls>,", cls=t.cls) for t in lib.enum_order]
    out += ["};", "// Laid out in descending name order; registration walks it backwards.",
            render("const Zamli::ManagedTypeInfo kManagedTypes[$n] = {", n=max(nm, 1))]
    for t in reversed(lib.managed_order):
        find = render("&Zamli::FindProperty<$props>", props=t.properties_table) if t.properties else "nullptr"
        out.append(render("    {&$s, &Zamli::gKettarManagedObjectTypeInfo, $props, $methods, $find, &$dispatch, "
                          "&$create, $objects},", s=t.symbol, props=t.properties_table, methods=t.methods_table,
                          find=find, dispatch=t.dispatch, create=t.create_stub, objects=t.method_objects))
    out.append("};")
    out.append(render(CREATE_TYPES, total=len(lib.type_list), nd=nd, ne=ne, nm=nm, nde=nd + ne, last=nm - 1,
                      cpp=lib.ns_cpp))
    out += [render("    $cls,", cls=c_string(t.cls)) for t in lib.type_list]
    out.append(render(REGISTRATION_TAIL, cpp=lib.ns_cpp))
    return file(out)


def model_json(lib):
    def prop(p):
        return {"name": p.name, "type": p.type.name, "flags": p.flags, "privilege": p.privilege,
                "version": p.version}
    types = []
    for t in lib.type_list:
        d = {"slot": t.slot, "kind": t.kind, "name": t.name, "wsdlName": t.wire, "version": t.version,
             "class": t.cls}
        if t.kind in ("data", "fault"):
            d["base"] = t.base.name
            d["properties"] = [prop(p) for p in t.properties]
        elif t.kind == "enum":
            d["tags"] = t.tags
        else:
            d["properties"] = [prop(p) for p in t.properties]
            d["methods"] = [{
                "name": m.name, "wsdlName": m.wire, "privilege": m.privilege, "version": m.version,
                "isTask": m.is_task, "auxFlag": m.aux,
                "result": {"type": m.result.type.name if m.result else None,
                           "flags": m.result.flags if m.result else 0, "version": m.result_version},
                "params": [prop(p) for p in m.params],
                "faults": [f.name for f in m.faults]} for m in t.methods]
        types.append(d)
    versions = [{"name": v.name, "label": v.label, "parents": v.parents} for v in lib.versions]
    return json.dumps({"namespace": lib.namespace, "versions": versions, "types": types}, indent=1) + "\n"
