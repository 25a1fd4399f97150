"""Prints the remote service interfaces: for each managed type its interface
class, client stub and server base (in the class header), and in the area
source their definitions and the type's dispatch and stub factory. Each
member is one line on top of the runtime's call templates (zamli/calls/call.h)."""
from .emit_classes import CPP_KEYWORDS, leaf_of
from .model import FLAG_ARRAY, FLAG_OPTIONAL, PRIMITIVE_CPP, field_cpp

VALUE_PARAM = {"string": "const std::string&", "boolean": "bool", "int": "int", "long": "long",
               "float": "float", "dateTime": "const Haldun::System::DateTime&",
               "binary": "const std::vector<unsigned char>&"}
VALUE_CPP = PRIMITIVE_CPP


def value_class(p):
    """The runtime class a reference-kind parameter or result is held as:
    what its class member would hold a reference to."""
    return field_cpp(p)[len("Haldun::Ref<"):-1]


def is_value(p):
    return p.type.kind == "primitive" and p.type.name in VALUE_CPP and not (p.flags & FLAG_ARRAY)


def param_cpp(p):
    if is_value(p):
        if p.flags & FLAG_OPTIONAL:
            return f"const Haldun::Optional<{VALUE_CPP[p.type.name]}>&"
        return VALUE_PARAM[p.type.name]
    return value_class(p) + "*"


def param_name(p):
    return p.name + "_" if p.name in CPP_KEYWORDS else p.name


def capitalized(name):
    return name[:1].upper() + name[1:]


class Member:
    """One callable member: a method, or the getter of a property."""

    def __init__(self, index, name, params, result, wire_name):
        self.index = index
        self.name = name  # the C++ operation name
        self.params = params
        self.result = result  # a Prop, or None
        self.wire_name = wire_name
        names = {param_name(p) for p in params}
        self.out_name = "result" if "result" not in names else "result_"

    @property
    def by_value(self):
        return self.result is not None and is_value(self.result)

    @property
    def return_cpp(self):
        if self.result is None or not self.by_value:
            return "void"
        v = VALUE_CPP[self.result.type.name]
        return f"Haldun::Optional<{v}>" if self.result.flags & FLAG_OPTIONAL else v

    def out_cpp(self):
        return f"Haldun::Ref<{value_class(self.result)}>&"

    def params_decl(self, with_out=True):
        parts = [f"{param_cpp(p)} {param_name(p)}" for p in self.params]
        if with_out and self.result is not None and not self.by_value:
            parts.append(f"{self.out_cpp()} {self.out_name}")
        return ", ".join(parts)

    def async_decl(self):
        parts = [f"{param_cpp(p)} {param_name(p)}" for p in self.params]
        parts += ["const Zamli::CompletionCallback& callback", "Haldun::Ref<Haldun::System::ScheduledItem>& item"]
        return ", ".join(parts)

    def args(self):
        return "".join(f", {param_name(p)}" for p in self.params)


def members(t):
    """Members in the interface's declaration order (getters, then methods),
    each with its member index (methods first, then getters)."""
    m = len(t.methods)
    getters = [Member(m + i, "Get" + capitalized(p.name), [], p, None) for i, p in enumerate(t.properties)]
    methods = [Member(k, capitalized(meth.name), meth.params, meth.result, meth.name)
               for k, meth in enumerate(t.methods)]
    return getters + methods


def method_constant(meth):
    return "METHOD_" + meth.name.upper()


class ManagedEmitter:
    def __init__(self, lib, not_implemented):
        self.lib = lib
        self.not_implemented = not_implemented  # the fault a server answers unimplemented members with

    # -- header ----------------------------------------------------------------
    def interface_body(self, t):
        out = [f"  static ZAMLI_EXPORT const char {method_constant(m)}[];" for m in t.methods]
        out.append("  Zamli::Type* _GetType() const override;")
        for mem in members(t):
            out.append(f"  virtual {mem.return_cpp} {mem.name}({mem.params_decl()}) = 0;")
        return out

    def extra_classes(self, t, name):
        """The stub and the server base, after the interface class."""
        leaf = leaf_of(t.cls)
        stub, server = leaf + "Stub", leaf + "Server"
        out = ["", f"// The client side of {t.name}: every call goes through the stub's adapter.",
               f"class ZAMLI_EXPORT {stub} : public virtual {name}, public Zamli::StubImpl {{", " public:",
               f"  {stub}(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, Zamli::RequestContext* context);",
               f"  ~{stub}() override;"]
        for mem in members(t):
            out.append(f"  {mem.return_cpp} {mem.name}({mem.params_decl()}) override;")
        out.append("  // Asynchronous: the callback gets the raw result.")
        for mem in members(t):
            out.append(f"  void {mem.name}({mem.async_decl()});")
        out += ["};", "",
                f"// The server side of {t.name}: every member it does not override answers with",
                "// the not-implemented fault (through _Unimplemented).",
                f"class ZAMLI_EXPORT {server} : public virtual {name}, public Zamli::ServerObject {{", " public:",
                f"  explicit {server}(const std::string& id);",
                f"  ~{server}() override;"]
        for mem in members(t):
            out.append(f"  {mem.return_cpp} {mem.name}({mem.params_decl()}) override;")
        out += ["  void _Unimplemented(int memberIndex, std::vector<Haldun::Ref<Zamli::Any>>& args, "
                "Haldun::Ref<Zamli::Any>& result) override;", "};"]
        return out

    # -- source ----------------------------------------------------------------
    def definitions(self, t, tables_ns, objects):
        cls, leaf = t.cls, leaf_of(t.cls)
        stub, server = cls + "Stub", cls + "Server"
        out = [f"// {t.name}"]
        out += [f'const char {cls}::{method_constant(m)}[] = "{t.name}.{m.name}";' for m in t.methods]
        out.append(f"Zamli::Type* {cls}::_GetType() const {{ return Zamli::GetMoType<{cls}>(); }}")
        out += [f"{stub}::{leaf}Stub(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, Zamli::RequestContext* context)",
                "    : Zamli::StubImpl(ref, adapter, context) {}",
                f"{stub}::~{leaf}Stub() = default;"]
        for mem in members(t):
            mo = f"{objects}[{mem.index}]"
            if mem.result is None:
                body = f"Zamli::Call::InvokeVoid(*this, {mo}{mem.args()});"
            elif mem.by_value:
                body = f"return Zamli::Call::Invoke<{mem.return_cpp}>(*this, {mo}{mem.args()});"
            else:
                body = f"Zamli::Call::InvokeOut(*this, {mo}, {mem.out_name}{mem.args()});"
            out.append(f"{mem.return_cpp} {stub}::{mem.name}({mem.params_decl()}) {{ {body} }}")
            out.append(f"void {stub}::{mem.name}({mem.async_decl()}) {{ "
                       f"Zamli::Call::Start(*this, {mo}, callback, item{mem.args()}); }}")
        out += [f"{server}::{leaf}Server(const std::string& id)",
                f'    : Zamli::ServerObject(Haldun::Ref<Zamli::MoRef>(new Zamli::MoRef("{t.name}", id))) {{}}',
                f"{server}::~{leaf}Server() = default;"]
        for mem in members(t):
            if mem.result is not None and not mem.by_value:
                body = f"Zamli::Call::UnimplementedOut(*this, {mem.index}, {mem.out_name}{mem.args()});"
            else:
                body = f"return Zamli::Call::Unimplemented<{mem.return_cpp}>(*this, {mem.index}{mem.args()});"
            out.append(f"{mem.return_cpp} {server}::{mem.name}({mem.params_decl()}) {{ {body} }}")
        out += [f"void {server}::_Unimplemented(int, std::vector<Haldun::Ref<Zamli::Any>>&, Haldun::Ref<Zamli::Any>&) {{",
                f"  Zamli::Call::RaiseNotImplemented<{self.not_implemented.cls}>();", "}"]
        n = len(t.methods) + len(t.properties)
        by_index = sorted(members(t), key=lambda mem: mem.index)
        out += [f"namespace {tables_ns} {{",
                f"void Dispatch{self.ident(t)}(Zamli::ManagedObject* obj, int member, "
                "std::vector<Haldun::Ref<Zamli::Any>>& args, Haldun::Ref<Zamli::Any>& result) {",
                "  result.Reset();",
                f"  auto* self = Zamli::Call::Target<{cls}>(obj);",
                "  switch (member) {"]
        out += [f"    case {mem.index}: return Zamli::Call::Serve(self, &{cls}::{mem.name}, args, result);"
                for mem in by_index]
        out += ["  }", f'  Zamli::Call::NoSuchMember("{t.name}", member, {n});', "}",
                f"Zamli::StubImpl* CreateStub{self.ident(t)}(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, "
                "Zamli::RequestContext* context) {",
                f"  return new {stub}(ref, adapter, context);", "}",
                f"}}  // namespace {tables_ns}", ""]
        return out

    @staticmethod
    def ident(t):
        return t.symbol[1:-len("TypeInfo")]

    def includes(self, t):
        """Classes named by the type's parameters and results, which the call
        templates convert to and from."""
        need = [self.not_implemented]
        for mem in members(t):
            for p in mem.params + ([mem.result] if mem.result else []):
                if p.type.kind in ("data", "fault") and p.type.lib != "runtime":
                    need.append(p.type)
        return need
