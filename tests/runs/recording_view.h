// A RunView that records every visible effect of a run, in order.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "runs/run.h"

namespace tv::test {

/// Each effect becomes one line of text ("row NAME", "range 6 step", ...);
/// `on_effect` sees it at once, on the run's thread, to act in mid-run.
class RecordingView : public RunView {
 public:
  std::vector<std::string> log;
  std::vector<ResultRow> rows;
  SummaryTexts summary;
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
    Note("row " + row[kName]);
  }
  void SetSummary(const SummaryTexts& s) override {
    summary = s;
    Note("summary " + s.lines);
  }
  void RefreshCursor() override { Note("cursor"); }

  /// True when some effect starts with `prefix`.
  bool Saw(std::string_view prefix) const {
    for (const std::string& e : log) {
      if (e.rfind(prefix, 0) == 0) return true;
    }
    return false;
  }

 private:
  void Note(const std::string& what) {
    log.push_back(what);
    if (on_effect) on_effect(what);
  }
};

}  // namespace tv::test
