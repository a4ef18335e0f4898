// The editor base class on its own and behind the dispatchers.
#include <gtest/gtest.h>

#include "plain_effect.h"
#include "vst/aeff_editor.h"
#include "vst/vst_opcodes.h"

namespace {

// Counts update() calls; everything else is the base behaviour.
class CountingEditor : public AEffEditor {
 public:
  using AEffEditor::AEffEditor;
  int updates = 0;
  void update() override {
    ++updates;
    // A post during the update is kept for the next idle.
    if (updates == 1 && repost) postUpdate();
  }
  bool repost = false;
};

TEST(AEffEditor, StartsWithoutWindowOrPendingUpdate) {
  PlainEffect effect;
  AEffEditor editor(&effect);
  EXPECT_EQ(editor.getSystemWindow(), nullptr);
  EXPECT_EQ(editor.getUpdateFlag(), 0);
}

TEST(AEffEditor, NeutralAnswers) {
  PlainEffect effect;
  AEffEditor editor(&effect);
  ERect dummy{};
  ERect* rect = &dummy;
  EXPECT_EQ(editor.getRect(&rect), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(editor.getRect(nullptr), 0);
  VstKeyCode key{};
  EXPECT_EQ(editor.onKeyDown(key), -1);
  EXPECT_EQ(editor.onKeyUp(key), -1);
  EXPECT_EQ(editor.setKnobMode(2), 0);
  EXPECT_FALSE(editor.onWheel(1.5f));
}

TEST(AEffEditor, OpenKeepsTheWindowAfterClose) {
  PlainEffect effect;
  AEffEditor editor(&effect);
  int window = 0;
  EXPECT_EQ(editor.open(&window), 0);
  EXPECT_EQ(editor.getSystemWindow(), &window);
  editor.close();
  EXPECT_EQ(editor.getSystemWindow(), &window);
}

TEST(AEffEditor, IdleConsumesAPostedUpdateOnce) {
  PlainEffect effect;
  CountingEditor editor(&effect);
  editor.idle();
  EXPECT_EQ(editor.updates, 0);

  editor.postUpdate();
  EXPECT_EQ(editor.getUpdateFlag(), 1);
  editor.idle();
  EXPECT_EQ(editor.updates, 1);
  EXPECT_EQ(editor.getUpdateFlag(), 0);
  editor.idle();
  EXPECT_EQ(editor.updates, 1);
}

TEST(AEffEditor, AnUpdatePostedDuringUpdateWaitsForTheNextIdle) {
  PlainEffect effect;
  CountingEditor editor(&effect);
  editor.repost = true;
  editor.postUpdate();
  editor.idle();
  EXPECT_EQ(editor.updates, 1);
  EXPECT_EQ(editor.getUpdateFlag(), 1);
  editor.idle();
  EXPECT_EQ(editor.updates, 2);
}

TEST(AEffEditor, AnswersTheHostThroughTheDispatchers) {
  PlainEffect effect;
  auto* editor = new CountingEditor(&effect);
  effect.setEditor(editor);
  AEffect* e = effect.getAeffect();
  EXPECT_EQ(e->flags & effFlagsHasEditor, effFlagsHasEditor);

  ERect dummy{};
  ERect* rect = &dummy;
  int window = 0;
  EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 0);
  EXPECT_EQ(rect, nullptr);
  EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &window, 0.0f), 0);
  EXPECT_EQ(editor->getSystemWindow(), &window);
  editor->postUpdate();
  EXPECT_EQ(e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(editor->updates, 1);
  EXPECT_EQ(e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f), 0);
  EXPECT_EQ(e->dispatcher(e, effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
  EXPECT_EQ(e->dispatcher(e, effEditKeyUp, 'a', 0, nullptr, 0.0f), -1);
  EXPECT_EQ(e->dispatcher(e, effSetEditKnobMode, 0, 1, nullptr, 0.0f), 0);
}

}  // namespace
