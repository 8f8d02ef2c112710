#include "userfunc/userfunc_impl.h"

#include "app/log.h"

UserfuncImpl::UserfuncImpl(GameEnvironment* environment, StateMgr* state)
    : environment_(environment), state_(state) {
  registerAll();
}

void UserfuncImpl::registerAll() {
  handlers_.clear();
  for (int32_t n : {2024, 2025, 2030, 2100, 2101, 2102, 4311, 4315, 4320, 5002}) {
    handlers_[n] = &UserfuncImpl::uf_nothing;
  }
}

std::unique_ptr<UFResult> UserfuncImpl::call(int32_t number, const vector_mtus<APValue>& args) {
  const auto it = handlers_.find(number);
  if (it == handlers_.end()) {
    LogWrite(LOG_WARN, u"未定義のUserfunc番号です(%d)\n", number);
    return nullptr;
  }
  return (this->*(it->second))(args);
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

std::unique_ptr<UFResult> UserfuncImpl::uf_nothing(const vector_mtus<APValue>&) { return make_zero_ufresult(); }
