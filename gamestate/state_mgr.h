// StateMgr: the one game-state object. Run mode (system screens or the
// story), the frame stacks of both modes, the run flags of the message flow,
// the system variables and view flags, the story's presentation state with
// its recording setters, and the live music channels. Created by the
// application controller and handed to every built-in. Main thread, no locks.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gamestate/frame_stack.h"
#include "gamestate/presentation_state.h"
#include "gamestate/save_records.h"
#include "gamestate/system_settings.h"

class GameEnvironment;
class ScriptVM;
class StateMgr;

// Rebuilds the screen and the music from the current presentation state;
// implemented with the scene and the sound glue.
class PresentationRestore {
 public:
  virtual ~PresentationRestore() = default;
  virtual void apply(StateMgr& state) = 0;
};

// Reads and writes the system settings file; implemented by the save-data
// code. Each answers whether it succeeded.
class SystemFileStore {
 public:
  virtual ~SystemFileStore() = default;
  virtual bool load(StateMgr& state) = 0;
  virtual bool loadDefault(StateMgr& state) = 0;
  virtual bool save(StateMgr& state) = 0;
};

class StateMgr {
 public:
  static constexpr int32_t kSystemMode = 0;
  static constexpr int32_t kUserMode = 1;

  // Both pointers are borrowed and outlive the StateMgr; either may be null
  // where a caller needs neither (the scenario number then reads 0 and word
  // variables are not written).
  StateMgr(ScriptVM* machine, GameEnvironment* environment);

  ScriptVM* machine() const { return machine_; }
  GameEnvironment* environment() const { return environment_; }

  // ---- Run mode and run flags ----
  int32_t mode() const { return mode_; }
  // The scheduler switches the mode.
  void setMode(int32_t mode) { mode_ = mode; }
  bool isUserMode() const { return mode_ != kSystemMode; }

  uint8_t isForceSkip() const { return forceSkip_; }
  void setForceSkip(uint8_t on) { forceSkip_ = on; }
  uint8_t isSkipping() const { return skip_; }
  uint8_t setSkipping(uint8_t on);  // previous value
  uint32_t getResumeSkip() const { return resumeSkip_; }
  void setResumeSkip(uint32_t word) { resumeSkip_ = word; }
  uint8_t isAutoMode() const { return auto_; }
  uint8_t setAutoMode(uint8_t on);  // previous value
  uint8_t isMoviePlaying() const { return moviePlaying_; }
  void setMoviePlaying(uint8_t on) { moviePlaying_ = on; }

  // Clears force-skip, skip, resume-skip, auto and movie playing. With full
  // set the live music goes back to 4 default records and routeID and
  // lastSPID to -1.
  void resetModes(bool full);

  int32_t getLastSPID() const { return lastSPID_; }
  void setLastSPID(int32_t id) { lastSPID_ = id; }
  int32_t getRouteID() const { return routeID_; }
  void setRouteID(int32_t id) { routeID_ = id; }

  // word[index] := value through the machine (grows the vector, logs at
  // DEBUG, caps huge indexes with a WARN); a negative index does nothing.
  void setWordVar(int32_t index, int32_t value);

  // ---- Frame stacks ----
  // Each stack holds at most this many frames: deeper calls are a runaway
  // recursion, not a story.
  static constexpr size_t kMaxSavedFrames = 4096;
  // Snapshot of the machine's current frame onto the stack of the current
  // mode (pushFrameOn: of the given mode). With rewind the statement runs
  // again when the frame is re-entered. False, after an ERROR naming the
  // frame, when the stack is full (nothing is pushed; the run must end).
  bool pushFrame(ScriptVM& machine, bool rewind) { return pushFrameOn(machine, rewind, mode_); }
  bool pushFrameOn(ScriptVM& machine, bool rewind, int32_t mode);
  // Newest frame of the current mode's stack; false when it is empty. The
  // stack's registers stay.
  bool popFrame(SavedFrame& out);
  void clearSystemStack() { systemStack_.clear(); }
  // Empties the user stack and resets the current presentation.
  void resetUserState();
  void backupSystemStack() { systemStackBackup_ = systemStack_; }
  void restoreSystemStack() { systemStack_ = systemStackBackup_; }

  FrameStack& systemStack() { return systemStack_; }
  FrameStack& systemStackBackup() { return systemStackBackup_; }
  FrameStack& userStack() { return userStack_; }

  // ---- Presentation ----
  PresentationState& current() { return current_; }
  PresentationState& backup() { return backup_; }
  // What the four music channels play now.
  std::vector<MusicChannelRecord>& liveMusic() { return liveMusic_; }
  // The restorer is installed by the code that owns the scene; without one
  // applying does nothing.
  void setPresentationRestore(PresentationRestore* restore) { restore_ = restore; }
  void applyPresentationState();

  // ---- System settings file ----
  // The store is installed by the save-data code; without one the settings
  // keep their defaults, loading succeeds and saving writes nothing.
  void setSystemFileStore(SystemFileStore* store) { fileStore_ = store; }
  // Start-up: the settings file, then the default file as fallback.
  bool loadSystemFile();
  bool initSystemFile();
  // Writes the settings file now; a failure is logged by the store. True.
  bool saveSystemFile();
  // The same, answering whether the store wrote it (true without a store).
  bool writeSystemFile() { return fileStore_ == nullptr || fileStore_->save(*this); }

  // ---- Save slots and memory saves (state_mgr_saves.cpp) ----
  // What a script gives with a save and gets back for a slot.
  struct SaveInfo {
    int32_t sceneno = 0;
    int32_t savetime = 0;
    std::u16string comment;
  };
  // out := the machine's variables, the user stack with its registers and
  // the current presentation, with lastSPID = spid.
  bool captureGameState(int32_t spid, SavedGameState& out);
  // The machine's variables, the user stack and both presentation states
  // (current and backup) := the state's.
  void restoreGameState(const SavedGameState& state);
  // A new snapshot stored as ordinary slot n with the current route; false
  // when the route cannot be copied.
  bool saveToSlot(int32_t n, const SaveInfo& info);
  // saveToSlot, then the settings file; true only when both succeeded.
  bool saveAndWrite(int32_t n, const SaveInfo& info);
  // Ordinary slot n back: the run flags cleared, routeID a fresh copy of
  // the slot's route, lastSPID and the game state restored. False, with
  // nothing changed, for an empty slot or one that cannot be loaded.
  bool loadSave(int32_t n);
  // The same on memory slot n, which is never written to the file.
  bool memorySave(int32_t n);
  bool memoryLoad(int32_t n);
  // False, *out untouched, when ordinary slot n is empty.
  bool getSaveInfo(int32_t n, SaveInfo* out);
  bool setSaveComment(int32_t n, const std::u16string& text);
  // n < 0: every slot of that kind.
  bool eraseSave(int32_t n);
  bool eraseMemorySave(int32_t n);

  // ---- Flow mode (state_mgr_flowmode.cpp) ----
  // Records passing save point spid: a snapshot that resumes after the
  // calling statement, on the current route (a new one when there is none).
  // In appreciation mode (sysflag 4 not 0) nothing is recorded and the
  // answer is true. False, after a WARN and with nothing changed, when the
  // chart refuses the step or the point is already on the route.
  bool flowmode_pass(int32_t spid);
  // Back to save point spid on a new branch of its route: the run flags
  // cleared, a playing movie stopped, routeID the branch, lastSPID spid and
  // the snapshot restored. False, with nothing changed, when spid has no
  // record.
  bool flowmodeLoad(int32_t spid);
  // Forgets every route, snapshot and slot (memory ones too), sets routeID
  // and lastSPID to -1 and writes the settings file. True.
  bool resetFlowMode();
  // The route recorded for save point spid; -1 when it has none.
  int32_t getSavePointRoute(int32_t spid);
  // True when the current route goes from save point a straight to b.
  bool routeHasSavePoint(int32_t a, int32_t b) const;

  // ---- Layer table (the current presentation's; state_mgr_layers.cpp) ----
  // Selectors: 1 the layer, 2 its group, 3 its group when it has one, else
  // the layer. Every operation answers false after a logged refusal. In
  // system mode every one but gl_visible, gl_capture, resetLayers and the
  // hit-map ones does nothing and answers true.
  LayerTable& layerTable() { return current_.layers; }
  // Brings every queued layer change to the screen.
  void commitAllLayers();
  // Kind 1: n when layer n exists, else -2; kind 2: the layer of picture n,
  // -1 when absent; other kinds -2.
  int32_t resolveLayer(int32_t kind, int32_t n) const;
  int32_t layerOfPicture(int32_t picture) const;
  // Clears the table and rebuilds the render side.
  bool resetLayers();
  bool gl_configure(int32_t layer, int32_t mode, int32_t vramWidth, int32_t vramHeight);
  bool gl_release_layers(int32_t lo, int32_t hi);
  bool gl_commit(int32_t layer);
  bool gl_composition(int32_t selector, int32_t layer, int32_t op);
  bool gl_mask(int32_t selector, int32_t layer, int32_t op);
  bool gl_maskpicture(int32_t selector, int32_t layer, int32_t picture, int32_t edge);
  bool gl_init_picture(int32_t layer, int32_t picture, const APValue& url, int32_t type, int32_t numsel);
  bool gl_delete_picture(int32_t layer, int32_t picture);
  bool gl_delete_all_picture(int32_t layer);
  bool gl_sa_ctrl(int32_t selector, int32_t layer, int32_t picture, int32_t ctrl);
  bool gl_sa_loopflag(int32_t selector, int32_t layer, int32_t picture, bool flag);
  bool gl_order(int32_t layer, int32_t order);
  bool gl_single_change_picture(int32_t layer, int32_t picture);
  bool gl_vram_clear(int32_t layer, int32_t r, int32_t g, int32_t b, int32_t a);
  // The 16-integer drawing record: see VramDrawRecord (scene/render_commands.h).
  bool gl_vram_draw_picture(int32_t layer, const std::array<int32_t, 16>& record);
  // record[0] is the filter mode (1 grey, 2 sepia); `unused` is not read.
  bool gl_vram_modify(int32_t layer, int32_t unused, const std::array<int32_t, 16>& record);
  bool gl_vram_copy(int32_t target, int32_t source);
  // Layer < 0: the whole screen. Kind < 1 commits without a transition.
  bool gl_transit(int32_t layer, int32_t kind, int32_t duration, int32_t parameter, int32_t rule,
                  const std::array<int32_t, 8>& values);
  bool gl_transit_finish(int32_t layer);
  bool gl_motion(int32_t selector, int32_t layer, int32_t kind, int32_t duration, int32_t parameter, int32_t mask,
                 const MotionParams& record);
  // Stops the motion or effect running on the layer's (or its group's) node
  // at once, ending it as stopAnimator does; commands still queued are left
  // for the next commit. Layer -1: the whole screen's effect.
  bool gl_motion_finish(int32_t selector, int32_t layer);
  // Layer -1: the whole screen, at once.
  bool gl_effect(int32_t selector, int32_t layer, int32_t kind, int32_t duration, int32_t parameter,
                 const std::array<int32_t, 8>& values);
  // Layer < 0: every layer at once.
  bool gl_visible(int32_t selector, int32_t layer, bool on);
  // Layer < 0: the whole screen. width and height 0 keep the image's own.
  bool gl_capture(int32_t layer, const APValue& storage, int32_t alpha, int32_t encode, int32_t width,
                  int32_t height);
  bool gl_single_link(int32_t a, int32_t b);
  bool gl_single_unlink(int32_t layer, int32_t how);
  bool gl_hitmap_area(int32_t layer, int32_t parts);
  bool gl_hitmap_area_event(int32_t layer, int32_t type, int32_t number);
  bool gl_hitmap_cursor(int32_t layer, int32_t area, const APValue& cursor);
  bool gl_hitmap_accmove_config(int32_t layer, int32_t area, int32_t ctrl, int32_t cond, int32_t unit,
                                int32_t current);
  bool gl_hitmap_accmove_getcount(int32_t layer, int32_t area, int32_t* out);
  bool gl_hitmap_last_mouse_position(int32_t layer, int32_t which, int32_t* x, int32_t* y);

  // ---- System variables ----
  SystemSettings& settings() { return settings_; }
  int32_t getSysflagInt(int32_t key) const;
  void setSysflagInt(int32_t key, int32_t value) { settings_.sysflagInt[key] = value; }
  std::u16string getSysflagString(int32_t key, const std::u16string& fallback) const;
  void setSysflagString(int32_t key, const std::u16string& text) { settings_.sysflagString[key] = text; }

  // sysflag 256 / 257 / 261 in user mode, 0 in system mode.
  int32_t getTextOutputSetting() const;
  int32_t getSkipSetting() const;
  int32_t getResumeSkipSetting() const;
  // The auto-mode wait in ms from the auto speed (sysflag 260); -1 in system
  // mode or without auto mode.
  int32_t getAutoWaitMs() const;
  bool isCursorClipOn() const { return getSysflagInt(262) == 1; }

  // Enables event 1 (skip) when the skip setting is not 0 and event 29
  // (auto) when the auto wait is above 0.
  void applySkipAutoEventMask();
  // Enables the system events (quick save, quick load, save, load,
  // configuration, backlog, restart, quit, erase window, flow mode), then
  // disables the saving and loading ones again in appreciation mode.
  void applySystemEventMask();

  // ---- Volumes (recorded in both modes) ----
  int32_t movieVolume(int32_t v) const;
  int32_t getMusicVolume(int32_t channel) const;
  int32_t setMusicVolume(int32_t channel, int32_t v);
  int32_t getSoundVolume() const;
  int32_t setSoundVolume(int32_t v);
  int32_t getVoiceVolume(int32_t character) const;
  int32_t setVoiceVolumeSetting(int32_t character, int32_t v);
  int32_t getVoiceVolumeSetting(int32_t character) const;

  // Saved counters plf[256 + n] (both modes; the key wraps in 32 bits).
  // nextPlayCounter gives the counter (0 when absent) and stores it + 1.
  int32_t nextPlayCounter(int32_t n);
  void setPlayCounter(int32_t n, int32_t v);

  // ---- View flags ----
  uint8_t isViewFlagSet(int32_t kind, int32_t id) const;
  uint8_t setViewFlag(int32_t kind, int32_t id, int32_t value);  // previous byte
  uint8_t markPictureViewed(int32_t picture, int32_t value) { return setViewFlag(1, picture, value); }
  uint8_t isTextRead(int32_t line) const;
  uint8_t markTextRead(int32_t line);  // previous byte
  // Erases the kinds first..last (last below first reads as first).
  void clearViewFlagKinds(int32_t first, int32_t last);

  // ":flag-constants" / ":string-constants" with a default for an absent key.
  int32_t getFlagConstant(int32_t key, int32_t fallback) const;
  std::u16string getStringConstant(int32_t key, const std::u16string& fallback) const;

  // ---- Recording setters: most record in user mode only ----
  void setSavedMenuCfgno(int32_t n);         // always
  void setSavedMenuEnable(uint8_t on);       // always
  void setSavedMenuAutohide(uint8_t on);     // always
  void setSavedMenuShow(uint8_t on);         // always
  void setSavedMsgwinCfgno(int32_t n);
  void setSavedMsgwinVisible(int32_t on);
  void setSavedMsgwinPos(int32_t index, int32_t x, int32_t y);
  void setSavedMsgwinKeywait(int32_t kind);
  void appendSavedMsgwinText(const std::u16string& text);
  void clearSavedMsgwinText();
  void setSavedPicture(const APValue& picno, int32_t tx, int32_t ty, int32_t tw, int32_t th);
  void setSavedPictureRect(int32_t tx, int32_t ty, int32_t tw, int32_t th);
  void setSavedCell(int32_t n, const APValue& picno, int32_t switchNo, int32_t x, int32_t y, int32_t w,
                    int32_t h, int32_t tx, int32_t ty, int32_t tw, int32_t th, int32_t opacity, int32_t zorder);
  // For each bit of mask's low byte: set stores the caller's values into
  // cell n, clear gives the cell's values back. 1 switch, 2 x/y, 4 w/h,
  // 8 tx/ty, 16 tw/th, 32 opacity, 64 zorder. The cell is created when
  // absent (in user mode).
  void exchangeSavedCellFields(int32_t n, int32_t mask, int32_t& switchNo, int32_t& x, int32_t& y,
                               int32_t& w, int32_t& h, int32_t& tx, int32_t& ty, int32_t& tw,
                               int32_t& th, int32_t& opacity, int32_t& zorder);
  void eraseSavedCell(int32_t n);
  void clearSavedCells();
  void setSavedParts(int32_t n, int32_t partsNo, int32_t visible, int32_t x, int32_t y, int32_t zorder,
                     int32_t opacity, int32_t keyorder);
  void setSavedPartsVisible(int32_t n, int32_t visible);
  void setSavedPartsPos(int32_t n, int32_t x, int32_t y);
  void setSavedPartsWH(int32_t n, int32_t w, int32_t h);
  void setSavedPartsZorder(int32_t n, int32_t z);
  void setSavedPartsOpacity(int32_t n, int32_t opacity);
  void setSavedPartsEnable(int32_t n, int32_t enable);
  // A number below 1 removes the kind's entry.
  void setSavedPartsEventNo(int32_t n, int32_t kind, int32_t number);
  void setSavedPartsAnimationCode(int32_t n, int32_t code);
  void setSavedPartsText(int32_t n, const APValue& text);
  // A negative kind changes nothing in the colour map.
  void setSavedPartsColor(int32_t n, int32_t kind, int32_t colour);
  void eraseSavedParts(int32_t n);
  // n negative removes every part.
  void removeSavedParts(int32_t n);
  void clearSavedParts();
  void clearSavedFader();
  void setSavedFader(int32_t r, int32_t g, int32_t b, int32_t a);
  void setSavedMouseShow(int32_t flag);
  void setSavedMouseCursor(const APValue& cursor);
  // Always; channels 0..3 only. Copies the record into the live music.
  void setSavedMusic(int32_t channel, const APValue& music, int32_t startposition, int32_t loopsetting,
                     int32_t loopstart, int32_t loopend, int32_t loopnum);
  void setPlayString(int32_t n, const std::u16string& text) { current_.pls[n] = text; }  // always
  std::u16string getPlayString(int32_t n, const std::u16string& fallback) const;

 private:
  SavedCell& cellOf(int32_t n);
  SavedParts& partsOf(int32_t n);
  int32_t sysflagOf(int32_t key) const { return getSysflagInt(key); }

  int32_t mode_ = kSystemMode;
  FrameStack systemStack_;
  FrameStack systemStackBackup_;
  FrameStack userStack_;
  PresentationState current_;
  PresentationState backup_;
  SystemSettings settings_;
  ScriptVM* machine_;
  GameEnvironment* environment_;
  PresentationRestore* restore_ = nullptr;
  SystemFileStore* fileStore_ = nullptr;
  uint8_t forceSkip_ = 0;
  uint8_t skip_ = 0;
  uint32_t resumeSkip_ = 0;
  uint8_t auto_ = 0;
  uint8_t moviePlaying_ = 0;
  std::vector<MusicChannelRecord> liveMusic_;
  int32_t routeID_ = -1;
  int32_t lastSPID_ = -1;
};
