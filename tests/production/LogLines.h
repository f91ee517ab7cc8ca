// Reading a production log in the tests: its lines, and a field of a CSV line.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kaldo::test {

inline std::vector<std::string> Lines(const std::string& fileName) {
  std::ifstream in(fileName);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Field `n` of a CSV line.
inline std::string Field(const std::string& line, int n) {
  std::stringstream in(line);
  std::string field;
  for (int i = 0; i <= n; ++i) std::getline(in, field, ',');
  return field;
}

}  // namespace kaldo::test
