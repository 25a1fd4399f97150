#pragma once
// The users and roles files share one shape: blank-separated words, one
// entry per line, `#` starting a comment line.
#include <haldun/exception.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace Zamli::Security {

// Calls `entry(words, where)` for each entry of the file, `where` being the
// "path:line: " prefix for an error; a file that cannot be read raises
// Haldun::InvalidArgumentException naming what it should hold.
template <class Entry>
void ForEachEntry(const std::string& path, const char* what, Entry entry) {
  std::ifstream in(path);
  if (!in) throw Haldun::InvalidArgumentException(path + ": cannot read the " + what);
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    std::istringstream fields(line);
    std::vector<std::string> words;
    for (std::string word; fields >> word;) words.push_back(word);
    if (words.empty() || words[0][0] == '#') continue;
    entry(words, path + ":" + std::to_string(number) + ": ");
  }
  if (in.bad()) throw Haldun::InvalidArgumentException(path + ": cannot read the " + what);
}

}  // namespace Zamli::Security
