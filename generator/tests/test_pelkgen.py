"""Tests of the schema generator: what it rejects (and where it says so), the
model it derives, and the output of the real interface schema."""
import glob
import os
import subprocess
import sys
import tempfile
import unittest

from pelkgen import model, parse, printer

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The CLI runs the same package the tests import.
GENERATOR_DIR = os.path.dirname(os.path.dirname(os.path.abspath(parse.__file__)))
KETTAR = os.path.join(ROOT, "interface", "base", "kettar.schema")

# A tiny imported library: versions, a data type, a fault, an enum and a managed type.
BASE = """\
namespace base requires kettar
version base.version.v2 label "2.0" parents base.version.v1
version base.version.v1 label "1.0" parents kettar.version.version1

data base.Info since base.version.v1
  key string
  value anyType optional

fault base.Fault base kettar.MethodFault since base.version.v1
  reason string optional

enum base.Color since base.version.v1
  red
  green

managed base.Thing since base.version.v2
  property name string
  method ping wire Ping
"""
BASE_INFO_LINE = BASE.splitlines().index("data base.Info since base.version.v1") + 1

APP_NS = """\
namespace app requires base
version app.version.v2 label "app 2" parents base.version.v2 app.version.v1
version app.version.v1 label "app 1" parents base.version.v1
"""


def build(area_lines):
    """Builds the app library from its namespace file plus one area file."""
    text = "\n".join(area_lines) + "\n"
    own = [parse.parse_file("app_ns.schema", APP_NS), parse.parse_file("area.schema", text)]
    imported = [parse.parse_file(KETTAR), parse.parse_file("base.schema", BASE)]
    return model.build(own, imported, [o for sf in own for o in sf.register_before])


def run_cli(args, **kw):
    env = dict(os.environ, PYTHONPATH=GENERATOR_DIR)
    env.update(kw.pop("env", {}))
    return subprocess.run([sys.executable, "-m", "pelkgen", *args], env=env, capture_output=True,
                          text=True, **kw)


NS = "namespace app"
D = "data app.A since app.version.v1"
M = "managed app.M since app.version.v1"
GO = "  method go wire Go"

# One case per class of error: (case, area file lines, line of the error in
# area.schema, message fragment)
ERRORS = [
    # Unknown types.
    ("unknown property type", [NS, D, "  x base.Nope"], 3, "unknown type 'base.Nope' in property 'x' of 'app.A'"),
    ("unknown parameter type", [NS, M, GO, "    param p base.Nope[]"], 4,
     "unknown type 'base.Nope' in parameter 'p' of 'go'"),
    ("unknown result type", [NS, M, GO, "    result base.Nope optional"], 4,
     "unknown type 'base.Nope' in result of 'go'"),
    ("unknown base", [NS, "data app.A base base.Nope since app.version.v1"], 2,
     "unknown base type 'base.Nope' of 'app.A'"),
    ("unknown fault", [NS, M, GO, "    faults base.Fault base.Nope"], 4, "unknown fault 'base.Nope' of 'go'"),
    ("data type in a fault list", [NS, M, GO, "    faults base.Info"], 4,
     "'base.Info' in the faults of 'go' is not a fault type"),
    # Duplicate names.
    ("duplicate type in one file", [NS, D, "  x string", "enum app.A since app.version.v1", "  red"], 4,
     "duplicate type name 'app.A' (first declared at area.schema:2)"),
    ("type redeclaring an imported one", [NS, "data base.Info since app.version.v1"], 2,
     f"duplicate type name 'base.Info' (first declared at base.schema:{BASE_INFO_LINE})"),
    ("duplicate property", [NS, D, "  x string", "  y int", "  x long"], 5,
     "duplicate property 'x' in 'app.A' (first at line 3)"),
    ("duplicate parameter", [NS, M, GO, "    param p string", "    param p int"], 5,
     "duplicate parameter 'p' in 'app.M.go' (first at line 4)"),
    ("duplicate method", [NS, M, GO, "  method go wire Go2"], 4, "duplicate method 'go' in 'app.M'"),
    ("duplicate method wire name", [NS, M, GO, "  method run wire Go"], 4, "duplicate method wire name 'Go'"),
    ("duplicate tag", [NS, "enum app.E since app.version.v1", "  red", "  blue", "  red"], 5,
     "duplicate tag 'red' in 'app.E'"),
    ("duplicate fault", [NS, M, GO, "    faults base.Fault", "    faults base.Fault"], 5,
     "duplicate fault 'base.Fault'"),
    ("duplicate default wire name", [NS, "data app.Info since app.version.v1"], 2,
     "duplicate wire name 'Info' (also base.Info)"),
    ("duplicate explicit wire name", [NS, D, "data app.B wire A since app.version.v1"], 3,
     "duplicate wire name 'A' (also app.A)"),
    ("record symbols that collide", [NS, "data app.xY.Z wire Z1 since app.version.v1",
                                     "data app.XY.Z wire Z2 since app.version.v1"], 3,
     "record symbol 'gAppXYZTypeInfo' of 'app.XY.Z' is already used by 'app.xY.Z'"),
    ("classes that collide", [NS, "data app.A class App::B since app.version.v1",
                              "data app.B since app.version.v1"], 3,
     "class 'App::B' of 'app.B' is already used by 'app.A'"),
    ("duplicate version", [NS, 'version app.version.v1 label "again"'], 2, "duplicate version 'app.version.v1'"),
    # Unknown versions.
    ("unknown type version", [NS, "data app.A since app.version.v9"], 2, "unknown version 'app.version.v9'"),
    ("unknown property version", [NS, D, "  x string since app.version.v9"], 3, "unknown version 'app.version.v9'"),
    ("unknown parent version", [NS, 'version app.version.v3 label "3" parents app.version.v2 base.version.v9'], 2,
     "unknown parent version 'base.version.v9' of 'app.version.v3'"),
    ("version without label", [NS, "version app.version.v3 parents app.version.v2"], 2,
     "expected 'version NAME label"),
    # Flags and attributes.
    ("misspelt flag", [NS, D, "  x string optionl"], 3, "unknown flag or attribute 'optionl'"),
    ("base on an enum", [NS, "enum app.E base base.Info since app.version.v1", "  red"], 2,
     "unknown flag or attribute 'base'"),
    ("secret on a managed property", [NS, M, "  property p string secret"], 3, "unknown flag or attribute 'secret'"),
    ("flag given twice", [NS, D, "  x string optional optional"], 3, "flag 'optional' given twice"),
    ("attribute given twice", [NS, D + " since app.version.v2"], 2, "'since' given twice"),
    ("attribute without value", [NS, "data app.A since"], 2, "'since' needs a value"),
    ("secret on an int", [NS, D, "  x int secret"], 3, "'secret' needs a string, not 'int'"),
    # ref, enums, and bases of the wrong kind.
    ("ref on a data type", [NS, D, "  x ref base.Info"], 3,
     "'base.Info' in property 'x' of 'app.A' is not a managed type; drop 'ref'"),
    ("managed property type without ref", [NS, D, "  x base.Thing[]"], 3,
     "'base.Thing' in property 'x' of 'app.A' is a managed type; write 'ref base.Thing'"),
    ("enum property", [NS, D, "  x base.Color"], 3,
     "enumeration 'base.Color' cannot be the type of property 'x' of 'app.A'"),
    ("fault based on a data type", [NS, "fault app.F base base.Info since app.version.v1"], 2,
     "'app.F' is declared fault but its base chain does not reach kettar.MethodFault"),
    ("fault without base", [NS, "fault app.F since app.version.v1"], 2, "fault 'app.F' must name its base"),
    ("data type deriving from a fault", [NS, "data app.A base base.Fault since app.version.v1"], 2,
     "'app.A' is declared data but its base chain reaches kettar.MethodFault"),
    ("data type deriving from a managed type", [NS, "data app.A base base.Thing since app.version.v1"], 2,
     "base 'base.Thing' of 'app.A' is not a data or fault type"),
    # Layout.
    ("first line not namespace", ["# a comment", "", D], 3, "the first line must be 'namespace NAME'"),
    ("bad namespace requires", ["namespace app needs base"], 1, "expected 'requires NAMESPACE...'"),
    ("only comments", ["# nothing here"], 1, "empty schema file"),
    ("three-blank indentation", [NS, D, "   x string"], 3, "unexpected indentation of 3 blanks"),
    ("tab indentation", [NS, D, "\tx string"], 3, "tabs are not allowed"),
    ("member before any type", [NS, "  x string"], 2, "member outside a type declaration"),
    ("parameter under a data type", [NS, D, "    param p string"], 3, "parameter, result or faults outside a method"),
    ("unknown declaration", [NS, "struct app.A since app.version.v1"], 2, "unknown declaration 'struct'"),
    ("declaration without name", [NS, "data"], 2, "'data' needs a type name"),
    ("managed member of no known kind", [NS, M, "  x string"], 3, "expected 'property' or 'method', got 'x'"),
    ("unknown method line", [NS, M, GO, "    returns string"], 4,
     "expected 'param', 'result' or 'faults', got 'returns'"),
    ("two results", [NS, M, GO, "    result string", "    result int"], 5, "a method has one result"),
    ("unclosed quote", [NS, M, '  method go wire Go privilege "System.Read'], 3, "No closing quotation"),
    ("member without type", [NS, D, "  x"], 3, "a member needs a name and a type"),
    ("ref without type", [NS, D, "  x ref"], 3, "missing type"),
    ("array of arrays", [NS, D, "  x string[][]"], 3, "bad type 'string[][]'"),
    ("two tags on a line", [NS, "enum app.E since app.version.v1", "  red blue"], 3,
     "an enumeration member is one tag per line"),
    ("enum without tags", [NS, "enum app.E since app.version.v1"], 2, "enumeration 'app.E' has no tags"),
    ("missing since", [NS, "data app.A base base.Info"], 2, "type 'app.A' has no 'since' version"),
    ("method without wire name", [NS, M, "  method go"], 3, "method 'go' has no wire name"),
    ("task method without _Task", [NS, M, "  method go wire Go task"], 3,
     "task method 'go' needs a wire name ending in '_Task'"),
    ("malformed register line", [NS, "register app.E app.F"], 2, "expected 'register TYPE before TYPE'"),
    ("second namespace in one library", ["namespace other"], 1, "one library fills one namespace: 'other' here"),
    ("register of an unknown type", [NS, "enum app.E since app.version.v1", "  red", "register app.Nope before app.E"],
     4, "unknown type 'app.Nope' in a registration order line"),
]


class RejectTest(unittest.TestCase):
    def test_errors(self):
        for case, lines, line, fragment in ERRORS:
            with self.subTest(case):
                with self.assertRaises(parse.SchemaError) as cm:
                    build(lines)
                msg = str(cm.exception)
                self.assertTrue(msg.startswith(f"area.schema:{line}: error: "), msg)
                self.assertIn(fragment, msg)

    def test_runtime_schema_is_required(self):
        with self.assertRaises(parse.SchemaError) as cm:
            model.build([parse.parse_file("app_ns.schema", APP_NS)])
        self.assertIn("app_ns.schema:1: error: the runtime's own schema", str(cm.exception))

    def test_template_holes_and_values_must_match(self):
        self.assertEqual(printer.render("$a::${b}c", a="X", b="Y"), "X::Yc")
        for values in ({"a": 1}, {"a": 1, "b": 2, "c": 3}):  # a hole without a value, a value without a hole
            with self.subTest(values), self.assertRaises(printer.TemplateError):
                printer.render("$a $b", **values)

    def test_cli_reports_file_and_line_and_writes_nothing(self):
        with tempfile.TemporaryDirectory() as tmp:
            files = {"base.schema": BASE, "app_ns.schema": APP_NS, "area.schema": f"{NS}\n{D}\n  x base.Nope\n"}
            for name, text in files.items():
                with open(os.path.join(tmp, name), "w", encoding="utf-8") as f:
                    f.write(text)
            out = os.path.join(tmp, "out")
            area = os.path.join(tmp, "area.schema")
            r = run_cli(["--out", out, "--import", KETTAR, "--import", os.path.join(tmp, "base.schema"),
                         os.path.join(tmp, "app_ns.schema"), area], timeout=60)
            self.assertEqual(r.returncode, 1)
            self.assertEqual(r.stderr, f"{area}:3: error: unknown type 'base.Nope' in property 'x' of 'app.A'\n")
            self.assertFalse(os.path.exists(out))

    # Run as a process with a timeout: a cycle once made the base-chain walk endless.
    def test_base_cycle_is_reported(self):
        with tempfile.TemporaryDirectory() as tmp:
            path = os.path.join(tmp, "cycle.schema")
            with open(path, "w", encoding="utf-8") as f:
                f.write("namespace app requires kettar\n"
                        'version app.version.v1 label "1" parents kettar.version.version1\n'
                        "data app.A base app.B since app.version.v1\n"
                        "data app.B base app.A since app.version.v1\n")
            try:
                r = run_cli(["--out", os.path.join(tmp, "out"), "--import", KETTAR, path], timeout=5)
            except subprocess.TimeoutExpired:
                self.fail("the generator hangs on a base cycle")
            self.assertEqual(r.returncode, 1)
            self.assertRegex(r.stderr, rf"^{path}:[34]: error: base cycle through 'app\.[AB]'\n$")


class ModelTest(unittest.TestCase):
    def test_record_order_walks(self):
        lib = build([
            NS,
            "data app.A base app.Y since app.version.v1",    # base sorts later, emitted in walk 2: walk 3
            "data app.B since app.version.v1",
            "data app.C base app.B since app.version.v1",    # base emitted earlier in the same walk
            "data app.E base base.Info since app.version.v1",  # base in another library
            "fault app.F base base.Fault since app.version.v1",
            "data app.Y base app.Z since app.version.v1",    # base sorts later: walk 2
            "data app.Z base app.C since app.version.v1",
            "data app.x since app.version.v1",               # lower case sorts after upper by bytes
            "enum app.alpha since app.version.v1", "  one",
            "enum app.Zeta since app.version.v1", "  one",
            "managed app.b since app.version.v1",
            "managed app.M since app.version.v1",
        ])
        self.assertEqual([t.name for t in lib.data_order],
                         ["app.B", "app.C", "app.E", "app.F", "app.Z", "app.x", "app.Y", "app.A"])
        self.assertEqual(lib.record_walks, [6, 1, 1])
        self.assertEqual([t.name for t in lib.enum_order], ["app.Zeta", "app.alpha"])
        self.assertEqual([t.name for t in lib.managed_order], ["app.M", "app.b"])
        self.assertEqual([t.slot for t in lib.type_list], list(range(12)))
        self.assertEqual(lib.types_by_name["app.A"].slot, 7)
        self.assertEqual(lib.types_by_name["app.Zeta"].slot, 8)
        self.assertEqual(lib.types_by_name["app.b"].slot, 11)

    def test_register_before(self):
        enums = [NS] + [l for n in ("Alpha", "Beta", "Gamma") for l in (f"enum app.{n} since app.version.v1", "  one")]
        for case, extra, order in [
            ("none", [], ["app.Alpha", "app.Beta", "app.Gamma"]),
            ("move earlier", ["register app.Gamma before app.Alpha"], ["app.Gamma", "app.Alpha", "app.Beta"]),
            ("move later", ["register app.Alpha before app.Gamma"], ["app.Beta", "app.Alpha", "app.Gamma"]),
        ]:
            with self.subTest(case):
                lib = build(enums + extra)
                self.assertEqual([t.name for t in lib.enum_order], order)
                self.assertEqual([t.slot for t in lib.enum_order], [0, 1, 2])

    def test_flags_and_privileges(self):
        lib = build([
            NS, D,
            "  plain string",
            "  list int[]",
            "  maybe base.Info optional",
            "  password string[] optional secret",
            "  obj ref base.Thing",
            M,
            "  property p string",
            "  property refs ref base.Thing[]",
            GO,
            '    param a string optional requires "Host.Config"',
            "    param b ref base.Thing[]",
            "    result base.Info[] optional",
        ])
        a, m = lib.types_by_name["app.A"], lib.types_by_name["app.M"]
        go = m.methods[0]
        got = {p.name: (p.flags, p.privilege) for p in a.properties + m.properties + go.params}
        self.assertEqual(got, {
            "plain": (0, None), "list": (0x1, None), "maybe": (0x2, None), "password": (0x203, None),
            "obj": (0, None), "p": (0x4, "System.Read"), "refs": (0x5, "System.Read"),
            "a": (0x2, "Host.Config"), "b": (0x1, None),
        })
        self.assertEqual(go.result.flags, 0x3)

    def test_names_and_member_indexes(self):
        lib = build([NS, "data app.sub.lowerName since app.version.v1",
                     "data app.Custom class Other::Named wire R since app.version.v1",
                     "data app.A wire W since app.version.v1", "  operator string", "  list int[]",
                     "enum app.A.Mode since app.version.v1", "  fast",
                     M, "  property name string", GO, "    param delete base.Info", "    result int"])
        self.assertEqual({t.name: (t.cls, t.wire, t.header) for t in lib.own_types if t.kind == "data"}, {
            "app.sub.lowerName": ("App::Sub::lowerName", "lowerName", "app/app/sub/lowerName.h"),
            "app.Custom": ("Other::Named", "R", "app/app/Custom.h"), "app.A": ("App::A", "W", "app/app/A.h")})
        a, mode, m = (lib.types_by_name[n] for n in ("app.A", "app.A.Mode", "app.M"))
        self.assertEqual([(p.cpp_name, p.getter, p.field_cpp) for p in a.properties], [
            ("operator_", "GetOperator", "std::string"), ("list", "GetList", "Haldun::Ref<Zamli::Array<int>>")])
        self.assertEqual((mode.cls, mode.enclosing, a.nested, mode.tag_constants),
                         ("App::A::Mode", a, [mode], ["MODE_FAST"]))
        # Methods take the first member indexes, getters follow; the interface declares getters first.
        self.assertEqual([(mem.name, mem.index, mem.params_decl) for mem in m.members],
                         [("GetName", 1, ""), ("Go", 0, "Base::Info* delete_")])
        self.assertEqual((m.stub_header, m.server_header), ("app/app/MStub.h", "app/app/MServer.h"))

    def test_member_versions(self):
        lib = build([
            NS,
            "data app.A since app.version.v1",
            "  x string",
            "  y string since app.version.v2",
            M,
            "  property p string",
            "  property q string since app.version.v2",
            "  method a wire A",
            "    param pa string",
            "    result int",
            "  method b wire B since app.version.v2",
            "    param pb string",
            "    param pc string since base.version.v2",
            "    result ref base.Thing",
            "  method c wire C_Task task",
            "  method d wire D since app.version.v2",
            "    result app.A[]",
        ])
        a, m = lib.types_by_name["app.A"], lib.types_by_name["app.M"]
        self.assertEqual({p.name: p.version for p in a.properties + m.properties},
                         {"x": "app.version.v1", "y": "app.version.v2", "p": "app.version.v1", "q": "app.version.v2"})
        methods = {mm.name: mm for mm in m.methods}
        self.assertEqual({n: mm.version for n, mm in methods.items()},
                         {"a": "app.version.v1", "b": "app.version.v2", "c": "app.version.v1", "d": "app.version.v2"})
        self.assertEqual([p.version for p in methods["a"].params + methods["b"].params],
                         ["app.version.v1", "app.version.v2", "base.version.v2"])
        self.assertEqual({n: mm.result_version for n, mm in methods.items()}, {
            "a": "kettar.version.version0", "b": "base.version.v2", "c": "kettar.version.version0",
            "d": "app.version.v1"})
        self.assertEqual((methods["c"].result, methods["c"].is_task, methods["d"].result.version),
                         (None, True, "app.version.v1"))


class RealSchemaTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.own_paths = sorted(glob.glob(os.path.join(ROOT, "interface", "*.schema")))
        cls.import_path = os.path.join(ROOT, "interface", "base", "qor.schema")

    def test_cli_is_deterministic_and_keeps_unchanged_files(self):
        with tempfile.TemporaryDirectory() as out:
            args = ["--out", out, "--import", KETTAR, "--import", self.import_path, *self.own_paths]
            # Different hash seeds: set iteration order must not reach the output.
            r = run_cli(args, env={"PYTHONHASHSEED": "1"}, timeout=300)
            self.assertEqual(r.returncode, 0, r.stderr)
            gen = os.path.join(out, "pelk")
            top = {"type_infos.h", "fwd.h", "all.h", "type_list.inc", "tables.h", "registration.cc", "schema_model.json"} | {
                f"records_{os.path.splitext(os.path.basename(p))[0]}.cc" for p in self.own_paths}
            self.assertEqual({n for n in os.listdir(gen) if os.path.isfile(os.path.join(gen, n))}, top)
            # One header per class, at its interface name.
            expected = top | {"qor/cluster/PelkClusterHealthSummary.h", "dp/ruv/ProtectionService.h",
                              "dp/ruv/ProtectionServiceStub.h", "dp/ruv/ProtectionServiceServer.h",
                              "qor/cluster/PelkPerfMetricId.h"}
            first = {}
            old = 1_000_000_000  # far in the past, so a rewrite cannot keep it
            for name in expected:
                path = os.path.join(gen, name)
                with open(path, "rb") as f:
                    first[name] = f.read()
                os.utime(path, ns=(old, old))
            # A changed file is rewritten; the others are left alone.
            with open(os.path.join(gen, "tables.h"), "w", encoding="utf-8") as f:
                f.write("stale\n")
            r = run_cli(args, env={"PYTHONHASHSEED": "2"}, timeout=300)
            self.assertEqual(r.returncode, 0, r.stderr)
            for name in sorted(expected):
                path = os.path.join(gen, name)
                with open(path, "rb") as f:
                    self.assertEqual(f.read(), first[name], name)
                if name != "tables.h":
                    self.assertEqual(os.stat(path).st_mtime_ns, old, name)


if __name__ == "__main__":
    unittest.main()
