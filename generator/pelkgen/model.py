"""Resolves parsed schema files into a checked model in which every fact the
emitters print is derived once: kinds, classes and C++ names, record symbols,
flags, member indexes, headers, versions and the registration orders."""
import os

from .parse import SchemaError, Where

KIND_CODE = {"primitive": 1, "enum": 15, "data": 16, "fault": 17, "managed": 18}
FLAG_ARRAY, FLAG_OPTIONAL, FLAG_MANAGED_PROPERTY, FLAG_SECRET = 0x1, 0x2, 0x4, 0x200
DATA_ROOT, FAULT_ROOT, MANAGED_ROOT = "kettar.DynamicData", "kettar.MethodFault", "kettar.ManagedObject"
NOT_IMPLEMENTED = "kettar.fault.NotImplemented"  # what a server answers for members it lacks

CPP_KEYWORDS = frozenset("""
    alignas alignof and and_eq asm auto bitand bitor bool break case catch char char8_t char16_t char32_t class
    compl concept const consteval constexpr constinit const_cast continue co_await co_return co_yield decltype
    default delete do double dynamic_cast else enum explicit export extern false float for friend goto if inline
    int long mutable namespace new noexcept not not_eq nullptr operator or or_eq private protected public register
    reinterpret_cast requires return short signed sizeof static static_assert static_cast struct switch template
    this thread_local throw true try typedef typeid typename union unsigned using virtual void volatile wchar_t
    while xor xor_eq""".split())
SCALARS = frozenset({"bool", "int", "long", "float"})  # passed by value, members start at zero


def default_class(name):
    """qor.pelk.FileShareProtocol -> Qor::Pelk::FileShareProtocol: scope words are
    capitalised, the type's own name is kept as written."""
    parts = name.split(".")
    return "::".join([capitalized(p) for p in parts[:-1]] + [parts[-1]])


def capitalized(name):
    return name[:1].upper() + name[1:]


def cpp_identifier(name):
    """A member or parameter name, with a trailing underscore where it is a C++
    keyword (`operator_`, `delete_`)."""
    return name + "_" if name in CPP_KEYWORDS else name


def record_symbol(name):
    return "g" + default_class(name).replace("::", "") + "TypeInfo"


def source_name(path):
    """The schema file as a reader finds it: its folder and name."""
    parts = path.replace("\\", "/").split("/")
    return "/".join(parts[-2:])


def _unref(cpp):
    """Haldun::Ref<X> -> X: the class a reference-held value is."""
    return cpp[len("Haldun::Ref<"):-1] if cpp.startswith("Haldun::Ref<") else None


class Version:
    def __init__(self, name, label, namespace, parents, where=None):
        self.name, self.label, self.namespace, self.parents, self.where = name, label, namespace, parents, where


class Prop:
    """A property, parameter or result, with the C++ that holds and passes it."""

    def __init__(self, name, type, flags, privilege, version, where=None):
        self.name, self.type, self.flags, self.privilege, self.version, self.where = \
            name, type, flags, privilege, version, where
        self.is_array = bool(flags & FLAG_ARRAY)
        self.is_optional = bool(flags & FLAG_OPTIONAL)
        self.is_secret = bool(flags & FLAG_SECRET)
        self.cpp_name = cpp_identifier(name)
        self.getter = "Get" + capitalized(name)
        self.field_cpp = self._field_cpp()
        self.held_class = _unref(self.field_cpp)  # arrays, objects: the class referenced
        self.zero_init = self.field_cpp in SCALARS
        self.is_value = type.kind == "primitive" and not type.is_object and not self.is_array
        if self.is_value:
            self.value_cpp = f"Haldun::Optional<{type.cls}>" if self.is_optional else type.cls
            if self.is_optional:
                self.param_cpp = f"const Haldun::Optional<{type.cls}>&"
            else:
                self.param_cpp = type.cls if type.cls in SCALARS else f"const {type.cls}&"
        else:
            self.value_cpp = None
            self.param_cpp = self.held_class + "*"

    def _field_cpp(self):
        t = self.type
        if self.is_array:
            if t.kind == "primitive":
                return f"Haldun::Ref<Zamli::Array<{t.cls}>>"
            item = "Zamli::MoRef" if t.kind == "managed" else t.cls
            return f"Haldun::Ref<Zamli::DataArray<{item}>>"
        if t.kind == "managed":
            return "Haldun::Ref<Zamli::MoRef>"
        if t.kind != "primitive" or t.is_object:
            return f"Haldun::Ref<{t.cls}>"
        if self.is_optional:
            return f"Haldun::Optional<{t.cls}>"
        return t.cls


class MethodModel:
    def __init__(self, name, wire, privilege, version, is_task, aux, params, result, result_version, faults):
        self.name, self.wire, self.privilege, self.version = name, wire, privilege, version
        self.is_task, self.aux, self.params, self.faults = is_task, aux, params, faults
        self.result, self.result_version = result, result_version
        self.constant = "METHOD_" + name.upper()


class Member:
    """One callable member of a managed type: a method, or the getter of a
    property, with its member index (methods first, then getters)."""

    def __init__(self, index, name, params, result):
        self.index, self.name, self.params, self.result = index, name, params, result
        names = {p.cpp_name for p in params}
        self.out_name = "result" if "result" not in names else "result_"
        self.by_value = result is not None and result.is_value
        self.has_out = result is not None and not self.by_value
        self.return_cpp = result.value_cpp if self.by_value else "void"
        self.out_cpp = f"Haldun::Ref<{result.held_class}>&" if self.has_out else None
        declared = [f"{p.param_cpp} {p.cpp_name}" for p in params]
        self.params_decl = ", ".join(declared + ([f"{self.out_cpp} {self.out_name}"] if self.has_out else []))
        self.async_decl = ", ".join(declared + ["const Zamli::CompletionCallback& callback",
                                                "Haldun::Ref<Haldun::System::ScheduledItem>& item"])
        self.args = "".join(f", {p.cpp_name}" for p in params)


class Type:
    def __init__(self, name, kind, symbol, cls, wire, version, lib, where=None):
        self.name, self.kind, self.symbol, self.cls, self.wire = name, kind, symbol, cls, wire
        self.version, self.lib, self.where = version, lib, where  # lib: "runtime" or the defining namespace
        self.base = None
        self.properties, self.tags, self.methods = [], [], []
        self.slot = -1
        self.is_object = self.has_array = False  # primitives: held by reference; has an array class
        self.kind_code = KIND_CODE[kind]
        self.scope = cls.rsplit("::", 1)[0] if "::" in cls else ""
        self.leaf = cls.rsplit("::", 1)[-1]
        self.ident = record_symbol(name)[1:-len("TypeInfo")]  # unique to the type, for its internal tables
        self.header = f"{lib}/{name.replace('.', '/')}.h"
        self.source = source_name(where.file) if where else ""
        self.enclosing = None  # the type whose class this one is nested in
        self.nested = []

    def chain(self):
        t = self
        while t is not None:
            yield t
            t = t.base

    def derive(self):
        """What the emitters print about the type, once its members are resolved."""
        self.is_data_like = self.kind in ("data", "fault")
        self.decl_name = self.cls if self.enclosing is not None else self.leaf
        self.tag_constants = [f"{self.leaf.upper()}_{tag.upper()}" for tag in self.tags]
        self.array_properties = [p for p in self.properties if p.is_array]
        if not self.properties:
            self.data_shape = "Zamli::DataShape::kNoProperties"
        elif any(p.is_optional for p in self.properties):
            self.data_shape = "Zamli::DataShape::kWithOptional"
        else:
            self.data_shape = "Zamli::DataShape::kAllRequired"
        self.fault_chain = ", ".join(b.cls for b in self.chain() if b.name != DATA_ROOT)
        m = len(self.methods)
        getters = [Member(m + i, p.getter, [], p) for i, p in enumerate(self.properties)]
        methods = [Member(k, capitalized(meth.name), meth.params, meth.result) for k, meth in enumerate(self.methods)]
        self.members = getters + methods  # in the interface's declaration order
        self.members_by_index = methods + getters
        self.stub_leaf, self.server_leaf = self.leaf + "Stub", self.leaf + "Server"
        self.stub_class, self.server_class = self.cls + "Stub", self.cls + "Server"
        self.stub_header = self.header[:-2] + "Stub.h"
        self.server_header = self.header[:-2] + "Server.h"
        self.method_objects = f"g{self.ident}MethodObjects"
        self.properties_table, self.methods_table = f"k{self.ident}Properties", f"k{self.ident}Methods"
        self.field_table = f"k{self.ident}FieldTable"
        self.tags_table = f"k{self.ident}Tags"
        self.dispatch, self.create_stub = f"Dispatch{self.ident}", f"CreateStub{self.ident}"
        self.type_accessor, self.type_class = {
            "data": ("GetDoType", "DataObjectType"), "fault": ("GetDoType", "DataObjectType"),
            "enum": ("GetEnumType", "EnumType"), "managed": ("GetMoType", "ManagedObjectType"),
            "primitive": (None, None)}[self.kind]
        self.header_includes = self._header_includes()

    def named_types(self):
        named = [p.type for p in self.properties]
        for m in self.methods:
            named += [p.type for p in m.params] + ([m.result.type] if m.result else [])
        return named

    def _header_includes(self):
        """Headers a class header needs: its base and enclosing class complete,
        and the enclosing classes of nested types it names."""
        need = set()
        if self.is_data_like and self.base is not None and self.base.lib != "runtime":
            need.add(self.base.header)
        if self.enclosing is not None:
            need.add(self.enclosing.header)
        for nt in self.named_types():
            penc = nt.enclosing
            if penc is not None and penc.name != self.name and penc.lib != "runtime":
                need.add(penc.header)
        return sorted(need)

    def source_includes(self, not_implemented):
        """Headers its definitions need: the class itself and the classes its
        object properties, parameters and results hold (copies cast clones to
        them, and array classes are instantiated where the element class is)."""
        if self.kind == "enum":  # its tag constants are members of the enclosing class
            return {self.enclosing.header} if self.enclosing is not None else set()
        need = {self.header}
        held = [p.type for p in self.properties]
        if self.kind == "managed":
            need.update((self.stub_header, self.server_header, "zamli/calls/make_stub.h"))
            if not_implemented is not None:
                need.add(not_implemented.header)
            for mem in self.members:
                held += [p.type for p in mem.params + ([mem.result] if mem.result else [])]
        need.update(h.header for h in held if h.is_data_like and h.lib != "runtime")
        return need


class Area:
    """One schema file of the library: its records and definitions go into one source."""

    def __init__(self, path, types, not_implemented):
        self.stem = os.path.splitext(os.path.basename(path))[0]
        self.source = source_name(path)
        self.types = types
        self.includes = sorted(set().union(*(t.source_includes(not_implemented) for t in types)))


class Library:
    def __init__(self, namespace, **facts):
        self.namespace = namespace
        self.__dict__.update(facts)
        self.type_list = self.data_order + self.enum_order + self.managed_order
        self.ns_cpp = capitalized(namespace)
        self.tables_ns = self.ns_cpp + "Records"
        # Defined by the build for the library's own sources (TypeLibrary.cmake).
        self.building_macro = f"ZAMLI_BUILDING_{namespace.upper()}_TYPES"
        self.record_macro = f"{namespace.upper()}_RECORD"
        self.classes = [t for t in self.type_list if t.kind != "enum"]
        self.top_level = sorted((t for t in self.own_types if t.enclosing is None), key=lambda t: t.cls)
        self.version_parents = [(v.name, p) for v in reversed(self.versions) for p in v.parents]


def _error(where, msg):
    raise SchemaError(where, msg)


def build(own_files, imported_files=(), registration_overrides=()):
    """own_files: the schema of the library being generated (one namespace file
    plus area files); imported_files: schemas it builds on, the runtime's among them."""
    versions, types = {}, {}
    own_ns = own_files[0].namespace
    for sf in own_files:
        if sf.namespace != own_ns:
            _error(Where(sf.path, 1), f"one library fills one namespace: '{sf.namespace}' here, "
                   f"'{own_ns}' in {own_files[0].path}")
    runtime_files = [sf for sf in list(imported_files) + list(own_files) if sf.runtime]
    if not runtime_files:
        _error(Where(own_files[0].path, 1), "the runtime's own schema (kettar.schema) must be imported")

    def declare_versions(sf):
        for vd in sf.versions:
            if vd.name in versions:
                _error(vd.where, f"duplicate version '{vd.name}'")
            versions[vd.name] = Version(vd.name, vd.label, sf.namespace, vd.parents, vd.where)

    def declare_types(sf, lib):
        decls = []
        for td in sf.types:
            if td.name in types:
                prev = types[td.name].where
                _error(td.where, f"duplicate type name '{td.name}'" + (f" (first declared at {prev})" if prev else ""))
            cls = td.cls or default_class(td.name)
            t = Type(td.name, td.kind, td.record or record_symbol(td.name), cls, td.wire or td.name.split(".")[-1],
                     td.since, lib, td.where)
            t.is_object, t.has_array = "object" in td.flags, "array" in td.flags
            types[td.name] = t
            decls.append((t, td))
        return decls

    imported = []
    for sf in imported_files:
        declare_versions(sf)
        imported += declare_types(sf, "runtime" if sf.runtime else sf.namespace)
    own = []
    own_versions = []
    requires = []
    for sf in own_files:
        declare_versions(sf)
        own_versions += [versions[v.name] for v in sf.versions]
        requires += [r for r in sf.requires if r not in requires]
        own += declare_types(sf, "runtime" if sf.runtime else own_ns)
    no_result_version = runtime_files[0].versions[-1].name  # the runtime's oldest

    for v in versions.values():
        for p in v.parents:
            if p not in versions:
                _error(v.where, f"unknown parent version '{p}' of '{v.name}'")

    def check_version(where, name):
        if name not in versions:
            _error(where, f"unknown version '{name}'")
        return name

    wires, symbols, classes = {}, {}, {}
    for t, td in imported + own:
        for seen, key, what in ((symbols, t.symbol, "record symbol"), (classes, t.cls, "class")):
            if key in seen:
                _error(td.where, f"{what} '{key}' of '{t.name}' is already used by '{seen[key]}'")
            seen[key] = t.name
        check_version(td.where, td.since)
        if t.wire in wires:
            _error(td.where, f"duplicate wire name '{t.wire}' (also {wires[t.wire]})")
        wires[t.wire] = td.name
    arrayable = [t.name for t in types.values() if t.has_array]

    def resolve(where, tref, what):
        t = types.get(tref.name)
        if t is None:
            _error(where, f"unknown type '{tref.name}' in {what}")
        if t.kind == "enum":
            _error(where, f"enumeration '{tref.name}' cannot be the type of {what}; declare it as string")
        if tref.is_ref != (t.kind == "managed"):
            _error(where, f"'{tref.name}' in {what} " + ("is not a managed type; drop 'ref'" if tref.is_ref else "is a managed type; write 'ref " + tref.name + "'"))
        return t

    def member(m, owner_version, what, extra_flags=0, privilege=None):
        t = resolve(m.where, m.type, what)
        if m.secret and t.name != "string":
            _error(m.where, f"'secret' needs a string, not '{t.name}'")
        if m.type.is_array and t.kind == "primitive" and not t.has_array:
            _error(m.where, f"arrays of '{t.name}' are not supported; use {', '.join(arrayable)} or a type")
        flags = extra_flags | (FLAG_ARRAY if m.type.is_array else 0) | (FLAG_OPTIONAL if m.optional else 0) \
            | (FLAG_SECRET if m.secret else 0)
        version = check_version(m.where, m.since) if m.since else owner_version
        return Prop(m.name, t, flags, privilege if privilege is not None else m.requires, version, m.where)

    def unique(items, what, owner):
        seen = {}
        for where, name in items:
            if name in seen:
                _error(where, f"duplicate {what} '{name}' in '{owner}' (first at line {seen[name].line})")
            seen[name] = where

    for t, td in imported + own:
        if t.kind in ("data", "fault"):
            base_name = td.base or ("kettar.DynamicData" if t.kind == "data" else None)
            if base_name is None:
                _error(td.where, f"fault '{t.name}' must name its base")
            base = types.get(base_name)
            if base is None:
                _error(td.where, f"unknown base type '{base_name}' of '{t.name}'")
            if base.kind not in ("data", "fault"):
                _error(td.where, f"base '{base_name}' of '{t.name}' is not a data or fault type")
            t.base = base if t.name != DATA_ROOT else None
            unique([(p.where, p.name) for p in td.properties], "property", t.name)
            t.properties = [member(p, t.version, f"property '{p.name}' of '{t.name}'") for p in td.properties]
        elif t.kind == "enum":
            unique(td.tags, "tag", t.name)
            t.tags = [tag for _, tag in td.tags]
            if not t.tags:
                _error(td.where, f"enumeration '{t.name}' has no tags")
        elif t.kind == "managed":
            t.base = types[MANAGED_ROOT] if t.name != MANAGED_ROOT else None
            unique([(p.where, p.name) for p in td.properties], "property", t.name)
            t.properties = [member(p, t.version, f"property '{p.name}' of '{t.name}'", FLAG_MANAGED_PROPERTY,
                                   "System.Read") for p in td.properties]
            unique([(m.where, m.name) for m in td.methods], "method", t.name)
            unique([(m.where, m.wire) for m in td.methods], "method wire name", t.name)
            for m in td.methods:
                mv = check_version(m.where, m.since) if m.since else t.version
                unique([(p.where, p.name) for p in m.params], "parameter", f"{t.name}.{m.name}")
                params = [member(p, mv, f"parameter '{p.name}' of '{m.name}'") for p in m.params]
                result, result_version = None, no_result_version
                if m.result is not None:
                    result = member(m.result, no_result_version, f"result of '{m.name}'")
                    result_version = result.type.version
                    result.version = result_version
                faults = []
                for where, fname in m.faults:
                    f = types.get(fname)
                    if f is None:
                        _error(where, f"unknown fault '{fname}' of '{m.name}'")
                    if f.kind != "fault":
                        _error(where, f"'{fname}' in the faults of '{m.name}' is not a fault type")
                    faults.append(f)
                unique([(where, n) for where, n in m.faults], "fault", f"{t.name}.{m.name}")
                if m.task and not m.wire.endswith("_Task"):
                    _error(m.where, f"task method '{m.name}' needs a wire name ending in '_Task'")
                t.methods.append(MethodModel(m.name, m.wire, m.privilege, mv, m.task, m.aux, params,
                                             result, result_version, faults))
    # A fault is a data type whose chain reaches the fault root; the declared kind must agree.
    for t, td in imported + own:
        if t.kind in ("data", "fault"):
            seen = set()
            for b in t.chain():
                if b.name in seen:
                    _error(td.where, f"base cycle through '{t.name}'")
                seen.add(b.name)
            is_fault = FAULT_ROOT in seen
            if is_fault != (t.kind == "fault"):
                _error(td.where, f"'{t.name}' is declared {t.kind} but its base chain "
                       + ("reaches" if is_fault else "does not reach") + " kettar.MethodFault")

    # Nested classes: a type whose class sits in another type's class.
    by_cls = {t.cls: t for t in types.values() if t.kind != "primitive"}
    for t in types.values():
        t.enclosing = by_cls.get(t.scope)
    own_types = [t for t, _ in own]
    for t in own_types:
        if t.enclosing is not None:
            t.enclosing.nested.append(t)
    for t in types.values():
        t.nested.sort(key=lambda n: n.cls)
        t.derive()

    data_order, walks = _data_record_order([t for t in own_types if t.kind in ("data", "fault")])
    enum_order = _ordered_with_overrides(sorted((t for t in own_types if t.kind == "enum"),
                                                key=lambda t: t.name.encode()), registration_overrides, types)
    managed_order = sorted((t for t in own_types if t.kind == "managed"), key=lambda t: t.name.encode())
    not_implemented = types.get(NOT_IMPLEMENTED)
    lib = Library(own_ns, requires=requires, versions=own_versions, data_order=data_order, enum_order=enum_order,
                  managed_order=managed_order, types_by_name=types, own_types=own_types, all_versions=versions,
                  files=own_files, record_walks=walks, not_implemented=not_implemented,
                  no_result_version=no_result_version, is_runtime=own_files[0].runtime,
                  imports=sorted({sf.namespace for sf in imported_files if not sf.runtime}),
                  areas=[Area(sf.path, [types[td.name] for td in sf.types], not_implemented)
                         for sf in own_files if not own_files[0].runtime])
    for slot, t in enumerate(lib.type_list):
        t.slot = slot
    # Where each type's inline accessor finds its registered type object.
    for order, table in ((data_order, "registeredDataTypes"), (enum_order, "registeredEnumTypes"),
                         (managed_order, "registeredManagedTypes")):
        for index, t in enumerate(order):
            t.registered = f"::{lib.ns_cpp}::{table}[{index}]"
    return lib


def _data_record_order(data_types):
    """Walks the types in name order, emitting each whose base is outside the
    library or already emitted (earlier in the same walk too); repeats the walk
    over the rest until all are emitted. Returns the order and each walk's count."""
    pending = sorted(data_types, key=lambda t: t.name.encode())
    own = {t.name for t in pending}
    emitted, order, walks = set(), [], []
    while pending:
        rest = []
        for t in pending:
            if t.base is None or t.base.name not in own or t.base.name in emitted:
                emitted.add(t.name)
                order.append(t)
            else:
                rest.append(t)
        if len(rest) == len(pending):
            raise SchemaError(rest[0].where, f"base cycle through '{rest[0].name}'")
        walks.append(len(pending) - len(rest))
        pending = rest
    return order, walks


def _ordered_with_overrides(order, overrides, types):
    """Applies 'register A before B' lines: A moves to just before B."""
    order = list(order)
    for where, first, second in overrides:
        for n in (first, second):
            if n not in types:
                _error(where, f"unknown type '{n}' in a registration order line")
            if types[n] not in order:
                _error(where, f"'{n}' in a registration order line is not an enumeration of this library")
        a, b = types[first], types[second]
        order.remove(a)
        order.insert(order.index(b), a)
    return order
