// The benchmark's printed lines: section headings, figures, and a figure set
// against its target with PASS or MISS. A missed target is reported, never
// turned into a failing exit status.
#pragma once

namespace bench {

void heading(const char* title);
// A free-form explanatory line below a heading.
void note(const char* format, ...) __attribute__((format(printf, 1, 2)));
// "  label ........ value unit"
void figure(const char* label, double value, const char* unit);
// A figure with its target: "  label ... value unit   target: text   PASS|MISS".
void target(const char* label, double value, const char* unit, const char* targetText, bool met);

}  // namespace bench
