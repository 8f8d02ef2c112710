// The layer table in save data: the printed form of the tree, a full round
// trip through text, the report of commands lost at saving, and broken trees
// read into starting values.
#include "gamestate/layer_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "scene/render_commands.h"
#include "script/cell_printer.h"
#include "tests/support/test_support.h"

using tokenizer::Tokenizer;

namespace {

std::u16string written(const LayerTable& table) {
  Tokenizer tk;
  return tokenizer::toText(LayerStateWriter(table, tk));
}

// Parses the text and reads its one form into the (fresh) table.
bool readText(LayerTable& table, std::u16string_view text) {
  Tokenizer tk(Tokenizer::kNoStringLimit);
  EXPECT_TRUE(tk.parse(text));
  return LayerStateReader(table, tokenizer::carOf(tk.root()));
}

class QueuedCommand : public RCommand {
 public:
  QueuedCommand() : RCommand(0, 1) {}
  void apply(LayerTable&, int32_t) override {}
};

TEST(LayerState, EmptyTableAndOnePicturePrintInWritingOrder) {
  LayerTable table;
  EXPECT_EQ(written(table), u"((group) (layer) (picture))");
  LayerTable back;
  EXPECT_TRUE(readText(back, u"((group) (layer) (picture))"));
  EXPECT_TRUE(back.layers.empty() && back.groups.empty() && back.pictures.empty());
  EXPECT_EQ(back.nextGroupNo, 1);

  auto picture = std::make_unique<PictureEntry>();
  *picture = {1, 3, APValue(u"bg01"), 1, 2};
  table.pictures[3] = std::move(picture);
  EXPECT_EQ(written(table),
            u"((group) (layer) (picture (3 (layer . 2) (numsel . 1) (url . \"bg01\") (no . 3) (type . 1))))");
}

TEST(LayerState, EveryFieldSurvivesWritePrintParseRead) {
  LayerTable table;
  auto layer = std::make_unique<LayerEntry>();
  LayerEntry& l = *layer;
  l.no = 4;
  l.groupNo = 7;
  l.mode = 3;
  l.vramWidth = 640;
  l.vramHeight = 480;
  l.order = 12;
  l.visible = false;
  l.compositeOp = 3;
  auto v = l.motionParams.values();
  for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<int32_t>(i) * 3 - 20;
  l.motionParams = MotionParams::fromValues(v);
  l.mainPictureNo = 30;
  l.mainSACtrl = 5;
  l.mainSALoop = false;
  l.maskOp = 2;
  l.maskPictureNo = 31;
  l.maskPictureEdge = 9;
  l.maskSACtrl = 4;
  l.maskSALoop = false;
  l.hitTestParts = 8;
  l.hitTestEventNo = {{1, 400}, {3, 0}, {5, -2}};
  l.hitTestAutoCursorMap = {{-1, APValue(true)}, {2, APValue(int32_t{6})}, {3, APValue(u"hand")}};
  l.hitTestAMMode = 1;
  l.hitTestAMMap = {{0, {2, 3, 4, 5}}, {6, {-1, 0, 7, 8}}};
  table.layers[4] = std::move(layer);
  table.layers[9] = std::make_unique<LayerEntry>();
  table.layers[9]->no = 9;
  for (int32_t no : {2, 7}) {
    auto group = std::make_unique<GroupEntry>();
    group->no = no;
    group->visible = no == 2;
    group->maskSALoop = true;
    group->maskSACtrl = no;
    table.groups[no] = std::move(group);
  }
  auto picture = std::make_unique<PictureEntry>();
  *picture = {2, 30, APValue(int32_t{15}), 3, 4};
  table.pictures[30] = std::move(picture);

  const std::u16string text = written(table);
  LayerTable back;
  ASSERT_TRUE(readText(back, text));
  EXPECT_EQ(written(back), text);
  EXPECT_EQ(back.nextGroupNo, 8);
  EXPECT_EQ(back.groups.at(7)->members, std::vector<int32_t>{4});
  EXPECT_EQ(back.layers.at(4)->hitTestAutoCursorMap.at(3), APValue(u"hand"));

  // The same record with its pairs in another order reads the same.
  LayerTable a, b;
  EXPECT_TRUE(readText(a, u"((layer (5 (mode . 2) (order . 9) (motionParams (I-x . 5) (main-switch . 3)))))"));
  EXPECT_TRUE(readText(b, u"((layer (5 (motionParams (main-switch . 3) (I-x . 5)) (order . 9) (mode . 2))))"));
  EXPECT_EQ(written(a), written(b));
  EXPECT_EQ(a.layers.at(5)->motionParams.ix, 5);
}

TEST(LayerState, QueuedCommandsAreReportedAndNotWritten) {
  LayerTable table;
  table.layers[1] = std::make_unique<LayerEntry>();
  table.layers[1]->no = 1;
  table.layers[1]->queue = {RCommandRef(new QueuedCommand), RCommandRef(new QueuedCommand)};
  LogCapture log;
  const std::u16string text = written(table);
  ASSERT_EQ(log.lines().size(), 1u) << log.all();
  EXPECT_NE(log.lines()[0].find("[ERROR]"), std::string::npos);
  EXPECT_TRUE(log.contains("予約コマンドが残っています(2)\n")) << log.all();
  LayerTable back;
  ASSERT_TRUE(readText(back, text));
  EXPECT_TRUE(back.layers.at(1)->queue.empty());
}

TEST(LayerState, BrokenTreesReadIntoStartingValues) {
  LayerTable table;
  EXPECT_TRUE(readText(table,
                       u"((bogus . 1) (picture (5) x (y)) (group (-1) (6 (no . 99)))"
                       u" (layer (1 (mode . \"x\") (visible . 3) (groupNo . 6) (unknown . 2)) (2)"
                       u" (3 (order . 1) (9 . 1)) (4 (mode . 2))))"));
  ASSERT_EQ(table.pictures.size(), 1u);
  const PictureEntry& p = *table.pictures.at(5);
  EXPECT_TRUE(p.type == 0 && p.no == 5 && p.url == APValue(false) && p.numsel == 1 && p.layer == -2);

  ASSERT_EQ(table.layers.size(), 2u);  // the list ends at the broken record of 3
  const LayerEntry& l = *table.layers.at(1);
  EXPECT_TRUE(l.node == -1 && l.mode == 1 && l.visible && l.order == 1 && l.groupNo == 6);
  EXPECT_TRUE(l.mainSACtrl == 2 && l.maskSACtrl == -1 && l.mainSALoop && l.hitTestParts == -1);
  const MotionParams& m = l.motionParams;
  EXPECT_TRUE(m.mainSwitch == 80 && m.maskSwitch == 80 && m.iw == 0 && m.tx == 0 && m.mcA == 0);
  EXPECT_EQ(table.layers.at(2)->order, 2);

  ASSERT_EQ(table.groups.size(), 1u);
  const GroupEntry& g = *table.groups.at(6);
  EXPECT_TRUE(g.no == 6 && g.mode == 10 && !g.maskSALoop && g.node == -1);
  EXPECT_EQ(g.members, std::vector<int32_t>{1});
  EXPECT_EQ(table.nextGroupNo, 7);

  // A top-level element without a symbol key stops the reader.
  LayerTable stopped;
  EXPECT_FALSE(readText(stopped, u"((layer (1)) (5 . x) (group (3)))"));
  EXPECT_EQ(stopped.layers.size(), 1u);
  EXPECT_TRUE(stopped.groups.empty());
  EXPECT_EQ(stopped.nextGroupNo, 1);
  EXPECT_FALSE(readText(stopped, u"layer"));
}

}  // namespace
