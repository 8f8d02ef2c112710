// PresentationRestoreImpl: rebuilds the screen and the music channels from
// the game state's current presentation record, through the scene commands,
// the window configuration appliers and the sound glue only; it never edits
// the record itself, only the live music records. Installed on the StateMgr
// at start-up and run by the scheduler on each entry to the story. Main thread.
#pragma once

#include <cstdint>
#include <string>

#include "gamestate/state_mgr.h"
#include "sound/sorn.h"

class GameEnvironment;

class PresentationRestoreImpl : public PresentationRestore {
 public:
  // Holds no state: one instance serves every StateMgr.
  static PresentationRestoreImpl* instance();

  // In this order: menu, message window, background, script layers,
  // foreground cells, parts of the first parts layer, fader 1, pointer, then
  // music channels 0..3. File names go through the naming rules of
  // state.environment() (none: every name is empty, so no picture, part or
  // music is shown). Nothing is reported: a part without configuration is
  // skipped, music that cannot be played stops its channel.
  void apply(StateMgr& state) override;

 private:
  // A music record the channel can play: its file (non-empty path from the
  // music naming rule) and the media description under its loop setting.
  struct Playable {
    std::u16string path;
    SoundMediaInfo info;
  };
  static bool playable(const GameEnvironment* env, const MusicChannelRecord& record, Playable* out);

  // Channel c from live record L to saved record S: stop, keep or restart,
  // the channel volume set again at once, then L := S.
  static void restoreMusicChannel(StateMgr& state, int32_t channel);
};
