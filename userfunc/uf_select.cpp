// Built-in 2031: up to eight choices in choice list 0, and the wait for the
// player's answer (the choice's index, or 255 for a cancel), which goes into
// the message log in user mode. The scene is reached only through its
// facade. Main thread.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/event.h"
#include "gamestate/state_mgr.h"
#include "userfunc/scene_config.h"
#include "userfunc/text_format.h"
#include "userfunc/userfunc_impl.h"

namespace UserfuncImpl_localNS {

constexpr int32_t kChoiceCount = 8;
// A taken choice i reports the decimal text of kFirstEventNumber + i.
constexpr int32_t kFirstEventNumber = 256;
constexpr int32_t kCancelEvent = 18;
constexpr int32_t kCancelAnswer = 255;
// What the scheduler calls an event that is not an input or AppEvent.
constexpr int32_t kOtherEventKind = 30;
// The ":flag-constants" key naming the select-window configuration.
constexpr int32_t kSelectWindowConstant = 30;

// Waits for the SelectedEvent of an offered item or, when the cancel flag is
// 1, for the cancel.
class Lambda_select_do : public Checker {
 public:
  Lambda_select_do(UserfuncImpl& owner, int32_t mask, int32_t cancelFlag,
                   const std::array<int32_t, kChoiceCount>& eventNumbers,
                   const std::array<std::u16string, kChoiceCount>& texts)
      : owner_(owner), mask_(mask), cancelFlag_(cancelFlag), eventNumbers_(eventNumbers), texts_(texts) {}

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    if (event.code == kOtherEventKind) {
      const SelectedEvent* selected = EventAs<SelectedEvent>(event.event.get());
      const int32_t number = selected ? ScanDecimal(selected->text).value : 0;
      for (int32_t i = 0; i < kChoiceCount; ++i) {
        if (eventNumbers_[i] != number) continue;
        if (owner_.isUserMode()) owner_.logChoices(mask_, texts_, i);
        return UserfuncImpl::make_value_ufresult(i);
      }
      return nullptr;
    }
    if (event.code == kCancelEvent && cancelFlag_ == 1) {
      if (owner_.isUserMode()) owner_.logChoices(mask_, texts_, -1);
      return UserfuncImpl::make_value_ufresult(kCancelAnswer);
    }
    return nullptr;
  }

 private:
  UserfuncImpl& owner_;
  int32_t mask_;
  int32_t cancelFlag_;
  std::array<int32_t, kChoiceCount> eventNumbers_;
  std::array<std::u16string, kChoiceCount> texts_;
};

}  // namespace UserfuncImpl_localNS

// (mask, texts 1..8, item numbers 9..16, 17 unused, cancel flag 18): an
// argument the script left out reads as its default.
std::unique_ptr<UFResult> UserfuncImpl::uf_select(const Args& args) {
  using namespace UserfuncImpl_localNS;
  const int32_t mask = intArg(args, 0);
  std::array<std::u16string, kChoiceCount> texts;
  std::array<int32_t, kChoiceCount> itemNumbers{};
  std::array<int32_t, kChoiceCount> eventNumbers{};
  for (size_t i = 0; i < kChoiceCount; ++i) {
    texts[i] = getStringArg(args, 1 + i);
    itemNumbers[i] = intArg(args, 9 + i);
    eventNumbers[i] = kFirstEventNumber + static_cast<int32_t>(i);
  }
  const int32_t cancelFlag = intArg(args, 18);

  // A choice is the player's to make: skipping stops here.
  stopSkipForEffect();
  showSelect(stateMgr().getFlagConstant(kSelectWindowConstant, 0), mask, eventNumbers, texts, itemNumbers,
             cancelFlag);
  return make_wait_ufresult(std::make_unique<Lambda_select_do>(*this, mask, cancelFlag, eventNumbers, texts));
}
