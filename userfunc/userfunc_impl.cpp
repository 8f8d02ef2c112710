#include "userfunc/userfunc_impl.h"

#include <algorithm>
#include <climits>

#include "app/log.h"
#include "gamestate/state_mgr.h"
#include "script/script_vm.h"

UserfuncImpl::UserfuncImpl(GameEnvironment* environment, StateMgr* state)
    : environment_(environment), state_(state) {
  registerAll();
}

void UserfuncImpl::registerHandlers(std::initializer_list<int32_t> numbers, Handler handler) {
  for (int32_t n : numbers) handlers_[n] = handler;
}

void UserfuncImpl::registerAll() {
  handlers_.clear();
  registerHandlers({2024, 2025, 2030, 2100, 2101, 2102, 4311, 4315, 4320, 4501, 5002}, &UserfuncImpl::uf_nothing);

  registerHandlers({-1}, &UserfuncImpl::uf_text);
  registerHandlers({2000}, &UserfuncImpl::uf_bg_change);
  registerHandlers({2001}, &UserfuncImpl::uf_bg_effect);
  registerHandlers({2002}, &UserfuncImpl::uf_bg_move);
  registerHandlers({2003}, &UserfuncImpl::uf_bg_finish);
  registerHandlers({2010}, &UserfuncImpl::uf_fg_change);
  registerHandlers({2011}, &UserfuncImpl::uf_fg_effect);
  registerHandlers({2012}, &UserfuncImpl::uf_fg_move);
  registerHandlers({2013}, &UserfuncImpl::uf_fg_finish);
  registerHandlers({2014}, &UserfuncImpl::uf_fg_remove);
  registerHandlers({2015}, &UserfuncImpl::uf_fg_remove_all);
  registerHandlers({2020}, &UserfuncImpl::uf_msgwin_config);
  registerHandlers({2021}, &UserfuncImpl::uf_msgwin_visible);
  registerHandlers({2022}, &UserfuncImpl::uf_msgwin_show_string);
  registerHandlers({2023}, &UserfuncImpl::uf_msgwin_clear);
  registerHandlers({2026}, &UserfuncImpl::uf_msgwin_move);
  registerHandlers({2031}, &UserfuncImpl::uf_select);
  registerHandlers({2040}, &UserfuncImpl::uf_menu_config);
  registerHandlers({2041}, &UserfuncImpl::uf_menu_enable);
  registerHandlers({2042}, &UserfuncImpl::uf_menu_autohide);
  registerHandlers({2043}, &UserfuncImpl::uf_menu_show);
  registerHandlers({2044}, &UserfuncImpl::uf_menu_autohide_show);
  registerPartsHandlers();
  registerLayerHandlers();
  registerHandlers({2070}, &UserfuncImpl::uf_fader1_clear);
  registerHandlers({2071}, &UserfuncImpl::uf_fader1_fade);
  registerHandlers({2072}, &UserfuncImpl::uf_fader1_finish);
  registerHandlers({2150}, &UserfuncImpl::uf_fader2_clear);
  registerHandlers({2151}, &UserfuncImpl::uf_fader2_fade);
  registerHandlers({2152}, &UserfuncImpl::uf_fader2_finish);

  registerHandlers({4000}, &UserfuncImpl::uf_wait_event);
  registerHandlers({4001}, &UserfuncImpl::uf_yield);
  registerHandlers({4002}, &UserfuncImpl::uf_enable_app_event);

  registerHandlers({4100}, &UserfuncImpl::uf_set_play_string);
  registerHandlers({4110}, &UserfuncImpl::uf_get_sysflag_int);
  registerHandlers({4111}, &UserfuncImpl::uf_set_sysflag_int);
  registerHandlers({4112}, &UserfuncImpl::uf_get_sysflag_string);
  registerHandlers({4113}, &UserfuncImpl::uf_set_sysflag_string);
  registerHandlers({4120}, &UserfuncImpl::uf_get_flag_constant);
  registerHandlers({4121}, &UserfuncImpl::uf_get_string_constant);
  registerHandlers({4130}, &UserfuncImpl::uf_is_view_flag_set);
  registerHandlers({4131}, &UserfuncImpl::uf_set_view_flag);
  registerHandlers({4132}, &UserfuncImpl::uf_clear_view_flags);

  registerHandlers({2090}, &UserfuncImpl::uf_movie_play);
  registerHandlers({2091}, &UserfuncImpl::uf_movie_stop);
  registerHandlers({2092}, &UserfuncImpl::uf_movie_volume);
  registerHandlers({2103}, &UserfuncImpl::uf_parts_b_visible);

  registerHandlers({3000}, &UserfuncImpl::uf_music_start_plain);
  registerHandlers({3001}, &UserfuncImpl::uf_music_stop);
  registerHandlers({3002}, &UserfuncImpl::uf_music_volume);
  registerHandlers({3003}, &UserfuncImpl::uf_music_start);
  registerHandlers({3010}, &UserfuncImpl::uf_sound_start);
  registerHandlers({3011}, &UserfuncImpl::uf_sound_stop);
  registerHandlers({3012}, &UserfuncImpl::uf_sound_volume);
  registerHandlers({3020}, &UserfuncImpl::uf_voice_start);
  registerHandlers({3021}, &UserfuncImpl::uf_voice_stop);
  registerHandlers({3022}, &UserfuncImpl::uf_voice_volume);
  registerHandlers({3023}, &UserfuncImpl::uf_play_counter);
  registerHandlers({3024}, &UserfuncImpl::uf_voice_next);

  registerHandlers({4200}, &UserfuncImpl::uf_save_info);
  registerHandlers({4201}, &UserfuncImpl::uf_save);
  registerHandlers({4202}, &UserfuncImpl::uf_load);
  registerHandlers({4203}, &UserfuncImpl::uf_save_comment);
  registerHandlers({4204}, &UserfuncImpl::uf_memory_save);
  registerHandlers({4205}, &UserfuncImpl::uf_memory_load);
  registerHandlers({4206}, &UserfuncImpl::uf_erase_save);

  registerHandlers({4300}, &UserfuncImpl::uf_log_clear);
  registerHandlers({4301}, &UserfuncImpl::uf_log_add_text);
  registerHandlers({4302}, &UserfuncImpl::uf_log_add_choices);
  registerHandlers({4310}, &UserfuncImpl::uf_log_count);
  registerHandlers({4312}, &UserfuncImpl::uf_log_voice_group);
  registerHandlers({4313}, &UserfuncImpl::uf_log_voice_number);
  registerHandlers({4314}, &UserfuncImpl::uf_log_voice_volume);
  registerHandlers({4316}, &UserfuncImpl::uf_log_height);
  registerHandlers({4321}, &UserfuncImpl::uf_log_line_view);
  registerHandlers({4322}, &UserfuncImpl::uf_log_page_view);

  registerHandlers({4400}, &UserfuncImpl::uf_flowmode_pass);
  registerHandlers({4401}, &UserfuncImpl::uf_flowmode_load);
  registerHandlers({4410}, &UserfuncImpl::uf_flowmode_reset);
  registerHandlers({4411}, &UserfuncImpl::uf_flowmode_lastspid);
  registerHandlers({4412}, &UserfuncImpl::uf_flowmode_routeid);
  registerHandlers({4421}, &UserfuncImpl::uf_flowmode_point_info);
  registerHandlers({4430}, &UserfuncImpl::uf_flowmode_autodraw);
  registerHandlers({4500}, &UserfuncImpl::uf_delete_storage_files);

  registerHandlers({5000}, &UserfuncImpl::uf_string_length);
  registerHandlers({5001}, &UserfuncImpl::uf_string_compare);
  registerHandlers({5003}, &UserfuncImpl::uf_string_concat);
  registerHandlers({5004}, &UserfuncImpl::uf_format_number);
  registerHandlers({5005}, &UserfuncImpl::uf_format_date);
  registerHandlers({5100}, &UserfuncImpl::uf_clock);
  registerHandlers({5200}, &UserfuncImpl::uf_random);
  registerHandlers({5201}, &UserfuncImpl::uf_random_seed);

  registerHandlers({6000}, &UserfuncImpl::uf_sys_quit);
  registerHandlers({6001}, &UserfuncImpl::uf_sys_call);
  registerHandlers({6002}, &UserfuncImpl::uf_sys_return);
  registerHandlers({6003}, &UserfuncImpl::uf_sys_raise);
  registerHandlers({6007}, &UserfuncImpl::uf_sys_resume_saved);

  registerHandlers({2080}, &UserfuncImpl::uf_quit_confirm);
  registerHandlers({2081}, &UserfuncImpl::uf_quit_confirm_text);
  registerHandlers({6004}, &UserfuncImpl::uf_is_user_mode);
  registerHandlers({6005}, &UserfuncImpl::uf_save_settings);
  registerHandlers({6006}, &UserfuncImpl::uf_change_screen_mode);
  registerHandlers({6008}, &UserfuncImpl::uf_command_line_arg);
  registerHandlers({6009}, &UserfuncImpl::uf_cursor_clip);
  registerHandlers({6010}, &UserfuncImpl::uf_get_screen_mode);
  registerHandlers({7000}, &UserfuncImpl::uf_message_box);
  registerHandlers({7001}, &UserfuncImpl::uf_input_box);
  registerHandlers({7002}, &UserfuncImpl::uf_rich_text_dialog);
  registerHandlers({8000}, &UserfuncImpl::uf_cursor_show);
  registerHandlers({8001}, &UserfuncImpl::uf_cursor_file);
  registerHandlers({8002}, &UserfuncImpl::uf_cursor_position);
  registerHandlers({30001}, &UserfuncImpl::uf_window_to_front);
  registerHandlers({30002}, &UserfuncImpl::uf_is_administrator);
  registerHandlers({30003}, &UserfuncImpl::uf_browse_folder);
  registerHandlers({30004}, &UserfuncImpl::uf_window_title);
  registerHandlers({30005}, &UserfuncImpl::uf_shell_open);
  registerSetupHandlers();
}

std::unique_ptr<UFResult> UserfuncImpl::call(int32_t number, const Args& args) {
  const auto it = handlers_.find(number);
  if (it == handlers_.end()) {
    logAtStatement(LOG_WARN, u"未定義のUserfunc番号です(%d)\n", number);
    return nullptr;
  }
  return (this->*(it->second))(args);
}

std::u16string UserfuncImpl::statementPlace() const {
  const ScriptVM* machine = state_ ? state_->machine() : nullptr;
  return machine ? machine->statementPlace() : std::u16string();
}

int32_t UserfuncImpl::intArg(const Args& args, size_t i, int32_t fallback) {
  if (i >= args.size()) return fallback;
  const APValue& v = args[i];
  return v.isInt() ? v.ivalue : fallback;
}

std::u16string UserfuncImpl::getStringArg(const Args& args, size_t i, const std::u16string& fallback) const {
  if (i >= args.size()) return fallback;
  const APValue& v = args[i];
  if (v.isString()) return v.svalue;
  return stateMgr().getPlayString(v.isInt() ? v.ivalue : 0, fallback);
}

std::u16string UserfuncImpl::stringOnlyArg(const Args& args, size_t i) {
  if (!hasArg(args, i) || !args[i].isString()) return std::u16string();
  return args[i].svalue;
}

APValue UserfuncImpl::resourceArg(const Args& args, size_t i) { return hasArg(args, i) ? args[i] : APValue(false); }

int32_t UserfuncImpl::lengthOf(std::u16string_view text) {
  return static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
}

int32_t UserfuncImpl::packXY(int32_t x, int32_t y) {
  return static_cast<int32_t>((static_cast<uint32_t>(x) << 16) | (static_cast<uint32_t>(y) & 0xFFFFu));
}

bool UserfuncImpl::isUserMode() const { return stateMgr().isUserMode(); }

bool UserfuncImpl::isSkipActive() const {
  const StateMgr& s = stateMgr();
  return s.isUserMode() && (s.isSkipping() || s.isForceSkip());
}

void UserfuncImpl::stopSkipForEffect() {
  StateMgr& s = stateMgr();
  if (s.isSkipping()) {
    s.setSkipping(0);
    s.setResumeSkip(static_cast<uint32_t>(s.getResumeSkipSetting()));
  }
}

bool UserfuncImpl::isAutoActive() const { return stateMgr().isUserMode() && stateMgr().isAutoMode(); }

int32_t UserfuncImpl::autoWaitMs() const { return isUserMode() ? stateMgr().getAutoWaitMs() : 0; }

UserfuncImpl::WaitFit UserfuncImpl::fitWaitMode(int32_t mode, bool yieldAtOnce) const {
  WaitFit fit;
  fit.mode = mode < 0 || mode > 3 ? 0 : mode;
  if (stateMgr().isForceSkip() && fit.mode >= 2) fit.mode = 1;
  const bool skipping = isSkipActive();
  if (skipping && fit.mode <= 1) {
    fit.mode = 0;
    fit.atOnce = true;
    fit.yield = yieldAtOnce;
    return fit;
  }
  fit.stopSkip = skipping;  // a forced wait (mode 2 or 3) under message skip
  if (fit.mode == 3) fit.mode = 1;
  return fit;
}

bool UserfuncImpl::normalizeWaitMode(int32_t& mode, int32_t& a, int32_t& b, bool& yield) const {
  // Passed over, the change happens at once; a call with a zero duration
  // still lets one frame pass.
  const WaitFit fit = fitWaitMode(mode, a == 0 || b == 0);
  mode = fit.mode;
  if (fit.atOnce) {
    yield = fit.yield;
    a = b = 0;
  }
  return fit.stopSkip;
}

std::unique_ptr<UFResult> UserfuncImpl::make_value_ufresult(int32_t value) {
  auto result = std::make_unique<UFResult>();
  result->kind = UFResult::kValue;
  result->value = value;
  return result;
}

std::unique_ptr<UFResult> UserfuncImpl::make_nextframe_ufresult() {
  auto result = make_value_ufresult(0);
  result->kind = UFResult::kValueThenYield;
  return result;
}

std::unique_ptr<UFResult> UserfuncImpl::make_wait_ufresult(std::unique_ptr<Checker> checker) {
  auto result = make_value_ufresult(0);
  result->kind = UFResult::kWait;
  result->checker = std::move(checker);
  return result;
}

std::unique_ptr<UFResult> UserfuncImpl::make_yield_ufresult() {
  auto result = make_value_ufresult(0);
  result->kind = UFResult::kYield;
  return result;
}

std::unique_ptr<UFResult> UserfuncImpl::make_modewait_ufresult(int32_t mode, int32_t ms, bool yield,
                                                               std::unique_ptr<WaitFinalizer> finalizer) {
  switch (mode) {
    case 1:
    case 3:
      return makeresult_tonext_ok(ms, std::move(finalizer));
    case 2:
      return makeresult_forcewait(ms, std::move(finalizer));
    default:
      return yield ? make_nextframe_ufresult() : make_zero_ufresult();
  }
}

std::unique_ptr<UFResult> UserfuncImpl::uf_nothing(const Args&) { return make_zero_ufresult(); }
