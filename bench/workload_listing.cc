// Writes the reference workload tree as one line per scalar, in fill order:
// <counter> TAB <path> TAB <value>, so that two builders can be compared.
#include <value_filler.h>

#include <iostream>

int main(int argc, char** argv) {
  PelkTest::FillOptions options;
  if (argc > 1 && std::string(argv[1]) == "--changed") options.changed = [](long c) { return c % 100 == 37; };
  PelkTest::ValueFiller filler(options);
  filler.OnValue(
      [](const PelkTest::FilledValue& v) { std::cout << v.counter << '\t' << v.path << '\t' << v.value << '\n'; });
  filler.Build(PelkTest::WorkloadRootType());
  std::cerr << filler.Objects() << " objects, " << filler.Counter() << " scalars\n";
  return 0;
}
