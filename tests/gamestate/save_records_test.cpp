// The records of a save as trees: their printed form, write-print-parse-read
// round trips with every field set, and the reader's rules on broken or
// unfamiliar entries.
#include "gamestate/save_records.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "script/cell_printer.h"

using tokenizer::Tokenizer;

namespace {

template <class R>
std::u16string written(const R& record) {
  Tokenizer tk;
  return tokenizer::toText(record.toTree(tk));
}

// Parses the text and reads its one form into the record.
template <class R>
bool readText(R& record, std::u16string_view text) {
  Tokenizer tk(Tokenizer::kNoStringLimit);
  EXPECT_TRUE(tk.parse(text) && !tk.unclosed()) << testing::PrintToString(std::u16string(text));
  return record.fromTree(tokenizer::carOf(tk.root()));
}

// Written, read back into a new record and written again: the same text.
template <class R>
void expectRoundTrip(const R& record) {
  const std::u16string text = written(record);
  R back;
  EXPECT_TRUE(readText(back, text));
  EXPECT_EQ(written(back), text);
}

const std::u16string kFreshMusic =
    u"((loopnum . 0) (loopend . 0) (loopstart . 0) (loopsetting . 0) (startposition . 0) (volume . 100) "
    u"(music . #f))";

PresentationState everyField() {
  PresentationState p;
  p.menu = {3, 1, 0, 1};
  p.msgwin = {2, 0, u"一行目\n二行目", 1, 4, 10, -20, {u"一行目", u"", u"\n二行目"}};
  p.picture = {APValue(u"bg/room"), 1, 2, 640, 480};
  p.cell[5] = {APValue(int32_t{12}), 1, 10, 20, 30, 40, 0, 0, 30, 40, 128, 3};
  SavedParts& part = p.parts[2];
  part = {7, 1, 5, 6, 200, 4, 2, 0, APValue(int32_t{64}), APValue(u"h"), APValue(int32_t{2}), APValue(u"はい"),
          {{1, 100}, {2, 101}}, {{0, -15654349}}};
  p.fader = {0, 10, 20, 128};
  p.mouse = {1, APValue(u"hand")};
  p.music[1] = {APValue(u"bgm01"), 80, 1000, 1, 2000, 9000, 3};
  p.music[3].music = APValue(int32_t{4});
  p.soundVolume = 70;
  p.voiceVolume = {{3, 50}};
  p.plf = {{1, 9}, {-2, -1}};
  p.pls = {{2, u"名前"}};
  auto layer = std::make_unique<LayerEntry>();
  layer->no = 4;
  layer->mainPictureNo = 30;
  p.layers.layers[4] = std::move(layer);
  auto picture = std::make_unique<PictureEntry>();
  *picture = {1, 30, APValue(u"cg/face"), 1, 4};
  p.layers.pictures[30] = std::move(picture);
  return p;
}

TEST(SaveRecords, EachRecordPrintsInItsOrder) {
  EXPECT_EQ(written(PresentationState()),
            u"((pls) (plf) (layer (group) (layer) (picture)) (voice (voice-volume)) (sound (volume . 100)) (music " +
                kFreshMusic + u" " + kFreshMusic + u" " + kFreshMusic + u" " + kFreshMusic +
                u") (mouse (showflag . 2) (cursor . -1)) (fader (a . -1) (b . -1) (g . -1) (r . -1)) (parts) (cell) "
                u"(picture (th . 0) (tw . 0) (ty . 0) (tx . -1) (picno . #f)) (msgwin (texts) (posY . 0) (posX . 0) "
                u"(posIndex . 0) (keywait . -1) (text . \"\") (visible . #t) (cfgno . 0)) (menu (show . #f) "
                u"(autohide . #f) (enable . #f) (cfgno . -1)))");

  EXPECT_EQ(written(SaveSlotInfo{12, u"第一章", 1700000000, 3, 4}),
            u"((routeID . 4) (stateID . 3) (comment . \"第一章\") (savetime . 1700000000) (sceneno . 12))");

  FrameStack stack;
  stack.frames = {{2, 1, -1, -1, 7, {0, 5}, {}}, {3, -1, 4, -1, 0, {}, {9}}};
  stack.acc = 1;
  stack.nextPrg = 5;
  EXPECT_EQ(written(stack),
            u"((acc . 1) (reflag . 0) (next-prg . 5) (stack ((sce . 2) (set . 1) (sub . -1) (scriptFunc . -1) "
            u"(pc . 7) (local 0 5) (args)) ((sce . 3) (set . -1) (sub . 4) (scriptFunc . -1) (pc . 0) (local) "
            u"(args 9))))");
}

TEST(SaveRecords, EveryFieldSurvivesWritePrintParseRead) {
  expectRoundTrip(everyField());
  expectRoundTrip(SaveSlotInfo{-1, u"セーブ 1", 0, 0, 2});

  SavedGameState state;
  state.lastSPID = 8;
  state.bit = {0, 1, 0, 1};
  state.flag = {5};
  state.word = std::vector<int32_t>(100, 0);
  state.word[99] = -7;
  state.userstack.frames = {{2, 1, -1, -1, 7, {0, 5}, {3}}};
  state.userstack.reflag = 1;
  state.presentation = everyField();
  expectRoundTrip(state);
}

TEST(SaveRecords, ZeroAndEmptyEntriesAreLeftOut) {
  PresentationState p;
  p.plf = {{1, 0}, {2, 3}};
  p.pls = {{1, u""}, {2, u"x"}};
  p.voiceVolume = {{0, 0}};
  p.parts[1].eventno = {{1, 0}, {2, 5}};
  const std::u16string text = written(p);
  EXPECT_NE(text.find(u"((pls (2 . \"x\")) (plf (2 . 3)) "), std::u16string::npos) << testing::PrintToString(text);
  EXPECT_NE(text.find(u"(voice (voice-volume))"), std::u16string::npos);
  EXPECT_NE(text.find(u"(color) (eventno (2 . 5))"), std::u16string::npos);

  SavedGameState state;
  state.bit = {0, 0, 7, 0};
  EXPECT_NE(written(state).find(u"(word) (flag) (bit (2 . 7)) (lastSPID . -1))"), std::u16string::npos);
}

TEST(SaveRecords, ReaderStopsAtAnIntegerHeadAndSkipsUnknownKeys) {
  PresentationState p;
  // Also then the music ends with its four channels.
  EXPECT_FALSE(readText(p, u"((sound (volume . 7)) (music ((volume . 5))) (42 . 1) (menu (cfgno . 5)))"));
  EXPECT_EQ(p.soundVolume, 7);
  EXPECT_EQ(p.menu.cfgno, -1);
  ASSERT_EQ(p.music.size(), 4u);
  EXPECT_EQ(p.music[0].volume, 5);

  // Unknown keys, values of the wrong type and a bad cell leave the rest.
  PresentationState q;
  EXPECT_TRUE(readText(q, u"((odd . 1) (music ((volume . 5) (odd . 2))) (sound (volume . \"9\")) "
                          u"(cell (1 (x . 4) (odd . 3)) (a (x . 5)) (2 (x . 6))) (msgwin (text . \"hi\")))"));
  ASSERT_EQ(q.music.size(), 4u);
  EXPECT_EQ(q.music[0].volume, 5);
  EXPECT_EQ(q.music[1].volume, 100);
  EXPECT_EQ(q.soundVolume, 100);
  ASSERT_EQ(q.cell.size(), 1u);
  EXPECT_EQ(q.cell[1].x, 4);
  EXPECT_EQ(q.cell[1].tx, -1);
  EXPECT_EQ(q.msgwin.text, u"hi");

  // A layer state whose list holds a non-entry fails the record; the entries
  // around it are still read.
  PresentationState r;
  EXPECT_FALSE(readText(r, u"((sound (volume . 8)) (layer (picture) 5) (menu (cfgno . 3)))"));
  EXPECT_EQ(r.soundVolume, 8);
  EXPECT_EQ(r.menu.cfgno, 3);
}

TEST(SaveRecords, SlotAndFrameDefaultsForMissingEntries) {
  SaveSlotInfo slot;
  EXPECT_TRUE(readText(slot, u"((comment . 5) (stateID . 2) (odd 1 2))"));
  EXPECT_EQ(slot.sceneno, -1);
  EXPECT_EQ(slot.routeID, -1);
  EXPECT_EQ(slot.savetime, -1);
  EXPECT_EQ(slot.stateID, 2);
  EXPECT_EQ(slot.comment, u"");

  FrameStack stack;
  EXPECT_TRUE(readText(stack, u"((stack ((pc . 3) (local 1 x 2)) 7 ((pc . 9))) (acc . 4))"));
  ASSERT_EQ(stack.frames.size(), 1u);
  const SavedFrame& f = stack.frames[0];
  EXPECT_EQ(std::vector<int32_t>({f.scenario, f.set, f.sub, f.scriptfunc, f.pc}),
            std::vector<int32_t>({0, -1, -1, -1, 3}));
  EXPECT_EQ(f.locals, std::vector<int32_t>({1}));
  EXPECT_EQ(stack.acc, 4);
  EXPECT_EQ(stack.nextPrg, -1);
}

TEST(SaveRecords, SparseIndexOutsideTheMachineEndsTheVector) {
  SavedGameState state;
  EXPECT_TRUE(readText(state, u"((bit (1 . 5) (65536 . 1) (2 . 6)) (flag (0 . 1) (-1 . 1)) (word (65535 . 3)) "
                              u"(lastSPID . 2))"));
  EXPECT_EQ(state.bit, std::vector<int32_t>({0, 5}));
  EXPECT_EQ(state.flag, std::vector<int32_t>({1}));
  ASSERT_EQ(state.word.size(), 65536u);
  EXPECT_EQ(state.word[65535], 3);
  EXPECT_EQ(state.lastSPID, 2);
}

}  // namespace
