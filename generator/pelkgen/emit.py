"""Prints the C++ of one library from the model. Everything the same for every
type lives in the runtime; what is printed here is only what differs per type."""
import json

from .emit_classes import BANNER, ClassEmitter, data_shape, header_path, scope_of, source_name, tag_constant
from .model import RUNTIME_VERSION

def c_string(s):
    return "nullptr" if s is None else json.dumps(s)


def ns_cpp(namespace):
    return namespace[:1].upper() + namespace[1:]


def tables_ns(lib):
    return ns_cpp(lib.namespace) + "Records"


def ident(t):
    """A C++ identifier unique to the type, for its internal tables."""
    return t.symbol[1:-len("TypeInfo")]


def type_addr(t):
    return "&" + t.symbol


def prop_record(p):
    return (f"{{{type_addr(p.type)}, {p.flags:#x}, {c_string(p.name)}, {c_string(p.privilege)}, "
            f"{c_string(p.version)}}}")


class Emitter:
    def __init__(self, lib, imports):
        self.lib = lib
        self.imports = imports  # namespaces whose generated headers we include
        self.classes = ClassEmitter(lib, imports)

    # -- headers -------------------------------------------------------------
    def type_infos_h(self):
        lib = self.lib
        out = [BANNER.format(src="the " + lib.namespace + " schema"), "#pragma once",
               "#include <zamli/types/primitive_records.h>", ""]
        for ns in self.imports:
            out.insert(3, f"#include <{ns}/type_infos.h>")
        out.append('extern "C" {')
        for t in sorted(lib.own_types, key=lambda t: t.symbol):
            out.append(f"ZAMLI_EXPORT extern const Zamli::TypeInfo {t.symbol};")
        for t in lib.managed_order:
            out.append(f"ZAMLI_EXPORT extern Zamli::ManagedMethod* g{ident(t)}MethodObjects[];")
        out.append('}  // extern "C"')
        nv = len(lib.versions)
        out += ["", "// The namespace's identifier and version objects, kept by the runtime.",
                f"namespace {ns_cpp(lib.namespace)} {{",
                "ZAMLI_EXPORT extern int kettarNamespaceId;",
                f"ZAMLI_EXPORT extern Zamli::Version* officialVersions[{nv}];",
                f"ZAMLI_EXPORT extern Zamli::Version* internalVersions[{nv}];",
                "ZAMLI_EXPORT Zamli::Version* GetRcVersion();",
                f"}}  // namespace {ns_cpp(lib.namespace)}"]
        return "\n".join(out) + "\n"

    def tables_h(self):
        lib = self.lib
        out = [BANNER.format(src="the " + lib.namespace + " schema"), "#pragma once",
               f"#include <{lib.namespace}/type_infos.h>", "", f"namespace {tables_ns(lib)} {{"]
        for t in lib.data_order + lib.managed_order:
            out.append(f"extern const Zamli::PropertyInfo k{ident(t)}Properties[];")
        for t in lib.managed_order:
            out.append(f"extern const Zamli::MethodInfo k{ident(t)}Methods[];")
            out.append(f"void Dispatch{ident(t)}(Zamli::ManagedObject* obj, int member, "
                       "std::vector<Haldun::Ref<Zamli::Any>>& args, Haldun::Ref<Zamli::Any>& result);")
            out.append(f"Zamli::StubImpl* CreateStub{ident(t)}(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, "
                       "Zamli::RequestContext* context);")
        for t in lib.enum_order:
            out.append(f"extern const char* const k{ident(t)}Tags[];")
        out.append(f"}}  // namespace {tables_ns(lib)}")
        return "\n".join(out) + "\n"

    # -- records of one schema file -----------------------------------------
    def records_cc(self, schema_file):
        lib = self.lib
        mine = [lib.types_by_name[td.name] for td in schema_file.types]
        out = [BANNER.format(src=source_name(schema_file.path)), f'#include "{lib.namespace}/tables.h"',
               "#include <zamli/calls/call.h>", "#include <zamli/codegen/data_object_impl.h>", "#include <zamli/codegen/enum_impl.h>"]
        out += [f"#include <{h}>" for h in self.classes.source_includes(mine)]
        out += [f"#include <{lib.namespace}/fwd.h>", "",
                "// The field tables take member offsets of classes with virtual functions.",
                '#pragma GCC diagnostic ignored "-Winvalid-offsetof"', "", 'extern "C" {']
        for t in mine:
            out.append(f"const Zamli::TypeInfo {t.symbol} = {{{t.kind_code}, {c_string(t.name)}, "
                       f"{c_string(t.wire)}, {c_string(t.version)}}};")
        for t in mine:
            if t.kind == "managed":
                n = len(t.methods) + len(t.properties) + 1
                out.append(f"Zamli::ManagedMethod* g{ident(t)}MethodObjects[{n}] = {{}};")
        out.append('}  // extern "C"')
        out.append("")
        for t in mine:
            if t.kind != "enum":
                continue
            scope = scope_of(t.cls)
            for tag in t.tags:
                q = f"{scope}::" if scope else ""
                out.append(f"const char {q}{tag_constant(t, tag)}[] = {c_string(tag)};")
        out += ["", f"namespace {tables_ns(lib)} {{"]
        for t in mine:
            if t.kind == "enum":
                scope = scope_of(t.cls)
                q = f"::{scope}::" if scope else "::"
                tags = ", ".join(q + tag_constant(t, tag) for tag in t.tags)
                out.append(f"const char* const k{ident(t)}Tags[] = {{{tags}, nullptr}};")
                continue
            out.append(f"const Zamli::PropertyInfo k{ident(t)}Properties[] = {{")
            out += [f"    {prop_record(p)}," for p in t.properties]
            out.append("    {}};")
            if t.kind != "managed":
                continue
            out.append("namespace {")
            for i, m in enumerate(t.methods):
                out.append(f"const Zamli::PropertyInfo k{ident(t)}Params{i}[] = {{")
                out += [f"    {prop_record(p)}," for p in m.params]
                out.append("    {}};")
                faults = "".join(f"&{f.symbol}, " for f in m.faults)
                out.append(f"const Zamli::TypeInfo* const k{ident(t)}Faults{i}[] = {{{faults}nullptr}};")
            out.append("}  // namespace")
            out.append(f"const Zamli::MethodInfo k{ident(t)}Methods[] = {{")
            for i, m in enumerate(t.methods):
                if m.result is not None:
                    result = prop_record(m.result)
                else:
                    result = f'{{nullptr, 0, "result", nullptr, {c_string(RUNTIME_VERSION)}}}'
                out.append(f"    {{{c_string(m.name)}, {c_string(m.wire)}, {c_string(m.privilege)}, nullptr, "
                           f"{result}, k{ident(t)}Params{i}, k{ident(t)}Faults{i}, {c_string(m.version)}, "
                           f"nullptr, false, {str(m.is_task).lower()}, {str(m.aux).lower()}}},")
            out.append("    {}};")
        out.append(f"}}  // namespace {tables_ns(lib)}")
        out.append("")
        for t in mine:
            out += self.classes.definitions(t, tables_ns(lib), f"k{ident(t)}Properties")
        return "\n".join(out) + "\n"

    # -- registration --------------------------------------------------------
    def registration_cc(self):
        lib = self.lib
        ns = ns_cpp(lib.namespace)
        rec = tables_ns(lib)
        nd, ne, nm = len(lib.data_order), len(lib.enum_order), len(lib.managed_order)
        total = nd + ne + nm
        nv = len(lib.versions)
        parents = [(v.name, p) for v in reversed(lib.versions) for p in v.parents]
        out = [BANNER.format(src="the " + lib.namespace + " schema"), f"#include <{lib.namespace}/all.h>",
               f'#include "{lib.namespace}/tables.h"', "#include <zamli/codegen/data_functions.h>",
               "#include <zamli/values/enum_value.h>", "#include <zamli/types/type_info_loader.h>",
               "#include <zamli/types/accessors.h>", "#include <zamli/types/property_lookup.h>", "", f"namespace {ns} {{",
               "int kettarNamespaceId = 0;",
               f"Zamli::Version* officialVersions[{nv}] = {{}};",
               f"Zamli::Version* internalVersions[{nv}] = {{}};",
               "namespace {", "Zamli::Version* rcVersionSlot = nullptr;", "}  // namespace",
               "Zamli::Version* GetRcVersion() { return rcVersionSlot; }",
               f"}}  // namespace {ns}", "", "namespace {", f"using namespace {rec};", "",
               f"const Zamli::VersionInfo kVersions[{nv}] = {{"]
        out += [f'    {{{c_string(v.name)}, {c_string(lib.namespace)}, {c_string(v.label)}, 0, "qor.Task", '
                f'{c_string(lib.namespace)}, nullptr}},' for v in lib.versions]
        out.append("};")
        out.append(f"const Zamli::VersionParent kParents[{len(parents)}] = {{")
        out += [f"    {{{c_string(v)}, {c_string(p)}}}," for v, p in parents]
        out.append("};")
        req = "".join(c_string(r) + ", " for r in lib.requires)
        out.append(f"const char* const kRequiredNamespaces[] = {{{req}nullptr}};")
        oldest = nv - 1
        out.append(f"const Zamli::KettarVersions kNamespace = {{{c_string(lib.namespace)}, &{ns}::kettarNamespaceId, "
                   f"kRequiredNamespaces, nullptr, kVersions, kParents, {ns}::officialVersions, "
                   f"{ns}::internalVersions, &{ns}::rcVersionSlot, {nv}, {nv}, {len(parents)}, "
                   f"{len(lib.requires)}, nullptr, {oldest}, -1, nullptr, nullptr, nullptr}};")
        out.append("")
        out.append(f"const Zamli::DataTypeInfo kDataTypes[{max(nd, 1)}] = {{")
        for t in lib.data_order:
            out.append(f"    Zamli::MakeDataTypeInfo<{t.cls}>(&{t.symbol}, &{t.base.symbol}, "
                       f"k{ident(t)}Properties, {data_shape(t)}),")
        out.append("};")
        out.append(f"const Zamli::EnumTypeInfo kEnumTypes[{max(ne, 1)}] = {{")
        out += [f"    {{&{t.symbol}, k{ident(t)}Tags}}," for t in lib.enum_order]
        out.append("};")
        out.append("// Each makes the enumeration's type from its record and its five functions.")
        out.append(f"Zamli::EnumType* (*const kEnumFactories[{max(ne, 1)}])(const Zamli::EnumTypeInfo*) = {{")
        out += [f"    &Zamli::CreateEnumType<{t.cls}>," for t in lib.enum_order]
        out.append("};")
        out.append("// Laid out in descending name order; registration walks it backwards.")
        out.append(f"const Zamli::ManagedTypeInfo kManagedTypes[{max(nm, 1)}] = {{")
        for t in reversed(lib.managed_order):
            find = f"&Zamli::FindProperty<k{ident(t)}Properties>" if t.properties else "nullptr"
            out.append(f"    {{&{t.symbol}, &Zamli::gKettarManagedObjectTypeInfo, k{ident(t)}Properties, "
                       f"k{ident(t)}Methods, {find}, &Dispatch{ident(t)}, &CreateStub{ident(t)}, "
                       f"g{ident(t)}MethodObjects}},")
        out.append("};")
        out += ["", f"Zamli::Type* typeList[{total}];", "",
                "Zamli::Type* const* CreateTypes(int& count) {",
                f"  for (int i = 0; i < {nd}; ++i) typeList[i] = Zamli::CreateDataObjectType(&kDataTypes[i]);",
                f"  for (int j = 0; j < {ne}; ++j) typeList[{nd} + j] = kEnumFactories[j](&kEnumTypes[j]);",
                f"  for (int j = 0; j < {nm}; ++j) {{",
                f"    typeList[{nd + ne} + j] = Zamli::CreateManagedObjectType(&kManagedTypes[{nm - 1} - j]);",
                "  }",
                f"  count = {total};",
                "  return typeList;",
                "}", "",
                "// The records do not carry C++ class names; the runtime takes them by slot.",
                f"const char* const kClassNames[{total}] = {{"] + [f"    {c_string(t.cls)}," for t in lib.type_list] + [
                "};", "",
                "struct Registration {",
                "  Registration() {",
                f"    {ns}::kettarNamespaceId = -1;",
                "    static Zamli::TypeInfoLoader loader(&kNamespace, &CreateTypes);",
                "    loader.SetClassNames(kClassNames);",
                "  }",
                "} registration;",
                "}  // namespace", "",
                "namespace Zamli {"]
        for t in lib.type_list:
            fn = {"data": "GetDoType", "fault": "GetDoType", "enum": "GetEnumType", "managed": "GetMoType"}[t.kind]
            rt = {"GetDoType": "DataObjectType", "GetEnumType": "EnumType", "GetMoType": "ManagedObjectType"}[fn]
            out.append(f"template <> ZAMLI_EXPORT {rt}* {fn}<{t.cls}>() {{ "
                       f"return static_cast<{rt}*>(typeList[{t.slot}]); }}")
        out.append("}  // namespace Zamli")
        return "\n".join(out) + "\n"

    # -- the model, for tests that hold the runtime against the schema -------
    def model_json(self):
        return json.dumps(model_dump(self.lib), indent=1) + "\n"


def model_dump(lib):
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
    return {"namespace": lib.namespace, "versions": versions, "types": types}
