// This process's memory as the kernel counts it (/proc/self/status).
#pragma once

#include <fstream>
#include <string>

namespace tv::test {

/// The figure `key` ("VmRSS:", or "VmHWM:" for the peak) in kB; 0 when unreadable.
inline long long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with(key)) return std::stoll(line.substr(key.size()));
  }
  return 0;
}

/// Restarts the peak from the present figure; false when the kernel will not.
inline bool RestartPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  return static_cast<bool>(clear << "5" << std::flush);
}

}  // namespace tv::test
