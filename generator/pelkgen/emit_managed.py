"""Prints the remote service interfaces. Each managed type gets three headers,
so that a client includes only what it calls through: the interface
(`<Type>.h`), its client stub (`<Type>Stub.h`) and its server base
(`<Type>Server.h`). Stub and server members are inline, one line each on
top of the runtime's call templates (zamli/calls/stub_call.h,
server_call.h), so the library exports none of them; their headers include
the classes the members pass. The area's source gets the interface's
definitions, the type's dispatch function and its stub factory."""
from .class_frame import class_header, in_scope
from .printer import banner, file, render

STUB = """\
// The client side of $name: every call goes through the stub's adapter.
class ZAMLI_EXPORT $stub : public virtual $iface, public Zamli::StubImpl {
 public:
  $stub(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, Zamli::RequestContext* context)
      : Zamli::StubImpl(ref, adapter, context) {}
$members
  // Asynchronous: the callback gets the raw result.
$asynchronous
};"""
SERVER = """\
// The server side of $name: every member it does not override answers with
// the not-implemented fault (through _Unimplemented).
class ZAMLI_EXPORT $server : public virtual $iface, public Zamli::ServerObject {
 public:
  explicit $server(const std::string& id)
      : Zamli::ServerObject(Haldun::Ref<Zamli::MoRef>(new Zamli::MoRef("$name", id))) {}
$members
  void _Unimplemented(int memberIndex, std::vector<Haldun::Ref<Zamli::Any>>&, Haldun::Ref<Zamli::Any>&) override {
    Zamli::Call::RaiseNotImplemented<$fault>(Zamli::GetMoType<$cls>(), memberIndex);
  }
};"""
DISPATCH = """\
namespace $ns {
void $dispatch(Zamli::ManagedObject* obj, int member, std::vector<Haldun::Ref<Zamli::Any>>& args, \
Haldun::Ref<Zamli::Any>& result) {
  result.Reset();
  auto* self = Zamli::Call::Target<$cls>(obj);
  switch (member) {
$cases
  }
  Zamli::Call::NoSuchMember("$name", member, $count);
}
Zamli::StubImpl* $create(Zamli::MoRef* ref, Zamli::StubAdapter* adapter, Zamli::RequestContext* context) {
  return new $stub(ref, adapter, context);
}
}  // namespace $ns
"""


def _signature(mem, prefix="", suffix=";", owner=""):
    return render("$prefix$ret $owner$name($params)$suffix", prefix=prefix, ret=mem.return_cpp, owner=owner,
                  name=mem.name, params=mem.params_decl, suffix=suffix)


def header(t, lib):
    members = [render('  static constexpr char $c[] = "$name.$method";', c=m.constant, name=t.name, method=m.name)
               for m in t.methods]
    members.append("  Zamli::Type* _GetType() const override;")
    members.append("  // A reference to the object `id` of this type.")
    members.append("  static Haldun::Ref<Zamli::MoRef> RefTo(std::string id);")
    members += [_signature(mem, "  virtual ", " = 0;") for mem in t.members]
    accessors = [render("template <> inline ManagedObjectType* GetMoType<::$cls>() { return $registered; }",
                        cls=t.cls, registered=t.registered)]
    return file(class_header(t, lib, "zamli/codegen/managed_class_base.h", "virtual Zamli::ManagedObject",
                             members, (), accessors))


def _side_header(t, includes, cls, before=()):
    """The members' parameter and result classes are complete: the inline
    members convert them to and from runtime values."""
    passed = {p.type for mem in t.members for p in mem.params + ([mem.result] if mem.result else [])}
    includes = sorted(set(includes) | {h.header for h in passed if h.is_data_like and h.lib != "runtime"})
    return file(banner(t.source), "#pragma once", render("#include <$h>", h=t.header),
                [render("#include <$h>", h=h) for h in includes], "", list(before), in_scope(t, cls))


def stub_header(t, lib):
    members, async_members = [], []
    for mem in t.members:
        slot = render("$objects[$i]", objects=t.method_objects, i=mem.index)
        if mem.result is None:
            body = render("Zamli::Call::InvokeVoid(*this, $slot$args);", slot=slot, args=mem.args)
        elif mem.by_value:
            body = render("return Zamli::Call::Invoke<$ret>(*this, $slot$args);", ret=mem.return_cpp, slot=slot,
                          args=mem.args)
        else:
            body = render("Zamli::Call::InvokeOut(*this, $slot, $out$args);", slot=slot, out=mem.out_name,
                          args=mem.args)
        members.append(_signature(mem, "  ", render(" override { $body }", body=body)))
        async_members.append(render("  void $name($params) { Zamli::Call::Start(*this, $slot, callback, item$args); }",
                                    name=mem.name, params=mem.async_decl, slot=slot, args=mem.args))
    stub = render(STUB, name=t.name, stub=t.stub_leaf, iface=t.decl_name, members=members,
                  asynchronous=async_members)
    objects = render('extern "C" ZAMLI_EXPORT Zamli::ManagedMethod* $objects[];', objects=t.method_objects)
    return _side_header(t, ["zamli/calls/stub_call.h"], [stub], [objects, ""])


def server_header(t, lib):
    members = []
    for mem in t.members:
        if mem.has_out:
            body = render("Zamli::Call::UnimplementedOut(*this, $i, $out$args);", i=mem.index, out=mem.out_name,
                          args=mem.args)
        else:
            body = render("return Zamli::Call::Unimplemented<$ret>(*this, $i$args);", ret=mem.return_cpp,
                          i=mem.index, args=mem.args)
        members.append(_signature(mem, "  ", render(" override { $body }", body=body)))
    server = render(SERVER, name=t.name, server=t.server_leaf, iface=t.decl_name, members=members,
                    fault=lib.not_implemented.cls, cls=t.cls)
    return _side_header(t, ["zamli/calls/server_call.h", lib.not_implemented.header], [server])


def definitions(t, lib):
    cls, stub = t.cls, t.stub_class
    out = [render("// $name", name=t.name)]
    out.append(render("Zamli::Type* $cls::_GetType() const { return Zamli::GetMoType<$cls>(); }", cls=cls))
    out.append(render("Haldun::Ref<Zamli::MoRef> $cls::RefTo(std::string id) { return Zamli::MakeRef<$cls>(std::move(id)); }",
                      cls=cls))
    cases = [render("    case $i: return Zamli::Call::Serve(self, &$cls::$name, args, result);", i=mem.index, cls=cls,
                    name=mem.name) for mem in t.members_by_index]
    out.append(render(DISPATCH, ns=lib.tables_ns, dispatch=t.dispatch, cls=cls, cases=cases, name=t.name,
                      count=len(t.members), create=t.create_stub, stub=stub))
    return out
