// A one-line progress bar on stderr, redrawn in place with a carriage return
// on a terminal; into a file or a pipe nothing is written, so logs hold only
// results and errors.
#pragma once

#include <cstddef>
#include <string>

namespace plughost {

class ProgressBar {
 public:
  // `total` units of work; `label` leads the line.
  ProgressBar(std::string label, std::size_t total);
  // Redraws when the shown percentage changes.
  void update(std::size_t done);
  // Draws 100 % and ends the line.
  void finish();

 private:
  std::string label_;
  std::size_t total_;
  bool interactive_;
  int shownPercent_ = -1;
};

}  // namespace plughost
