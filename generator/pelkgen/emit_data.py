"""Prints data object and fault classes: one header per class with its fields,
constructors and array getters, and in the area's source the field table and
the lines that instantiate the runtime's templates for it. What needs only
exported accessors is inline in the header; out of line, and so exported, are
the copy and the comparison, which walk the field table, and the default
constructor and destructor of a class whose header only declares the classes
its fields refer to."""
from .class_frame import class_header
from .printer import file, render

DATA_MEMBERS = """\
  $leaf()$made;
  $leaf(const $leaf& other);
  ~$leaf() override$lifetime;
  inline Zamli::Type* _GetType() const override;
  Zamli::Any* _Clone() const override { return Zamli::CopyValue(sizeof($leaf), &Zamli::CopyInto<$leaf>, *this); }
  bool _IsEqual(const Zamli::Any* other, bool flag) const override;
  inline Zamli::DataObjectType* _GetDataType() const override;"""
FAULT_MEMBERS = """\
  [[noreturn]] void ThrowInternal() const override;
  Zamli::MethodFault::Exception* CreateException() const override;"""
# Mirrors the fault tree: a handler for a base fault's exception catches every fault below it.
FAULT_EXCEPTION = """
class $name::Exception
    : public Haldun::ThrowableImpl<$name::Exception, $base::Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
  $cls* GetFault() const { return static_cast<$cls*>(MethodFault::Exception::GetFault()); }
};"""
ACCESSORS = """\
template <> inline DataObjectType* GetDoType<::$cls>() { return $registered; }"""
TYPE_MEMBERS = """
inline Zamli::Type* $cls::_GetType() const { return Zamli::GetDoType<$cls>(); }
inline Zamli::DataObjectType* $cls::_GetDataType() const { return Zamli::GetDoType<$cls>(); }"""


def _inline_lifetime(t):
    """Construction and destruction can be inline when every field's class is
    complete in the header: no field holds a data object by reference (arrays
    are complete without their items)."""
    return all(p.is_array or p.type.kind not in ("data", "fault") for p in t.properties)


def _made(t):
    """A data class's construction out of line still cannot throw (its fields
    start empty), and says so: its factory then needs no unwind table. A
    fault's goes through its base's, which makes no such promise."""
    if _inline_lifetime(t):
        return " = default"
    return " noexcept" if t.kind == "data" else ""


def _lazy(p):
    """Data arrays are made through their item's record, which needs only its declaration."""
    return "LazyDataArray" if p.held_class.startswith("Zamli::DataArray<") else "LazyArray"


def header(t, lib):
    members = ["  class Exception;"] if t.kind == "fault" else []
    # Required numbers and booleans start at zero rather than undefined.
    members += [render("  $cpp $name$init;", cpp=p.field_cpp, name=p.cpp_name, init="{}" if p.zero_init else "")
                for p in t.properties]
    members += ([""] if t.properties else []) + [render(DATA_MEMBERS, leaf=t.leaf, made=_made(t),
                                                                  lifetime=" = default" if _inline_lifetime(t) else "")]
    if t.kind == "fault":
        members.append(FAULT_MEMBERS)
    if t.array_properties:
        members.append("  // Array properties: the array, created empty on first use.")
        members += [render("  $array* $getter() { return Zamli::$lazy($name); }", array=p.held_class, getter=p.getter,
                           lazy=_lazy(p), name=p.cpp_name) for p in t.array_properties]
    after = [render(FAULT_EXCEPTION, name=t.decl_name, base=t.base.cls, cls=t.cls)] if t.kind == "fault" else []
    return file(class_header(t, lib, "zamli/codegen/data_class_base.h", t.base.cls, members, after,
                             [render(ACCESSORS, cls=t.cls, registered=t.registered)]), render(TYPE_MEMBERS, cls=t.cls))


def definitions(t, lib):
    out = ["template <>", render("struct Zamli::DataTraits<$cls> {", cls=t.cls),
           render("  using Base = $base;", base=t.base.cls)]
    table = render("$ns::$props", ns=lib.tables_ns, props=t.properties_table)
    if t.properties:
        out.append("  static constexpr FieldEntry kFields[] = {")
        out += [render("      ZAMLI_FIELD($cls, $name),", cls=t.cls, name=p.cpp_name) for p in t.properties]
        out.append("  };")
        out.append(render("  static constexpr FieldTable kTable{kFields, $n, $table};", n=len(t.properties), table=table))
    else:
        out.append(render("  static constexpr FieldTable kTable{nullptr, 0, $table};", table=table))
    out += ["};", render("const Zamli::FieldTable* const $ns::$fields = &Zamli::DataTraits<$cls>::kTable;",
                         ns=lib.tables_ns, fields=t.field_table, cls=t.cls),
            render("ZAMLI_DEFINE_DATA_CLASS($cls, $leaf)", cls=t.cls, leaf=t.leaf)]
    if not _inline_lifetime(t):
        lifetime = "ZAMLI_DEFINE_DATA_LIFETIME" if t.kind == "fault" else "ZAMLI_DEFINE_NOTHROW_DATA_LIFETIME"
        out.append(render("$lifetime($cls, $leaf)", lifetime=lifetime, cls=t.cls, leaf=t.leaf))
    if t.kind == "fault":
        out.append(render("ZAMLI_DEFINE_FAULT($cls)", cls=t.cls))
    return out + [render("template struct Zamli::DataFunctions<$cls>;", cls=t.cls), ""]
