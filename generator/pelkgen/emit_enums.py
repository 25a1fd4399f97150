"""Prints enumerations: their declarations (at namespace scope in fwd.h, or
inside the class they are nested in), their tag constants (constexpr, so that
they serve at compile time) and tag tables. The enumeration class itself and
its functions are the runtime's templates."""
from .printer import c_string, render


def namespace_declarations(lib):
    """Tag constants of the enumerations that sit directly in a namespace."""
    out = []
    for t in lib.enum_order:
        if t.enclosing is not None:
            continue
        decls = [render("ZAMLI_EXPORT inline constexpr char $c[] = $tag;", c=c, tag=c_string(tag))
                 for tag, c in zip(t.tags, t.tag_constants)]
        out += ([render("namespace $scope {", scope=t.scope)] + decls + ["}"]) if t.scope else decls
    return out


def accessor_declaration(t):
    return render("template <> inline EnumType* GetEnumType<::$cls>() { return $registered; }", cls=t.cls,
                  registered=t.registered)


def class_member_declarations(nested):
    """An enumeration or class nested in another class, declared inside it."""
    if nested.kind != "enum":
        return [render("  class $leaf;", leaf=nested.leaf)]
    return [render("  enum class $leaf : int;", leaf=nested.leaf)] + [
        render("  static constexpr char $c[] = $tag;", c=c, tag=c_string(tag))
        for tag, c in zip(nested.tags, nested.tag_constants)]


def tags_table(t):
    # The tags' text rather than their constants: taking a constant's address
    # would emit and export it from the library.
    tags = ", ".join(c_string(tag) for tag in t.tags)
    return [render("const char* const $table[] = {$tags, nullptr};", table=t.tags_table, tags=tags)]


def definitions(t):
    return [render("ZAMLI_DEFINE_ENUMERATION($cls)", cls=t.cls)]
