"""Reads schema files into plain declarations, keeping file and line for errors."""
import shlex
from dataclasses import dataclass, field


class SchemaError(Exception):
    def __init__(self, where, message):
        super().__init__(f"{where}: error: {message}")


@dataclass
class Where:
    file: str
    line: int

    def __str__(self):
        return f"{self.file}:{self.line}"


@dataclass
class TypeRef:
    name: str
    is_ref: bool = False
    is_array: bool = False


@dataclass
class Member:
    """A property, parameter or result."""
    where: Where
    name: str
    type: TypeRef
    optional: bool = False
    secret: bool = False
    requires: str | None = None
    since: str | None = None


@dataclass
class Method:
    where: Where
    name: str
    wire: str
    privilege: str = ""
    since: str | None = None
    task: bool = False
    aux: bool = False
    params: list = field(default_factory=list)
    result: Member | None = None
    faults: list = field(default_factory=list)  # (Where, name)


@dataclass
class TypeDecl:
    where: Where
    kind: str  # data, fault, enum, managed
    name: str
    wire: str | None = None
    cls: str | None = None
    base: str | None = None
    since: str | None = None
    record: str | None = None  # the runtime's own types: the record's C++ name
    flags: set = field(default_factory=set)  # primitives: object, array
    properties: list = field(default_factory=list)
    tags: list = field(default_factory=list)  # (Where, tag)
    methods: list = field(default_factory=list)


@dataclass
class VersionDecl:
    where: Where
    name: str
    label: str
    parents: list


@dataclass
class SchemaFile:
    path: str
    namespace: str
    runtime: bool = False  # the runtime's own namespace: its records are written by hand
    requires: list = field(default_factory=list)
    types: list = field(default_factory=list)
    versions: list = field(default_factory=list)
    register_before: list = field(default_factory=list)  # (Where, first, second)


TYPE_KINDS = ("data", "fault", "enum", "managed")
RUNTIME_KINDS = TYPE_KINDS + ("primitive",)


def _attrs(where, tokens, keys, flags):
    """Parses `key value` pairs and bare flags; rejects anything else."""
    values, seen = {}, set()
    i = 0
    while i < len(tokens):
        tok = tokens[i]
        if tok in keys:
            if i + 1 >= len(tokens):
                raise SchemaError(where, f"'{tok}' needs a value")
            if tok in values:
                raise SchemaError(where, f"'{tok}' given twice")
            values[tok] = tokens[i + 1]
            i += 2
        elif tok in flags:
            if tok in seen:
                raise SchemaError(where, f"flag '{tok}' given twice")
            seen.add(tok)
            i += 1
        else:
            raise SchemaError(where, f"unknown flag or attribute '{tok}'")
    return values, seen


def _type_ref(where, tokens):
    """Takes `[ref] NAME[[]]` off the front of tokens."""
    is_ref = bool(tokens) and tokens[0] == "ref"
    if is_ref:
        tokens = tokens[1:]
    if not tokens:
        raise SchemaError(where, "missing type")
    name = tokens[0]
    is_array = name.endswith("[]")
    if is_array:
        name = name[:-2]
    if not name or "[" in name or "]" in name:
        raise SchemaError(where, f"bad type '{tokens[0]}'")
    return TypeRef(name, is_ref, is_array), tokens[1:]


def _member(where, tokens, allowed):
    if len(tokens) < 2:
        raise SchemaError(where, "a member needs a name and a type")
    name = tokens[0]
    tref, rest = _type_ref(where, tokens[1:])
    values, seen = _attrs(where, rest, {"since", "requires"} & allowed, {"optional", "secret"} & allowed)
    return Member(where, name, tref, "optional" in seen, "secret" in seen,
                  values.get("requires"), values.get("since"))


def parse_file(path, text=None):
    if text is None:
        with open(path, encoding="utf-8") as f:
            text = f.read()
    schema = None
    current = None
    method = None
    for lineno, raw in enumerate(text.splitlines(), 1):
        where = Where(path, lineno)
        if not raw.strip() or raw.lstrip().startswith("#"):
            continue
        if "\t" in raw:
            raise SchemaError(where, "tabs are not allowed; indent with blanks")
        indent = len(raw) - len(raw.lstrip(" "))
        try:
            tokens = shlex.split(raw, comments=False, posix=True)
        except ValueError as e:
            raise SchemaError(where, str(e)) from None
        head = tokens[0]
        if schema is None:
            if indent or head != "namespace" or len(tokens) < 2:
                raise SchemaError(where, "the first line must be 'namespace NAME'")
            schema = SchemaFile(path, tokens[1])
            rest = tokens[2:]
            if rest[:1] == ["runtime"]:
                schema.runtime, rest = True, rest[1:]
            if rest:
                if rest[0] != "requires" or len(rest) < 2:
                    raise SchemaError(where, "expected 'requires NAMESPACE...'")
                schema.requires = rest[1:]
            continue
        if indent == 0:
            method = None
            if head == "version":
                if len(tokens) < 2:
                    raise SchemaError(where, "a version needs a name")
                rest = tokens[2:]
                label, parents = None, []
                if rest[:1] == ["label"] and len(rest) >= 2:
                    label, rest = rest[1], rest[2:]
                if rest[:1] == ["parents"]:
                    parents, rest = rest[1:], []
                if label is None or rest:
                    raise SchemaError(where, "expected 'version NAME label \"L\" [parents P...]'")
                schema.versions.append(VersionDecl(where, tokens[1], label, parents))
                current = None
                continue
            if head == "register":
                if len(tokens) != 4 or tokens[2] != "before":
                    raise SchemaError(where, "expected 'register TYPE before TYPE'")
                schema.register_before.append((where, tokens[1], tokens[3]))
                current = None
                continue
            if head not in (RUNTIME_KINDS if schema.runtime else TYPE_KINDS):
                raise SchemaError(where, f"unknown declaration '{head}'")
            if len(tokens) < 2:
                raise SchemaError(where, f"'{head}' needs a type name")
            keys = {"wire", "class", "since"} | ({"base"} if head in ("data", "fault") else set()) \
                | ({"record"} if schema.runtime else set())
            values, flags = _attrs(where, tokens[2:], keys, {"object", "array"} if head == "primitive" else set())
            if "since" not in values:
                raise SchemaError(where, f"type '{tokens[1]}' has no 'since' version")
            current = TypeDecl(where, head, tokens[1], values.get("wire"), values.get("class"),
                               values.get("base"), values["since"], values.get("record"), flags)
            schema.types.append(current)
        elif indent == 2:
            method = None
            if current is None:
                raise SchemaError(where, "member outside a type declaration")
            if current.kind == "primitive":
                raise SchemaError(where, "a primitive has no members")
            if current.kind in ("data", "fault"):
                current.properties.append(_member(where, tokens, {"since", "optional", "secret"}))
            elif current.kind == "enum":
                if len(tokens) != 1:
                    raise SchemaError(where, "an enumeration member is one tag per line")
                current.tags.append((where, head))
            elif head == "property":
                current.properties.append(_member(where, tokens[1:], {"since"}))
            elif head == "method":
                if len(tokens) < 2:
                    raise SchemaError(where, "a method needs a name")
                values, seen = _attrs(where, tokens[2:], {"wire", "privilege", "since"}, {"task", "aux"})
                if "wire" not in values:
                    raise SchemaError(where, f"method '{tokens[1]}' has no wire name")
                method = Method(where, tokens[1], values["wire"], values.get("privilege", ""),
                                values.get("since"), "task" in seen, "aux" in seen)
                current.methods.append(method)
            else:
                raise SchemaError(where, f"expected 'property' or 'method', got '{head}'")
        elif indent == 4:
            if method is None:
                raise SchemaError(where, "parameter, result or faults outside a method")
            if head == "param":
                method.params.append(_member(where, tokens[1:], {"since", "optional", "secret", "requires"}))
            elif head == "result":
                if method.result is not None:
                    raise SchemaError(where, "a method has one result")
                tref, rest = _type_ref(where, tokens[1:])
                _, seen = _attrs(where, rest, set(), {"optional"})
                method.result = Member(where, "result", tref, "optional" in seen)
            elif head == "faults":
                method.faults.extend((where, t) for t in tokens[1:])
            else:
                raise SchemaError(where, f"expected 'param', 'result' or 'faults', got '{head}'")
        else:
            raise SchemaError(where, f"unexpected indentation of {indent} blanks")
    if schema is None:
        raise SchemaError(Where(path, 1), "empty schema file")
    return schema
