// An editor for dispatcher and effect tests: logs the operations the
// dispatchers reach, keeps the last key code, answers `answer`, and reports
// its destruction through `destroyed`.
#pragma once

#include <string>
#include <vector>

#include "vst/aeff_editor.h"

class RecordingEditor : public AEffEditor {
 public:
  explicit RecordingEditor(AudioEffect* owner) : AEffEditor(owner) {}
  ~RecordingEditor() override {
    if (destroyed != nullptr) *destroyed = true;
  }

  std::vector<std::string> calls;
  VstInt32 answer = 0;
  VstKeyCode lastKey{};
  bool* destroyed = nullptr;

  VstInt32 getRect(ERect** rect) override {
    calls.push_back("getRect");
    AEffEditor::getRect(rect);
    return answer;
  }
  VstInt32 open(void* ptr) override {
    calls.push_back("open");
    AEffEditor::open(ptr);
    return answer;
  }
  void close() override { calls.push_back("close"); }
  void idle() override { calls.push_back("idle"); }
  void update() override { calls.push_back("update"); }
  VstInt32 onKeyDown(VstKeyCode& key) override {
    calls.push_back("onKeyDown");
    lastKey = key;
    return answer;
  }
  VstInt32 onKeyUp(VstKeyCode& key) override {
    calls.push_back("onKeyUp");
    lastKey = key;
    return answer;
  }
  VstInt32 setKnobMode(VstInt32 val) override {
    calls.push_back("setKnobMode(" + std::to_string(val) + ")");
    return answer;
  }
  bool onWheel(float) override {
    calls.push_back("onWheel");
    return answer != 0;
  }
};
