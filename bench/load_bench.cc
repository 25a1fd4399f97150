// What loading the type library costs: in a fresh child process each round,
// the time from dlopen to having looked every one of its types up by name
// through the registry. Prints the minimum and the median over the rounds.
//   load_bench [library] [rounds]
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zamli/types/registry.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Runs in the child: the library is not loaded yet.
long LoadAndLookUp(const char* library) {
  const auto start = std::chrono::steady_clock::now();
  if (dlopen(library, RTLD_NOW | RTLD_GLOBAL) == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return -1;
  }
  const Zamli::TypeRegistry& registry = Zamli::TypeRegistry::Instance();
  const Zamli::Namespace* pelk = registry.FindNamespace("pelk");
  if (pelk == nullptr) return -1;
  size_t found = 0;
  for (const Zamli::Type* type : pelk->GetTypes()) found += registry.FindByName(type->GetName()) == type;
  if (found != pelk->GetTypes().size()) return -1;
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start).count();
}

// Forks a child that loads the library and reports its time through a pipe.
long OneRound(const char* library) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    const long micros = LoadAndLookUp(library);
    const bool written = write(fds[1], &micros, sizeof micros) == static_cast<ssize_t>(sizeof micros);
    _exit(written ? 0 : 1);
  }
  close(fds[1]);
  long micros = -1;
  if (child < 0 || read(fds[0], &micros, sizeof micros) != static_cast<ssize_t>(sizeof micros)) micros = -1;
  close(fds[0]);
  if (child > 0) waitpid(child, nullptr, 0);
  return micros;
}

}  // namespace

int main(int argc, char** argv) {
  const char* library = argc > 1 ? argv[1] : PELK_TYPE_LIBRARY_PATH;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 15;
  std::vector<long> times;
  for (int i = 0; i < rounds; ++i) {
    const long micros = OneRound(library);
    if (micros < 0) {
      std::fprintf(stderr, "loading %s failed\n", library);
      return 1;
    }
    times.push_back(micros);
  }
  std::sort(times.begin(), times.end());
  std::printf("load and look up every type: min %.2f ms, median %.2f ms over %d rounds\n", times.front() / 1000.0,
              times[times.size() / 2] / 1000.0, rounds);
  return 0;
}
