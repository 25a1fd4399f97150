"""Prints the check of the runtime's own records against the schema that
describes them (kettar.schema): a program, run when the runtime is built,
that finds each declared type, version and property in the registry and
reports every difference in kind, names, version, class, base and properties."""
from .printer import banner, c_string, file, render

HEAD = """\
// Holds the runtime's hand-written records of its own namespace against the schema.
#include <zamli/types/primitive_records.h>
#include <zamli/types/registry.h>

#include <cstdio>
#include <string>

namespace {
int failures = 0;

void Expect(bool ok, const std::string& what) {
  if (ok) return;
  std::fprintf(stderr, "the runtime's records differ from kettar.schema: %s\\n", what.c_str());
  ++failures;
}

struct Property {
  const Zamli::TypeInfo* type;
  unsigned flags;
  const char* name;
  const char* version;
};

void CheckType(const Zamli::TypeInfo* info, int kind, std::string name, const char* wire, const char* version,
               const char* className, const Zamli::TypeInfo* base, const Property* properties, int count) {
  const Zamli::Type* type = Zamli::TypeRegistry::Instance().FindByTypeInfo(info);
  if (type == nullptr) return Expect(false, name + " is not registered");
  Expect(type->GetKind() == kind, name + ": kind " + std::to_string(type->GetKind()) + ", declared " +
                                      std::to_string(kind));
  Expect(type->GetName() == name, name + ": registered as " + type->GetName());
  Expect(type->GetWsdlName() == wire, name + ": wire name " + type->GetWsdlName() + ", declared " + wire);
  Expect(type->GetVersionName() == version, name + ": version " + type->GetVersionName() + ", declared " + version);
  Expect(type->GetClassName() == className, name + ": class " + type->GetClassName() + ", declared " + className);
  int own = 0;
  if (auto* data = dynamic_cast<const Zamli::DataObjectType*>(type)) {
    Expect((data->GetBase() ? data->GetBase()->GetTypeInfo() : nullptr) == base, name + ": another base");
    own = data->GetOwnPropertyCount();
    for (int i = 0; i < own && i < count; ++i) {
      const Zamli::PropertyInfo& p = data->GetOwnProperty(i);
      const std::string what = name + "." + properties[i].name;
      Expect(p.type == properties[i].type, what + ": another type");
      Expect(p.flags == properties[i].flags, what + ": flags " + std::to_string(p.flags));
      Expect(std::string(p.name) == properties[i].name, what + ": named " + p.name);
      Expect(std::string(p.version) == properties[i].version, what + ": version " + p.version);
    }
  } else if (auto* managed = dynamic_cast<const Zamli::ManagedObjectType*>(type)) {
    own = managed->GetPropertyCount();
  }
  Expect(own == count, name + ": " + std::to_string(own) + " properties, declared " + std::to_string(count));
}

void CheckVersion(std::string name, const char* label, std::initializer_list<std::string> parents) {
  const Zamli::Version* version = Zamli::TypeRegistry::Instance().FindVersion(name);
  if (version == nullptr) return Expect(false, "version " + name + " is not registered");
  Expect(version->GetLabel() == label, name + ": label " + version->GetLabel() + ", declared " + label);
  Expect(version->GetParents().size() == parents.size(), name + ": another number of parents");
  size_t i = 0;
  for (const std::string& parent : parents) {
    if (i < version->GetParents().size()) {
      Expect(version->GetParents()[i]->GetName() == parent, name + ": parent " + parent + " missing");
    }
    ++i;
  }
}
}  // namespace

int main() {"""
TAIL = """\
  const Zamli::Namespace* ns = Zamli::TypeRegistry::Instance().FindNamespace($ns);
  Expect(ns != nullptr && ns->GetTypes().size() == $types && ns->GetVersions().size() == $versions,
         "the runtime's namespace has other types or versions than the $types and $versions declared");
  return failures == 0 ? 0 : 1;
}"""


def _ref(t):
    return "&" + t.symbol if t is not None else "nullptr"


def check_cc(lib, source):
    out = [banner(source), HEAD]
    for v in lib.versions:
        out.append(render("  CheckVersion($name, $label, {$parents});", name=c_string(v.name),
                          label=c_string(v.label), parents=", ".join(c_string(p) for p in v.parents)))
    for t in lib.own_types:
        table = "nullptr"
        if t.properties:
            table = t.properties_table
            out.append(render("  static const Property $table[] = {", table=table))
            out += [render("      {&$type, $flags, $name, $version},", type=p.type.symbol, flags=f"{p.flags:#x}",
                           name=c_string(p.name), version=c_string(p.version)) for p in t.properties]
            out.append("  };")
        out.append(render("  CheckType(&$s, $kind, $name, $wire, $version, $cls, $base, $table, $n);", s=t.symbol,
                          kind=t.kind_code, name=c_string(t.name), wire=c_string(t.wire),
                          version=c_string(t.version), cls=c_string(t.cls), base=_ref(t.base), table=table,
                          n=len(t.properties)))
    out.append(render(TAIL, ns=c_string(lib.namespace), types=len(lib.own_types), versions=len(lib.versions)))
    return file(out)
