// The presentation restore: the recorded menu, message window, pictures,
// script layers, parts, fader and pointer go back to the scene at once (no
// transitions), and each music channel keeps, restarts or stops its track.
// Touches the scene, the pointer and the sound glue, never the recorded
// presentation. Main thread.
#include "userfunc/presentation_restore.h"

#include <map>
#include <string>
#include <vector>

#include "app/game_environment.h"
#include "scene/scene_facade.h"
#include "scene/scene_setup.h"
#include "sound/sound_glue.h"
#include "userfunc/scene_config.h"

namespace {

void RestoreMenu(const PresentationState::Menu& menu) {
  sceneMenu_setUnusedFlag(menu.enable != 0);
  setMenuConfig(menu.cfgno);
  sceneMenu_setAutoHide(menu.autohide != 0);
  sceneMenu_show(menu.show != 0, false, false);
}

void RestoreMessageWindow(const PresentationState::Msgwin& msgwin) {
  sceneMsg_setVisible(msgwin.visible != 0);
  setMsgwinConfig(msgwin.cfgno);
  sceneMsg_setPosition(msgwin.posIndex, msgwin.posX, msgwin.posY);
  // Clearing also hides a key-wait icon left from before.
  sceneMsg_clearText();
  // Display mode 0: the whole text at once. Each text of the page is shown
  // again in turn, so the window ends on the last one as it was and the
  // page goes into the message log text by text. A save that kept only the
  // joined text (or texts that do not make it up) shows that as one.
  std::u16string joined;
  for (const std::u16string& text : msgwin.texts) joined += text;
  if (!msgwin.texts.empty() && joined == msgwin.text) {
    for (const std::u16string& text : msgwin.texts) sceneMsg_showText(text, 0);
  } else if (!msgwin.text.empty()) {
    sceneMsg_showText(msgwin.text, 0);
  }
  if (msgwin.keywait >= 0) sceneMsg_setKeyWaitIcon(msgwin.keywait);
}

void RestoreBackground(const GameEnvironment* env, const PresentationState::Picture& picture) {
  // A boolean (either value) means no picture was ever set.
  if (picture.picno.isBool()) {
    sceneBG_changePicture(0, u"", -1, 0, 0, 0, 0, 0, 0, 0, 0);
    return;
  }
  const std::u16string path = env ? env->getImagePath(picture.picno) : std::u16string();
  sceneBG_changePicture(0, path, picture.tx, picture.ty, picture.tw, picture.th, 0, 0, 0, 0, 0);
}

void RestoreCells(const GameEnvironment* env, const std::map<int32_t, SavedCell>& cells) {
  sceneFG_removeAllCells();
  for (const auto& [n, cell] : cells) {
    const std::u16string path = env ? env->getCellImagePath(cell.picno) : std::u16string();
    const CellFields fields = {cell.switchNo, cell.x,  cell.y,  cell.w,       cell.h,     cell.tx,
                               cell.ty,      cell.tw, cell.th, cell.opacity, cell.zorder};
    sceneFG_changeCell(n, 0, path, fields, 0, 0, 0, 0, 0);
  }
}

void RestoreParts(const GameEnvironment* env, const std::map<int32_t, SavedParts>& parts) {
  scenePartsA_removeAll();
  for (const auto& [n, part] : parts) {
    const SharedRef<XGChipConfig::ConfigBase> config =
        env ? env->findPartsConfig(part.partsNo) : SharedRef<XGChipConfig::ConfigBase>();
    if (!config) continue;
    // The key order is not the scene's business.
    scenePartsA_addPart(n, part.visible != 0, part.x, part.y, part.opacity, part.zorder, config.get());
    scenePartsA_setEnabled(n, part.enable != 0);
    if (part.w.isInt()) scenePartsA_setSize(n, part.w.ivalue, part.h.asInt());
    if (part.animationCode.isInt()) scenePartsA_setAnimationCode(n, part.animationCode.ivalue);
    if (part.text.isString()) scenePartsA_setString(n, part.text.svalue);
    for (const auto& [kind, number] : part.eventno) scenePartsA_setEventNumber(n, kind, number);
    for (const auto& [kind, colour] : part.color) {
      scenePartsA_setTextColor(n, kind, static_cast<uint32_t>(colour));
    }
  }
}

void RestoreFader(const PresentationState::Fader& fader) {
  faderClear1();
  // r below 0 records that no fader colour is set.
  if (fader.r >= 0) faderStart1(fader.r, fader.g, fader.b, fader.a, 0, 0);
}

void RestorePointer(const GameEnvironment* env, const PresentationState::Mouse& mouse) {
  // An empty path (cursor -1) drops the game's pointer picture.
  cmd_setCursorFile(env ? env->getCursorPath(mouse.cursor) : std::u16string());
  cmd_setCursorShowMode(mouse.showflag);
}

}  // namespace

PresentationRestoreImpl* PresentationRestoreImpl::instance() {
  static PresentationRestoreImpl restore;
  return &restore;
}

void PresentationRestoreImpl::apply(StateMgr& state) {
  const GameEnvironment* env = state.environment();
  const PresentationState& current = state.current();
  RestoreMenu(current.menu);
  RestoreMessageWindow(current.msgwin);
  RestoreBackground(env, current.picture);
  state.layerTable().rebuildRenderSide();
  RestoreCells(env, current.cell);
  RestoreParts(env, current.parts);
  RestoreFader(current.fader);
  RestorePointer(env, current.mouse);
  for (int32_t channel = 0; channel < kMusicChannels; ++channel) restoreMusicChannel(state, channel);
}

bool PresentationRestoreImpl::playable(const GameEnvironment* env, const MusicChannelRecord& record,
                                       Playable* out) {
  if (record.music.isBool() || !env) return false;
  out->path = env->getMusicPath(record.music);
  if (out->path.empty()) return false;
  return SoundGetMediaInfo(out->path, &out->info, record.loopsetting, record.loopstart, record.loopend);
}

void PresentationRestoreImpl::restoreMusicChannel(StateMgr& state, int32_t channel) {
  const size_t c = static_cast<size_t>(channel);
  // Both lists hold four records; a short one reads as silent channels.
  std::vector<MusicChannelRecord>& live = state.liveMusic();
  if (live.size() < static_cast<size_t>(kMusicChannels)) live.resize(kMusicChannels);
  const std::vector<MusicChannelRecord>& recorded = state.current().music;
  const MusicChannelRecord saved = c < recorded.size() ? recorded[c] : MusicChannelRecord();
  const GameEnvironment* env = state.environment();

  Playable next;
  if (!playable(env, saved, &next)) {
    SoundStreamStop(channel, 0);
  } else {
    Playable now;
    int32_t position = -1;
    // The track already playing goes on when it is the same file, playing,
    // with the same loop region; but when both loop, a live record with a
    // loop count (1 or more) gives way to a saved one without.
    const bool keep = playable(env, live[c], &now) && now.path == next.path &&
                      SoundStreamGetPositionMs(channel, position) && position >= 0 &&
                      now.info.loopA == next.info.loopA && now.info.loopB == next.info.loopB &&
                      (now.info.loopA < 0 || live[c].loopnum < 1 || next.info.loopA < 0 || saved.loopnum >= 1);
    if (!keep) {
      // A file that opens no stream must not leave the old track playing
      // under a record that names the new one.
      const bool started = SoundStreamOpen(channel, next.path, saved.loopsetting, saved.loopstart, saved.loopend) &&
                           SoundStreamPlayFromMs(channel, saved.startposition);
      if (!started) SoundStreamStop(channel, 0);
    }
  }
  // Always at once, so a volume setting changed meanwhile takes effect.
  SoundStreamSetVolume(channel, state.getMusicVolume(channel), 0);
  live[c] = saved;
}
