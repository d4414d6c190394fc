// The program's entry: the command-line mode, or (later) the window.
#include <cstdio>
#include <string>
#include <vector>

#include "runs/command_line.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  for (const std::string& arg : args) {
    if (arg == "--help") {
      std::fputs(tv::UsageText().c_str(), stdout);
      return 0;
    }
    if (arg == "--version") {
      std::printf("%s\n", std::string(tv::kVersionText).c_str());
      return 0;
    }
  }
  const tv::StartupDecision decision = tv::EvaluateArguments(args);
  if (decision.missing_value) return 255;
  if (decision.command_line_mode) return tv::RunCommandLine(decision, stdout, stderr);
  std::fputs(tv::UsageText().c_str(), stderr);
  std::fputs("\nThe window is not available in this build: give -f, -d or -s with -o.\n", stderr);
  return 2;
}
