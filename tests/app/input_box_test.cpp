// The input box's model without a window: the initial text cut to the limit
// and selected, editing under the limit, and what ShowInputBox answers for
// a confirmed, a cancelled and an unshown box.
#include <gtest/gtest.h>

#include <string>

#include "app/input_box.h"
#include "app/os_util.h"

namespace {

InputBoxModel* g_box = nullptr;
std::u16string g_typed;
bool g_confirm = false;

void scriptedRunner(InputBoxModel* box) {
  g_box = box;
  if (!g_typed.empty()) box->insert(g_typed);
  if (g_confirm) box->confirm();
  else box->cancel();
}

struct RunnerGuard {
  ~RunnerGuard() { SetInputBoxRunner(nullptr); }
};

}  // namespace

TEST(InputBoxModel, OpensWithTheInitialTextCutAndSelected) {
  InputBoxModel box(u"", u"", u"abcdef", 4);
  EXPECT_EQ(box.caption(), u"入力ボックス");
  EXPECT_EQ(box.prompt(), u"入力してください");
  EXPECT_EQ(box.text(), u"abcd");
  EXPECT_EQ(box.selectionStart(), 0u);
  EXPECT_EQ(box.selectionEnd(), 4u);
  EXPECT_TRUE(box.isOpen());

  InputBoxModel named(u"名前", u"名前を入力", u"", 0);  // no usable limit
  EXPECT_EQ(named.caption(), u"名前");
  EXPECT_EQ(named.prompt(), u"名前を入力");
  EXPECT_EQ(named.maxLength(), InputBoxModel::kDefaultLimit);
  EXPECT_EQ(named.selectionStart(), named.selectionEnd());

  // A cut never leaves half a surrogate pair.
  InputBoxModel pair(u"", u"", u"a\U0001F600b", 2);
  EXPECT_EQ(pair.text(), u"a");
}

TEST(InputBoxModel, EditsStayWithinTheLimit) {
  InputBoxModel box(u"", u"", u"abcdef", 4);
  box.insert(u"xyz123");  // replaces the selection, cut at 4
  EXPECT_EQ(box.text(), u"xyz1");
  box.insert(u"q");  // full: dropped
  EXPECT_EQ(box.text(), u"xyz1");
  box.eraseBackward();
  EXPECT_EQ(box.text(), u"xyz");
  box.moveHome(false);
  box.moveRight(true);
  box.moveRight(true);
  EXPECT_EQ(box.selectionStart(), 0u);
  EXPECT_EQ(box.selectionEnd(), 2u);
  box.insert(u"あ");
  EXPECT_EQ(box.text(), u"あz");
  EXPECT_EQ(box.caret(), 1u);
  box.eraseForward();
  EXPECT_EQ(box.text(), u"あ");
  box.moveEnd(false);
  box.insert(u"\U0001F600\U0001F600");  // room for one pair of the two
  EXPECT_EQ(box.text(), u"あ\U0001F600");
  box.moveLeft(false);  // over the whole pair
  EXPECT_EQ(box.caret(), 1u);
  box.moveTo(2, false);  // inside the pair: snaps before it
  EXPECT_EQ(box.caret(), 1u);
  box.eraseForward();
  EXPECT_EQ(box.text(), u"あ");

  box.confirm();
  EXPECT_EQ(box.code(), InputBoxModel::kConfirmed);
  EXPECT_EQ(box.result(), u"あ");
  box.insert(u"late");  // closed: nothing changes
  box.cancel();
  EXPECT_EQ(box.code(), InputBoxModel::kConfirmed);
  EXPECT_EQ(box.text(), u"あ");

  InputBoxModel cancelled(u"", u"", u"abc", 8);
  cancelled.cancel();
  EXPECT_EQ(cancelled.code(), InputBoxModel::kCancelled);
  EXPECT_EQ(cancelled.result(), u"");
}

TEST(ShowInputBox, AnswersTheEnteredTextOrTheWholeInitialText) {
  RunnerGuard guard;
  std::u16string out = u"stale";
  // No window: cancelled, the initial text as given (not cut).
  EXPECT_FALSE(ShowInputBox(u"", u"", u"abcdef", 4, &out));
  EXPECT_EQ(out, u"abcdef");

  SetInputBoxRunner(&scriptedRunner);
  g_typed = u"";
  g_confirm = false;
  EXPECT_FALSE(ShowInputDialog(&out, u"abcdef", 4, u"名前", u"入力"));
  EXPECT_EQ(out, u"abcdef");
  ASSERT_NE(g_box, nullptr);

  g_typed = u"";
  g_confirm = true;
  EXPECT_TRUE(ShowInputBox(u"", u"", u"abcdef", 4, &out));
  EXPECT_EQ(out, u"abcd");

  g_typed = u"名無しさん";
  EXPECT_TRUE(ShowInputDialog(&out, u"abcdef", 4, u"名前", u"入力"));
  EXPECT_EQ(out, u"名無しさ");
}
