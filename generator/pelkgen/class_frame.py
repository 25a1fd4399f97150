"""What every generated class header has around its class: the banner and
includes, the declarations of the types nested in it, its namespace, and the
declarations of its type accessors."""
from . import emit_enums
from .printer import banner, render


def class_header(t, lib, base_include, base, members, after=(), accessors=()):
    """`members` are the class's lines after its nested declarations; `after`
    follows the class in its scope; `accessors` go into namespace Zamli."""
    body = [render("// $name, wire name $wire, since $version.", name=t.name, wire=t.wire, version=t.version),
            render("class ZAMLI_EXPORT $name : public $base {", name=t.decl_name, base=base), " public:"]
    for n in t.nested:
        body += emit_enums.class_member_declarations(n)
    body += members + ["};"] + list(after)
    out = [banner(t.source), "#pragma once", render("#include <$ns/fwd.h>", ns=lib.namespace),
           render("#include <$h>", h=base_include)]
    out += [render("#include <$h>", h=h) for h in t.header_includes] + [""]
    out += in_scope(t, body) + ["", "namespace Zamli {"] + list(accessors)
    out += [emit_enums.accessor_declaration(n) for n in t.nested if n.kind == "enum"]
    return out + ["}  // namespace Zamli"]


def in_scope(t, body):
    """A nested class is declared by its qualified name; any other in its namespace."""
    if t.enclosing is not None or not t.scope:
        return body
    return [render("namespace $scope {", scope=t.scope), ""] + body + ["", render("}  // namespace $scope", scope=t.scope)]
