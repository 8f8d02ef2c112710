// The two views of the message log through the second parts layer, over a
// scene that keeps each part's text, colours, label, place and visibility:
// the line view's texts, colours and voice icons; the page view's entries
// at their offsets, cut entries hidden, and the settled cases (a scroll past
// the end, an empty log, a huge part count).
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/userfunc/userfunc_fixture.h"

namespace {

struct PartState {
  std::u16string text;
  uint32_t colors[2] = {0, 0};
  size_t labelLines = 0;
  int32_t x = 0, y = 0;
  bool visible = true;
};

class PartsB : public FakeScene {
 public:
  void partsNumbers(PartsLayer layer, int32_t first, int32_t last, std::vector<int32_t>* out) override {
    ++queries;
    out->clear();
    if (layer != PartsLayer::kB) return;
    for (auto it = parts.lower_bound(first); it != parts.end() && it->first <= last; ++it) out->push_back(it->first);
  }
  void partsSetString(PartsLayer, int32_t part, std::u16string_view text) override { at(part).text = text; }
  void partsSetTextColor(PartsLayer, int32_t part, int32_t which, uint32_t color) override {
    at(part).colors[which & 1] = color;
  }
  void partsSetLabel(PartsLayer, int32_t part, const std::vector<LineLayout>& lines, int32_t) override {
    at(part).labelLines = lines.size();
  }
  void partsSetPosition(PartsLayer, int32_t part, int32_t x, int32_t y) override {
    at(part).x = x;
    at(part).y = y;
  }
  void partsSetVisible(PartsLayer, int32_t part, bool on) override { at(part).visible = on; }

  // Only parts that exist are changed.
  PartState& at(int32_t part) {
    auto it = parts.find(part);
    return it != parts.end() ? it->second : ignored;
  }
  std::map<int32_t, PartState> parts;
  PartState ignored;
  int queries = 0;
};

class LogViewTest : public UserfuncTest {
 protected:
  LogViewTest() {
    previous_ = SetSceneFacade(&layer);
    for (int32_t p : {10, 11, 12, 13, 20, 21, 22, 23}) layer.parts[p] = PartState{};
  }
  ~LogViewTest() override { SetSceneFacade(previous_); }

  PartsB layer;

 private:
  SceneFacade* previous_;
};

TEST_F(LogViewTest, LineViewFillsTextsColoursAndIconsAndEmptiesTheRest) {
  call(4301, u"voiced", 1, 7, 100);
  call(4301, u"");  // a separator
  std::array<std::u16string, 8> texts{u"yes", u"no"};
  userfuncs.logChoices(0b11, texts, 0);
  call(4321, 0, 4, 10, 20);
  EXPECT_EQ(layer.parts[10].text, u"voiced");
  EXPECT_EQ(layer.parts[10].colors[0], 0xFFFFFFFFu);
  EXPECT_EQ(layer.parts[10].colors[1], 0xFF000000u);
  EXPECT_TRUE(layer.parts[20].visible);
  EXPECT_EQ(layer.parts[11].text, u"");  // the separator
  EXPECT_FALSE(layer.parts[21].visible);
  EXPECT_EQ(layer.parts[12].text, u"【選択肢】");
  EXPECT_EQ(layer.parts[12].colors[0], 0xFFC8C8FFu);
  EXPECT_EQ(layer.parts[13].text, u"yes");

  // From entry -1 and past the end the parts are emptied; a huge count only
  // visits the parts that exist.
  call(4321, -1, 2147483647, 10, 20);
  EXPECT_EQ(layer.parts[10].text, u"");
  EXPECT_EQ(layer.parts[11].text, u"voiced");
  EXPECT_FALSE(layer.parts[20].visible);
  EXPECT_TRUE(layer.parts[21].visible);
}

TEST_F(LogViewTest, PageViewPlacesTheEntriesShownAndHidesTheCutOnes) {
  // An empty log shows nothing.
  EXPECT_EQ(call(4322, 0, 100, 10, 20, 4, 5, 6, 7, 8)->value, 0);
  for (int32_t p : {10, 11, 12, 13}) EXPECT_FALSE(layer.parts[p].visible) << p;

  for (const char16_t* text : {u"one", u"two", u"three"}) call(4301, text, 1, 2, 3);
  const std::vector<MessageLogEntry>& log = userfuncs.messageLog().entries();
  ASSERT_EQ(log.size(), 3u);
  const int32_t h = log[0].height;
  ASSERT_GT(h, 0);

  // Scrolled into entry 0: it is cut at the top and hidden, but the view starts with it.
  EXPECT_EQ(call(4322, h / 2, 2 * h, 10, 20, 4, 5, 6, 7, 8)->value, 0);
  EXPECT_FALSE(layer.parts[10].visible);
  EXPECT_TRUE(layer.parts[11].visible);
  EXPECT_EQ(layer.parts[11].labelLines, 1u);
  EXPECT_EQ(layer.parts[11].x, 5);
  EXPECT_EQ(layer.parts[11].y, 6 + log[1].textOffset + h - h / 2);
  EXPECT_EQ(layer.parts[21].y, 8 + log[1].iconOffset + h - h / 2);
  EXPECT_TRUE(layer.parts[21].visible);  // voiced
  EXPECT_FALSE(layer.parts[12].visible);  // its bottom passes the view
  EXPECT_FALSE(layer.parts[13].visible);  // left over

  // From the top of entry 1 exactly, with room for both: both shown.
  EXPECT_EQ(call(4322, h, 2 * h, 10, 20, 4, 5, 6, 7, 8)->value, 1);
  EXPECT_TRUE(layer.parts[10].visible && layer.parts[11].visible);
  // A scroll past the end shows no entry and answers 0.
  EXPECT_EQ(call(4322, 3 * h, 100, 10, 20, 4, 5, 6, 7, 8)->value, 0);
  for (int32_t p : {10, 11, 12, 13, 20, 21, 22, 23}) EXPECT_FALSE(layer.parts[p].visible) << p;
}

}  // namespace
