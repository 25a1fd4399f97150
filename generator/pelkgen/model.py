"""Resolves parsed schema files into a checked model with everything derived once:
kinds, classes, symbols, flags, versions and the registration orders."""
from dataclasses import dataclass, field

from .parse import SchemaError, Where

KIND_CODE = {"enum": 15, "data": 16, "fault": 17, "managed": 18}
FLAG_ARRAY, FLAG_OPTIONAL, FLAG_MANAGED_PROPERTY, FLAG_SECRET = 0x1, 0x2, 0x4, 0x200
RUNTIME_VERSION = "kettar.version.version0"

# What the runtime itself provides: primitives and the three roots of the type tree.
PRIMITIVES = {
    "string": "Zamli::gStringTypeInfo", "boolean": "Zamli::gBoolTypeInfo",
    "int": "Zamli::gIntTypeInfo", "long": "Zamli::gLongTypeInfo",
    "float": "Zamli::gFloatTypeInfo", "dateTime": "Zamli::gDateTimeTypeInfo",
    "binary": "Zamli::gBinaryTypeInfo", "anyType": "Zamli::gAnyTypeInfo",
}
RUNTIME_TYPES = [
    # name, kind, symbol, class, base
    ("kettar.DynamicData", "data", "gKettarDynamicDataTypeInfo", "Zamli::DynamicData", None),
    ("kettar.DynamicArray", "data", "gKettarDynamicArrayTypeInfo", "Zamli::DynamicArray", None),
    ("kettar.KeyAnyValue", "data", "gKettarKeyAnyValueTypeInfo", "Zamli::KeyAnyValue", "kettar.DynamicData"),
    ("kettar.LocalizableMessage", "data", "gKettarLocalizableMessageTypeInfo", "Zamli::LocalizableMessage",
     "kettar.DynamicData"),
    ("kettar.MethodFault", "fault", "Zamli::gKettarMethodFaultTypeInfo", "Zamli::MethodFault", "kettar.DynamicData"),
    ("kettar.ManagedObject", "managed", "Zamli::gKettarManagedObjectTypeInfo", "Zamli::ManagedObject", None),
]
RUNTIME_VERSION_OF = {"kettar.LocalizableMessage": "kettar.version.version1"}
RUNTIME_VERSIONS = [  # name, parents
    ("kettar.version.version0", []),
    ("kettar.version.version1", ["kettar.version.version0"]),
    ("kettar.query.version.version1", ["kettar.version.version0"]),
]


def default_class(name):
    """qor.pelk.FileShareProtocol -> Qor::Pelk::FileShareProtocol: scope words are
    capitalised, the type's own name is kept as written."""
    parts = name.split(".")
    return "::".join([p[:1].upper() + p[1:] for p in parts[:-1]] + [parts[-1]])


PRIMITIVE_CPP = {
    "string": "std::string", "boolean": "bool", "int": "int", "long": "long", "float": "float",
    "dateTime": "Haldun::System::DateTime", "binary": "std::vector<unsigned char>",
}
ARRAY_ITEM_CPP = {"string": "std::string", "int": "int", "long": "long"}


def field_cpp(p):
    """The C++ type of the class member that holds a property."""
    t = p.type
    if p.flags & FLAG_ARRAY:
        if t.kind == "primitive":
            return f"Haldun::Ref<Zamli::Array<{ARRAY_ITEM_CPP[t.name]}>>"
        item = "Zamli::MoRef" if t.kind == "managed" else t.cls
        return f"Haldun::Ref<Zamli::DataArray<{item}>>"
    if t.kind == "managed":
        return "Haldun::Ref<Zamli::MoRef>"
    if t.name == "anyType":
        return "Haldun::Ref<Zamli::Any>"
    if t.kind != "primitive":
        return f"Haldun::Ref<{t.cls}>"
    if p.flags & FLAG_OPTIONAL:
        return f"Haldun::Optional<{PRIMITIVE_CPP[t.name]}>"
    return PRIMITIVE_CPP[t.name]


def record_symbol(name):
    return "g" + default_class(name).replace("::", "") + "TypeInfo"


@dataclass
class Version:
    name: str
    label: str
    namespace: str
    parents: list
    where: Where | None = None


@dataclass
class Prop:
    name: str
    type: "Type"
    flags: int
    privilege: str | None
    version: str
    where: Where | None = None


@dataclass
class MethodModel:
    name: str
    wire: str
    privilege: str
    version: str
    is_task: bool
    aux: bool
    params: list
    result: Prop | None
    result_version: str
    faults: list


@dataclass
class Type:
    name: str
    kind: str
    symbol: str
    cls: str
    wire: str
    version: str
    lib: str  # "runtime", "primitive", or the namespace whose library defines it
    where: Where | None = None
    base: "Type | None" = None
    properties: list = field(default_factory=list)
    tags: list = field(default_factory=list)
    methods: list = field(default_factory=list)
    slot: int = -1

    @property
    def kind_code(self):
        return KIND_CODE.get(self.kind, 0)

    def chain(self):
        t = self
        while t is not None:
            yield t
            t = t.base


@dataclass
class Library:
    namespace: str
    requires: list
    versions: list  # own versions, newest first
    data_order: list  # data and fault types in record order
    enum_order: list
    managed_order: list  # ascending; the records are laid out descending
    types_by_name: dict
    own_types: list
    all_versions: dict
    files: list
    record_walks: list

    @property
    def type_list(self):
        return self.data_order + self.enum_order + self.managed_order


def _error(where, msg):
    raise SchemaError(where, msg)


def build(own_files, imported_files=(), registration_overrides=()):
    """own_files: the schema of the library being generated (one namespace file
    plus area files); imported_files: schemas of libraries it builds on."""
    versions = {n: Version(n, n, "kettar", p) for n, p in RUNTIME_VERSIONS}
    types = {}
    for name, kind, symbol, cls, _ in RUNTIME_TYPES:
        types[name] = Type(name, kind, symbol, cls, name.split(".")[-1], RUNTIME_VERSION_OF.get(name, RUNTIME_VERSION),
                           "runtime")
    for name, symbol in PRIMITIVES.items():
        types[name] = Type(name, "primitive", symbol, "", name, RUNTIME_VERSION, "primitive")
    for name, _, _, _, base in RUNTIME_TYPES:
        types[name].base = types.get(base)

    own_ns = own_files[0].namespace
    for sf in own_files:
        if sf.namespace != own_ns:
            _error(Where(sf.path, 1), f"one library fills one namespace: '{sf.namespace}' here, "
                   f"'{own_ns}' in {own_files[0].path}")

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
            t = Type(td.name, td.kind, record_symbol(td.name), cls, td.wire or td.name.split(".")[-1],
                     td.since, lib, td.where)
            types[td.name] = t
            decls.append((t, td))
        return decls

    imported = []
    for sf in imported_files:
        declare_versions(sf)
        imported += declare_types(sf, sf.namespace)
    own = []
    own_versions = []
    requires = []
    for sf in own_files:
        declare_versions(sf)
        own_versions += [versions[v.name] for v in sf.versions]
        requires += [r for r in sf.requires if r not in requires]
        own += declare_types(sf, own_ns)

    for v in versions.values():
        for p in v.parents:
            if p not in versions:
                _error(v.where, f"unknown parent version '{p}' of '{v.name}'")

    def check_version(where, name):
        if name not in versions:
            _error(where, f"unknown version '{name}'")
        return name

    wires = {t.wire: t.name for t in types.values() if t.lib == "runtime"}
    symbols, classes = {}, {}
    for t, td in imported + own:
        for seen, key, what in ((symbols, t.symbol, "record symbol"), (classes, t.cls, "class")):
            if key in seen:
                _error(td.where, f"{what} '{key}' of '{t.name}' is already used by '{seen[key]}'")
            seen[key] = t.name
        check_version(td.where, td.since)
        if t.wire in wires:
            _error(td.where, f"duplicate wire name '{t.wire}' (also {wires[t.wire]})")
        wires[t.wire] = td.name

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
        if m.type.is_array and t.kind == "primitive" and t.name not in ARRAY_ITEM_CPP:
            _error(m.where, f"arrays of '{t.name}' are not supported; use string, int, long or a type")
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
            t.base = base
            unique([(p.where, p.name) for p in td.properties], "property", t.name)
            t.properties = [member(p, t.version, f"property '{p.name}' of '{t.name}'") for p in td.properties]
        elif t.kind == "enum":
            unique(td.tags, "tag", t.name)
            t.tags = [tag for _, tag in td.tags]
            if not t.tags:
                _error(td.where, f"enumeration '{t.name}' has no tags")
        else:
            t.base = types["kettar.ManagedObject"]
            unique([(p.where, p.name) for p in td.properties], "property", t.name)
            t.properties = [member(p, t.version, f"property '{p.name}' of '{t.name}'", FLAG_MANAGED_PROPERTY,
                                   "System.Read") for p in td.properties]
            unique([(m.where, m.name) for m in td.methods], "method", t.name)
            unique([(m.where, m.wire) for m in td.methods], "method wire name", t.name)
            for m in td.methods:
                mv = check_version(m.where, m.since) if m.since else t.version
                unique([(p.where, p.name) for p in m.params], "parameter", f"{t.name}.{m.name}")
                params = [member(p, mv, f"parameter '{p.name}' of '{m.name}'") for p in m.params]
                result, result_version = None, RUNTIME_VERSION
                if m.result is not None:
                    result = member(m.result, RUNTIME_VERSION, f"result of '{m.name}'")
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
            is_fault = "kettar.MethodFault" in seen
            if is_fault != (t.kind == "fault"):
                _error(td.where, f"'{t.name}' is declared {t.kind} but its base chain "
                       + ("reaches" if is_fault else "does not reach") + " kettar.MethodFault")

    own_types = [t for t, _ in own]
    data_order, walks = _data_record_order([t for t in own_types if t.kind in ("data", "fault")])
    enum_order = _ordered_with_overrides(sorted((t for t in own_types if t.kind == "enum"),
                                                key=lambda t: t.name.encode()), registration_overrides, types)
    managed_order = sorted((t for t in own_types if t.kind == "managed"), key=lambda t: t.name.encode())
    lib = Library(own_ns, requires, own_versions, data_order, enum_order, managed_order, types, own_types,
                  versions, own_files, walks)
    for slot, t in enumerate(lib.type_list):
        t.slot = slot
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
            if t.base.name not in own or t.base.name in emitted:
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
