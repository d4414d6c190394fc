// A RunView that notes every visible effect of a run as a line of text.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "runs/run.h"

namespace tv::test {

/// The texts joined with "|".
inline std::string Joined(std::span<const std::string> texts) {
  std::string out;
  for (const std::string& t : texts) out += "|" + t;
  return out.substr(1);
}
inline std::string Joined(const SummaryTexts& s) {
  return Joined(std::array{s.lines, s.code, s.comment, s.blank, s.ratio});
}

/// Each effect becomes one line ("row NAME|LINES|...", "range 6 step", ...),
/// in order; one starting with `stop_at` asks the run to stop, and
/// `on_effect` sees each at once, on the run's thread, to act in mid-run.
class RecordingView : public RunView {
 public:
  RunFlags flags;
  std::vector<std::string> log;
  std::vector<ResultRow> rows;
  std::string stop_at = "\n";
  std::function<void(const std::string&)> on_effect;

  void SetSelectionButtonsEnabled(bool e) override { Note(e ? "buttons on" : "buttons off"); }
  void SetStartButtonFace(StartButtonFace f) override {
    Note(f == StartButtonFace::Start ? "face start" : "face stop");
  }
  void SetStartButtonEnabled(bool e) override { Note(e ? "start on" : "start off"); }
  void ClearResults() override { Note("clear"); }
  void ShowNotice(std::string_view text) override { Note("notice " + std::string(text)); }
  void SetProgressRange(uint64_t max, bool stepping) override {
    Note("range " + std::to_string(max) + (stepping ? " step" : ""));
  }
  void SetProgressPosition(uint64_t p) override { Note("position " + std::to_string(p)); }
  void AddRow(const ResultRow& row) override {
    rows.push_back(row);
    Note("row " + Joined(row));
  }
  void SetSummary(const SummaryTexts& s) override { Note("summary " + Joined(s)); }
  void RefreshCursor() override { Note("cursor"); }
  void Note(const std::string& what) {
    log.push_back(what);
    if (what.starts_with(stop_at)) flags.stop_request = 1;
    if (on_effect) on_effect(what);
  }
};

}  // namespace tv::test
