"""Prints data object and fault classes: one header per class with its fields,
constructors and array getters, and in the area's source the field table and
the lines that instantiate the runtime's templates for it."""
from .class_frame import class_header
from .printer import file, render

DATA_MEMBERS = """\
  $leaf();
  $leaf(const $leaf& other);
  ~$leaf() override;
  Zamli::Type* _GetType() const override;
  Zamli::Any* _Clone() const override;
  bool _IsEqual(const Zamli::Any* other, bool flag) const override;"""
DIFF_MEMBER = """\
  void _DiffProperties(const Zamli::Any* other, const std::string& path, Zamli::PropertyDiffSet& diffs) const override;"""
FAULT_MEMBERS = """\
  [[noreturn]] void ThrowInternal() const override;
  Zamli::MethodFault::Exception* CreateException() const override;"""
# Mirrors the fault tree: a handler for a base fault's exception catches every fault below it.
FAULT_EXCEPTION = """
class ZAMLI_EXPORT $name::Exception
    : public Haldun::ThrowableImpl<$name::Exception, $base::Exception> {
 public:
  using ThrowableImpl::ThrowableImpl;
  $cls* GetFault() const { return static_cast<$cls*>(MethodFault::Exception::GetFault()); }
};"""
ACCESSORS = """\
template <> ZAMLI_EXPORT DataObjectType* GetDoType<::$cls>();
extern template class ZAMLI_EXPORT DataArray<::$cls>;"""


def header(t, lib):
    members = ["  class Exception;"] if t.kind == "fault" else []
    # Required numbers and booleans start at zero rather than undefined.
    members += [render("  $cpp $name$init;", cpp=p.field_cpp, name=p.cpp_name, init="{}" if p.zero_init else "")
                for p in t.properties]
    members += ([""] if t.properties else []) + [render(DATA_MEMBERS, leaf=t.leaf)]
    if t.kind == "data":
        members.append(DIFF_MEMBER)
    members.append("  Zamli::DataObjectType* _GetDataType() const override;")
    if t.kind == "fault":
        members.append(FAULT_MEMBERS)
    if t.array_properties:
        members.append("  // Array properties: the array, created empty on first use.")
        members += [render("  $array* $getter();", array=p.held_class, getter=p.getter) for p in t.array_properties]
    after = [render(FAULT_EXCEPTION, name=t.decl_name, base=t.base.cls, cls=t.cls)] if t.kind == "fault" else []
    return file(class_header(t, lib, "zamli/codegen/data_class_base.h", t.base.cls, members, after,
                             [render(ACCESSORS, cls=t.cls)]))


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
    out += ["};", render("ZAMLI_DEFINE_DATA_OBJECT($cls, $leaf)", cls=t.cls, leaf=t.leaf)]
    out.append(render("ZAMLI_DEFINE_DATA_DIFF($cls)" if t.kind == "data" else "ZAMLI_DEFINE_FAULT($cls)", cls=t.cls))
    out += [render("$array* $cls::$getter() { return Zamli::LazyArray($name); }", array=p.held_class, cls=t.cls,
                   getter=p.getter, name=p.cpp_name) for p in t.array_properties]
    return out + [render("template struct Zamli::DataFunctions<$cls>;", cls=t.cls),
                  render("template class Zamli::DataArray<$cls>;", cls=t.cls), ""]
