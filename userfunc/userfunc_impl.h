// UserfuncImpl: the table of numbered built-in functions, the argument
// readers and result makers every handler uses, the skip-state rules of
// timed handlers, and the counters the waits compare events with. Families
// register their handlers as they are built; a number without a handler
// takes the unknown-number path. Lives as long as the application
// controller. Main thread.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/log.h"
#include "app/shared_ref.h"
#include "script/userfunc_base.h"
#include "setup/setup_records.h"
#include "userfunc/message_log.h"

class GameEnvironment;
class SetupAPIImpl;
class StateMgr;

// One setup handle of the scripts: the worker of a setup run (null when the
// handle has none) and what the setup built-ins keep for it. The worker
// holds its own references to the parsed files through the request.
struct SetupHandle {
  SetupAPIImpl* worker = nullptr;
  SharedRef<libsetup::Response> lastResponse;  // the last one 9014 took
  SharedRef<ns_SetupIni::SetupIni> setupSettings;
  SharedRef<ns_SetupIns::ActionTable> actionTable;
  SharedRef<ns_SetupIns::FileTable> fileTable;
  SharedRef<ns_SetupIni::PatcherIni> patchSettings;
  SharedRef<ns_SetupIns::FileTable> patchFileTable;
  std::u16string installedPath;  // from the last Res_DoneSetup
};

class UserfuncImpl : public UserfuncBase {
 public:
  using Args = vector_mtus<APValue>;
  using Handler = std::unique_ptr<UFResult> (UserfuncImpl::*)(const Args& args);

  // The state may be null only for a table that runs no handler reading it.
  UserfuncImpl(GameEnvironment* environment, StateMgr* state);
  // Destroys the setup workers still held by the handle table.
  ~UserfuncImpl() override;

  // Logs "未定義のUserfunc番号です(%d)\n" and gives null for a number
  // without a handler.
  std::unique_ptr<UFResult> call(int32_t number, const Args& args) override;
  bool isRegistered(int32_t number) const { return handlers_.count(number) != 0; }

  // Sound-effect channel 0 (tone slot 0) plays effects, channel 1 (tone
  // slot 1) the voice.
  static constexpr int32_t kEffectChannel = 0;
  static constexpr int32_t kVoiceChannel = 1;

  // The place ("file:line") of the statement that called the built-in;
  // empty when it is not known.
  std::u16string statementPlace() const;
  // LogWrite for a mistake in the calling statement (an argument out of
  // range, missing or of no use): the statement's place follows the text.
  template <class... A>
  void logAtStatement(uint32_t level, std::u16string_view format, const A&... args) const {
    if (IsLogLevelEnabled(level)) LogWriteAt(level, statementPlace(), format, args...);
  }

  // ---- Argument readers (index past the list: the default) ----
  // The integer when argument i is one, else the default.
  static int32_t intArg(const Args& args, size_t i, int32_t fallback = 0);
  static bool flagArg(const Args& args, size_t i) { return intArg(args, i) != 0; }
  // A string as given; an integer n names saved string variable n; any other
  // value reads string variable 0.
  std::u16string getStringArg(const Args& args, size_t i, const std::u16string& fallback = u"") const;
  // A text that only a string gives (no string variables): anything else,
  // and a missing argument, reads as the empty text.
  static std::u16string stringOnlyArg(const Args& args, size_t i);
  // A picture, sound, movie, cursor or storage argument, handed unchanged to
  // its kind's resolver. A missing one is boolean false, "no resource",
  // which every resolver turns into the empty path.
  static APValue resourceArg(const Args& args, size_t i);
  static bool hasArg(const Args& args, size_t i) { return i < args.size(); }

  // ---- Answers ----
  // A text's length for a script: UTF-16 units, at most INT32_MAX.
  static int32_t lengthOf(std::u16string_view text);
  // A position as one answer: x in the high 16 bits, y's low 16 bits in the
  // low half (packed unsigned, so no value overflows).
  static int32_t packXY(int32_t x, int32_t y);

  // ---- Skip state ----
  bool isUserMode() const;
  // User mode and (message skip or force skip).
  bool isSkipActive() const;
  // Message skip off, the resume-skip word from the resume setting.
  void stopSkipForEffect();
  bool isAutoActive() const;
  // The auto wait in user mode, else 0.
  int32_t autoWaitMs() const;
  // The skip rules every timed built-in applies to its wait mode. A mode
  // outside 0..3 counts as 0; under force skip 2 and 3 become 1; then, with
  // skip active, 0 and 1 pass the wait over (atOnce, mode 0, and a frame
  // still passes when the caller's own rule, yieldAtOnce, says so), while 2
  // and 3 stay forced and the caller must stop message skip (stopSkip); 3
  // becomes 1.
  struct WaitFit {
    int32_t mode = 0;
    bool atOnce = false;
    bool yield = false;
    bool stopSkip = false;
  };
  WaitFit fitWaitMode(int32_t mode, bool yieldAtOnce) const;
  // fitWaitMode for a call with two durations or counts a and b: passed
  // over, both become 0 and a frame passes when either was 0. True when the
  // caller must stop message skip (stopSkipForEffect).
  bool normalizeWaitMode(int32_t& mode, int32_t& a, int32_t& b, bool& yield) const;

  // ---- Result makers ----
  static std::unique_ptr<UFResult> make_value_ufresult(int32_t value);
  static std::unique_ptr<UFResult> make_zero_ufresult() { return make_value_ufresult(0); }
  static std::unique_ptr<UFResult> make_nextframe_ufresult();
  // A null checker gives a wait result without a checker (the scheduler
  // reports it).
  static std::unique_ptr<UFResult> make_wait_ufresult(std::unique_ptr<Checker> checker);
  static std::unique_ptr<UFResult> make_yield_ufresult();
  // Value 0, then the scheduler handles event code with the parameter.
  static std::unique_ptr<UFResult> make_runcontrol_ufresult(int32_t code, int32_t parameter);

  // Mode 0: next frame (yield) or value 0, the finalizer unused; 1 and 3:
  // makeresult_tonext_ok; 2: makeresult_forcewait. Other modes count as 0.
  std::unique_ptr<UFResult> make_modewait_ufresult(int32_t mode, int32_t ms, bool yield,
                                                   std::unique_ptr<WaitFinalizer> finalizer);
  // Ends on skip, the confirm input (code 16) or after ms.
  std::unique_ptr<UFResult> makeresult_tonext_ok(int32_t ms, std::unique_ptr<WaitFinalizer> finalizer);
  // Ends after ms or on force skip; a press then release turns skip off.
  std::unique_ptr<UFResult> makeresult_forcewait(int32_t ms, std::unique_ptr<WaitFinalizer> finalizer);
  // Key-wait icon `icon`; waits for the confirm input.
  std::unique_ptr<UFResult> make_keywait_ufresult(int32_t icon, std::unique_ptr<WaitFinalizer> finalizer);
  // Icon icon + 2; waits for the text to be revealed, then auto mode's wait.
  std::unique_ptr<UFResult> make_autowait_ufresult(int32_t icon, int32_t ms,
                                                   std::unique_ptr<WaitFinalizer> finalizer);
  std::unique_ptr<UFResult> make_autowait_after_ufresult(int32_t icon, int32_t ms,
                                                         std::unique_ptr<WaitFinalizer> finalizer);
  // While the text is being revealed: turns into a key wait when it is done.
  std::unique_ptr<UFResult> make_key_or_textdone_wait_ufresult(int32_t icon,
                                                               std::unique_ptr<WaitFinalizer> finalizer);
  // Event wait over the mask; the deadline is a 64-bit clock time given as
  // two halves (negative: none).
  std::unique_ptr<UFResult> make_waitforevent_ufresult(int32_t mask, int32_t deadlineLow, int32_t deadlineHigh,
                                                       std::unique_ptr<WaitFinalizer> finalizer);
  // The same with the deadline ms milliseconds from now.
  std::unique_ptr<UFResult> make_waitforevent_in_ufresult(int32_t mask, int32_t ms,
                                                          std::unique_ptr<WaitFinalizer> finalizer);

  // The state every handler reads; never null while handlers run.
  StateMgr& stateMgr() const { return *state_; }
  GameEnvironment* environment() const { return environment_; }
  // The random seed of built-ins 5200 and 5201 (13013 until set).
  int32_t setting() const { return setting_; }
  // Ids of the last fades of faders 1 and 2 and of the last movie; the
  // counters start at 0 and advance before each use.
  int32_t lastFade1Id() const { return fade1Id_; }
  int32_t lastFade2Id() const { return fade2Id_; }
  int32_t movieId() const { return movieId_; }
  int32_t nextFade1Id() { return ++fade1Id_; }
  int32_t nextFade2Id() { return ++fade2Id_; }
  int32_t nextMovieId() { return ++movieId_; }

  // ---- Text output and the message log ----
  // Shows a line of text (a string) or carries out text code -1 "clear",
  // -2 "wait-e" or -3 "wait-w" (an integer). skip: the line is being
  // skipped (the text shows at once, a wait passes after one frame);
  // displayMode: the reveal speed otherwise; lineId: the line's read-mark
  // number, -1 when it has none. Any other code or value: logged at ERROR,
  // null (the run ends).
  std::unique_ptr<UFResult> writeText(const APValue& value, bool skip, int32_t displayMode, int32_t lineId);
  // In user mode logs the window's page unless it is logged already, then
  // clears the saved and the shown message text. The mode changes nothing.
  void logAndClearText(int32_t mode);
  // Logs a choice record: the caption, each offered choice (bit i of the
  // mask), a separator, the answer, a separator. A chosen index that is not
  // an offered choice is a cancel.
  void logChoices(int32_t mask, const std::array<std::u16string, 8>& texts, int32_t chosen);
  // The voice of the page being shown; goes with the next page logged.
  void setPendingVoice(int32_t group, int32_t number, int32_t volume) { pendingVoice_ = {group, number, volume}; }
  const LogVoice& pendingVoice() const { return pendingVoice_; }
  const MessageLog& messageLog() const { return messageLog_; }
  // Line id of the page last logged, and of the last text shown in user
  // mode; -1 when none.
  int32_t lastLoggedLineId() const { return lastLoggedLineId_; }
  int32_t currentLineId() const { return currentLineId_; }

 private:
  void registerAll();
  void registerHandlers(std::initializer_list<int32_t> numbers, Handler handler);

  // The built-ins that do nothing and answer 0.
  std::unique_ptr<UFResult> uf_nothing(const Args& args);

  // Event waits (4000-4002).
  std::unique_ptr<UFResult> uf_wait_event(const Args& args);
  std::unique_ptr<UFResult> uf_yield(const Args& args);
  std::unique_ptr<UFResult> uf_enable_app_event(const Args& args);

  // Run control (6000-6003, 6007).
  std::unique_ptr<UFResult> uf_sys_quit(const Args& args);
  std::unique_ptr<UFResult> uf_sys_call(const Args& args);
  std::unique_ptr<UFResult> uf_sys_return(const Args& args);
  std::unique_ptr<UFResult> uf_sys_raise(const Args& args);
  std::unique_ptr<UFResult> uf_sys_resume_saved(const Args& args);

  // System, dialogs, the pointer and desktop services (2080, 2081,
  // 6004-6006, 6008-6010, 7000-7002, 8000-8002, 30001-30005).
  std::unique_ptr<UFResult> uf_quit_confirm(const Args& args);
  std::unique_ptr<UFResult> uf_quit_confirm_text(const Args& args);
  std::unique_ptr<UFResult> uf_is_user_mode(const Args& args);
  std::unique_ptr<UFResult> uf_save_settings(const Args& args);
  std::unique_ptr<UFResult> uf_change_screen_mode(const Args& args);
  std::unique_ptr<UFResult> uf_command_line_arg(const Args& args);
  std::unique_ptr<UFResult> uf_cursor_clip(const Args& args);
  std::unique_ptr<UFResult> uf_get_screen_mode(const Args& args);
  std::unique_ptr<UFResult> uf_message_box(const Args& args);
  std::unique_ptr<UFResult> uf_input_box(const Args& args);
  std::unique_ptr<UFResult> uf_rich_text_dialog(const Args& args);
  std::unique_ptr<UFResult> uf_cursor_show(const Args& args);
  std::unique_ptr<UFResult> uf_cursor_file(const Args& args);
  std::unique_ptr<UFResult> uf_cursor_position(const Args& args);
  std::unique_ptr<UFResult> uf_window_to_front(const Args& args);
  std::unique_ptr<UFResult> uf_is_administrator(const Args& args);
  std::unique_ptr<UFResult> uf_browse_folder(const Args& args);
  std::unique_ptr<UFResult> uf_window_title(const Args& args);
  std::unique_ptr<UFResult> uf_shell_open(const Args& args);

  // System variables (4100-4132).
  std::unique_ptr<UFResult> uf_set_play_string(const Args& args);
  std::unique_ptr<UFResult> uf_get_sysflag_int(const Args& args);
  std::unique_ptr<UFResult> uf_set_sysflag_int(const Args& args);
  std::unique_ptr<UFResult> uf_get_sysflag_string(const Args& args);
  std::unique_ptr<UFResult> uf_set_sysflag_string(const Args& args);
  std::unique_ptr<UFResult> uf_get_flag_constant(const Args& args);
  std::unique_ptr<UFResult> uf_get_string_constant(const Args& args);
  std::unique_ptr<UFResult> uf_is_view_flag_set(const Args& args);
  std::unique_ptr<UFResult> uf_set_view_flag(const Args& args);
  std::unique_ptr<UFResult> uf_clear_view_flags(const Args& args);

  // Movies and the second parts layer's visibility (2090-2092, 2103).
  std::unique_ptr<UFResult> uf_movie_play(const Args& args);
  std::unique_ptr<UFResult> uf_movie_stop(const Args& args);
  std::unique_ptr<UFResult> uf_movie_volume(const Args& args);
  std::unique_ptr<UFResult> uf_parts_b_visible(const Args& args);

  // Music, effects and voices (3000-3024).
  std::unique_ptr<UFResult> uf_music_start_plain(const Args& args);
  std::unique_ptr<UFResult> uf_music_start(const Args& args);
  std::unique_ptr<UFResult> uf_music_stop(const Args& args);
  std::unique_ptr<UFResult> uf_music_volume(const Args& args);
  std::unique_ptr<UFResult> uf_sound_start(const Args& args);
  std::unique_ptr<UFResult> uf_sound_stop(const Args& args);
  std::unique_ptr<UFResult> uf_sound_volume(const Args& args);
  std::unique_ptr<UFResult> uf_voice_start(const Args& args);
  std::unique_ptr<UFResult> uf_voice_stop(const Args& args);
  std::unique_ptr<UFResult> uf_voice_volume(const Args& args);
  std::unique_ptr<UFResult> uf_play_counter(const Args& args);
  std::unique_ptr<UFResult> uf_voice_next(const Args& args);
  // Voice (group, number) on effect channel 1, unless skipping; in user
  // mode it becomes the message log's pending voice either way.
  void startVoice(int32_t group, int32_t number);

  // Save and load (4200-4206).
  std::unique_ptr<UFResult> uf_save_info(const Args& args);
  std::unique_ptr<UFResult> uf_save(const Args& args);
  std::unique_ptr<UFResult> uf_load(const Args& args);
  std::unique_ptr<UFResult> uf_save_comment(const Args& args);
  std::unique_ptr<UFResult> uf_memory_save(const Args& args);
  std::unique_ptr<UFResult> uf_memory_load(const Args& args);
  std::unique_ptr<UFResult> uf_erase_save(const Args& args);

  // Flow mode and storage files (4400-4430, 4500, 4501).
  std::unique_ptr<UFResult> uf_flowmode_pass(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_load(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_reset(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_lastspid(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_routeid(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_point_info(const Args& args);
  std::unique_ptr<UFResult> uf_flowmode_autodraw(const Args& args);
  std::unique_ptr<UFResult> uf_delete_storage_files(const Args& args);

  // Strings, numbers and the clock (5000-5201).
  std::unique_ptr<UFResult> uf_string_length(const Args& args);
  std::unique_ptr<UFResult> uf_string_compare(const Args& args);
  std::unique_ptr<UFResult> uf_string_concat(const Args& args);
  std::unique_ptr<UFResult> uf_format_number(const Args& args);
  std::unique_ptr<UFResult> uf_format_date(const Args& args);
  std::unique_ptr<UFResult> uf_clock(const Args& args);
  std::unique_ptr<UFResult> uf_random(const Args& args);
  std::unique_ptr<UFResult> uf_random_seed(const Args& args);

  // Text output and the message log (-1, 4300-4316).
  std::unique_ptr<UFResult> uf_text(const Args& args);
  std::unique_ptr<UFResult> uf_log_clear(const Args& args);
  std::unique_ptr<UFResult> uf_log_add_text(const Args& args);
  std::unique_ptr<UFResult> uf_log_add_choices(const Args& args);
  std::unique_ptr<UFResult> uf_log_count(const Args& args);
  std::unique_ptr<UFResult> uf_log_voice_group(const Args& args);
  std::unique_ptr<UFResult> uf_log_voice_number(const Args& args);
  std::unique_ptr<UFResult> uf_log_voice_volume(const Args& args);
  std::unique_ptr<UFResult> uf_log_height(const Args& args);
  std::unique_ptr<UFResult> uf_log_line_view(const Args& args);
  std::unique_ptr<UFResult> uf_log_page_view(const Args& args);
  void appendSeparator();

  // Background and foreground cells (2000-2003, 2010-2015).
  std::unique_ptr<UFResult> uf_bg_change(const Args& args);
  std::unique_ptr<UFResult> uf_bg_effect(const Args& args);
  std::unique_ptr<UFResult> uf_bg_move(const Args& args);
  std::unique_ptr<UFResult> uf_bg_finish(const Args& args);
  std::unique_ptr<UFResult> uf_fg_change(const Args& args);
  std::unique_ptr<UFResult> uf_fg_effect(const Args& args);
  std::unique_ptr<UFResult> uf_fg_move(const Args& args);
  std::unique_ptr<UFResult> uf_fg_finish(const Args& args);
  std::unique_ptr<UFResult> uf_fg_remove(const Args& args);
  std::unique_ptr<UFResult> uf_fg_remove_all(const Args& args);

  // Choices (2031).
  std::unique_ptr<UFResult> uf_select(const Args& args);

  // Faders 1 (2070-2072) and 2 (2150-2152).
  std::unique_ptr<UFResult> uf_fader1_clear(const Args& args);
  std::unique_ptr<UFResult> uf_fader1_fade(const Args& args);
  std::unique_ptr<UFResult> uf_fader1_finish(const Args& args);
  std::unique_ptr<UFResult> uf_fader2_clear(const Args& args);
  std::unique_ptr<UFResult> uf_fader2_fade(const Args& args);
  std::unique_ptr<UFResult> uf_fader2_finish(const Args& args);

  // Message window (2020-2023, 2026).
  std::unique_ptr<UFResult> uf_msgwin_config(const Args& args);
  std::unique_ptr<UFResult> uf_msgwin_visible(const Args& args);
  std::unique_ptr<UFResult> uf_msgwin_show_string(const Args& args);
  std::unique_ptr<UFResult> uf_msgwin_clear(const Args& args);
  std::unique_ptr<UFResult> uf_msgwin_move(const Args& args);

  // Menu (2040-2044).
  std::unique_ptr<UFResult> uf_menu_config(const Args& args);
  std::unique_ptr<UFResult> uf_menu_enable(const Args& args);
  std::unique_ptr<UFResult> uf_menu_autohide(const Args& args);
  std::unique_ptr<UFResult> uf_menu_show(const Args& args);
  std::unique_ptr<UFResult> uf_menu_autohide_show(const Args& args);

  // Parts layers (2050-2064: Layer 0, the first layer, recorded for saves;
  // 2120-2135: Layer 1, the second). Registered by registerPartsHandlers.
  void registerPartsHandlers();
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_remove_all(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_clear_events(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_add(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_remove(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_visible(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_position(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_size(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_zorder(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_alpha(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_enable(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_event(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_animation(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_string(const Args& args);
  template <int32_t Layer> std::unique_ptr<UFResult> uf_parts_color(const Args& args);
  std::unique_ptr<UFResult> uf_parts_image(const Args& args);

  // Setup runs (9000-9019, 9032) and the disc, folder and save-copy helpers
  // of a setup script (9020-9022, 9030, 9031). Registered by
  // registerSetupHandlers. Handles are 0..kMaxSetupHandles - 1.
  static constexpr int32_t kMaxSetupHandles = 256;
  void registerSetupHandlers();
  // The record of the handle in argument i; null outside the table.
  SetupHandle* setupHandle(const Args& args, size_t i);
  // The record when it has a worker, else null.
  SetupHandle* liveSetupHandle(const Args& args, size_t i);
  std::unique_ptr<UFResult> uf_setup_init(const Args& args);
  std::unique_ptr<UFResult> uf_setup_term(const Args& args);
  std::unique_ptr<UFResult> uf_setup_create(const Args& args);
  std::unique_ptr<UFResult> uf_setup_destroy(const Args& args);
  std::unique_ptr<UFResult> uf_setup_abort(const Args& args);
  std::unique_ptr<UFResult> uf_setup_load(const Args& args);
  std::unique_ptr<UFResult> uf_setup_option(const Args& args);
  std::unique_ptr<UFResult> uf_setup_prepare(const Args& args);
  std::unique_ptr<UFResult> uf_setup_start_work(const Args& args);
  std::unique_ptr<UFResult> uf_setup_finalize(const Args& args);
  std::unique_ptr<UFResult> uf_setup_disc_ready(const Args& args);
  std::unique_ptr<UFResult> uf_setup_retry(const Args& args);
  std::unique_ptr<UFResult> uf_setup_ini_string(const Args& args);
  std::unique_ptr<UFResult> uf_setup_ini_int(const Args& args);
  std::unique_ptr<UFResult> uf_setup_wait(const Args& args);
  std::unique_ptr<UFResult> uf_setup_response(const Args& args);
  std::unique_ptr<UFResult> uf_setup_progress(const Args& args);
  std::unique_ptr<UFResult> uf_setup_status(const Args& args);
  std::unique_ptr<UFResult> uf_setup_status_text(const Args& args);
  std::unique_ptr<UFResult> uf_setup_save_location(const Args& args);
  std::unique_ptr<UFResult> uf_setup_free_space(const Args& args);
  std::unique_ptr<UFResult> uf_setup_disc_prompt(const Args& args);
  std::unique_ptr<UFResult> uf_setup_install_folder(const Args& args);
  std::unique_ptr<UFResult> uf_setup_copy_saves(const Args& args);
  std::unique_ptr<UFResult> uf_setup_program_files(const Args& args);
  std::unique_ptr<UFResult> uf_setup_disc_name(const Args& args);

  // Layer graphics (1000-1048). Registered by registerLayerHandlers.
  void registerLayerHandlers();
  std::unique_ptr<UFResult> uf_gl_configure(const Args& args);
  std::unique_ptr<UFResult> uf_gl_commit(const Args& args);
  std::unique_ptr<UFResult> uf_gl_composition(const Args& args);
  std::unique_ptr<UFResult> uf_gl_mask(const Args& args);
  std::unique_ptr<UFResult> uf_gl_maskpicture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_motion(const Args& args);
  std::unique_ptr<UFResult> uf_gl_transit(const Args& args);
  std::unique_ptr<UFResult> uf_gl_init_picture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_delete_picture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_sa_ctrl(const Args& args);
  std::unique_ptr<UFResult> uf_gl_sa_loopflag(const Args& args);
  std::unique_ptr<UFResult> uf_gl_order(const Args& args);
  std::unique_ptr<UFResult> uf_gl_effect(const Args& args);
  std::unique_ptr<UFResult> uf_gl_delete_all_picture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_reset_layers(const Args& args);
  std::unique_ptr<UFResult> uf_gl_visible(const Args& args);
  std::unique_ptr<UFResult> uf_gl_capture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_release_layers(const Args& args);
  std::unique_ptr<UFResult> uf_gl_single_change_picture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_single_link(const Args& args);
  std::unique_ptr<UFResult> uf_gl_single_unlink(const Args& args);
  std::unique_ptr<UFResult> uf_gl_vram_clear(const Args& args);
  std::unique_ptr<UFResult> uf_gl_vram_draw_picture(const Args& args);
  std::unique_ptr<UFResult> uf_gl_vram_modify(const Args& args);
  std::unique_ptr<UFResult> uf_gl_vram_copy(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_area(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_area_event(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_cursor(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_accmove_config(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_accmove_getcount(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_last_mouse_position(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_area_cursor(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_area_accmove_config(const Args& args);
  std::unique_ptr<UFResult> uf_gl_hitmap_area_accmove_getcount(const Args& args);

  GameEnvironment* environment_;
  StateMgr* state_;
  std::map<int32_t, Handler> handlers_;
  int32_t fade1Id_ = 0;
  int32_t fade2Id_ = 0;
  int32_t movieId_ = 0;
  int32_t setting_ = 13013;
  MessageLog messageLog_;
  int32_t lastLoggedLineId_ = -1;
  int32_t currentLineId_ = -1;
  LogVoice pendingVoice_;
  // Indexed by the scripts' handle numbers; grows only through 9002.
  std::vector<SetupHandle> setupHandles_;
};
