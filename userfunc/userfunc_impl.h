// UserfuncImpl: the table of numbered built-in functions and the result
// makers every handler uses. Families register their handlers as they are
// built; a number without a handler takes the unknown-number path. Lives as
// long as the application controller. Main thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "script/userfunc_base.h"

class GameEnvironment;
class StateMgr;

class UserfuncImpl : public UserfuncBase {
 public:
  using Handler = std::unique_ptr<UFResult> (UserfuncImpl::*)(const vector_mtus<APValue>& args);

  UserfuncImpl(GameEnvironment* environment, StateMgr* state);

  // Logs "未定義のUserfunc番号です(%d)\n" and gives null for a number
  // without a handler.
  std::unique_ptr<UFResult> call(int32_t number, const vector_mtus<APValue>& args) override;
  bool isRegistered(int32_t number) const { return handlers_.count(number) != 0; }

  // Result makers.
  static std::unique_ptr<UFResult> make_value_ufresult(int32_t value);
  static std::unique_ptr<UFResult> make_zero_ufresult() { return make_value_ufresult(0); }
  static std::unique_ptr<UFResult> make_nextframe_ufresult();
  // A null checker gives a wait result without a checker (the scheduler
  // reports it).
  static std::unique_ptr<UFResult> make_wait_ufresult(std::unique_ptr<Checker> checker);
  static std::unique_ptr<UFResult> make_yield_ufresult();

  GameEnvironment* environment() const { return environment_; }
  StateMgr* state() const { return state_; }
  // The integer setting of built-in 5201 (13013 until set).
  int32_t setting() const { return setting_; }
  int32_t lastFade1Id() const { return fade1Id_; }
  int32_t lastFade2Id() const { return fade2Id_; }
  int32_t movieId() const { return movieId_; }

 private:
  void registerAll();
  // The built-ins that do nothing and answer 0.
  std::unique_ptr<UFResult> uf_nothing(const vector_mtus<APValue>& args);

  GameEnvironment* environment_;
  StateMgr* state_;
  std::map<int32_t, Handler> handlers_;
  int32_t fade1Id_ = 0;
  int32_t fade2Id_ = 0;
  int32_t movieId_ = 0;
  int32_t setting_ = 13013;  // built-in 5201
};
