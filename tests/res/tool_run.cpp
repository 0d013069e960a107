#include "tests/res/tool_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>

ToolResult RunTool(const std::string& command) {
  ToolResult result;
  FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t got;
  while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, got);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

std::vector<uint8_t> DecodeRgba(const std::string& path) {
  ToolResult r = RunTool(Quoted(kConvert) + " " + Quoted(path) + " -depth 8 rgba:-");
  if (r.exitCode != 0) return {};
  return std::vector<uint8_t>(r.output.begin(), r.output.end());
}
