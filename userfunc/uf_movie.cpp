// Built-ins 2090-2092 and 2103: a movie played in the main window with a
// wait that the skip rules and (unless the mode forbids it) input cut
// short, the movie's stop and volume, and the second parts layer shown or
// hidden over it.
#include "app/game_environment.h"
#include "gamestate/state_mgr.h"
#include "scene/scene_facade.h"
#include "sound/movie_player.h"
#include "userfunc/userfunc_impl.h"
#include "userfunc/wait_checkers.h"

namespace UserfuncImpl_localNS {

// The wait of 2090: ends with the movie, when it cannot play, on force
// skip, and (when cancelable) on the confirm input, AppEvent 18, a click
// released after its press, or skip.
class Lambda_movie_play final : public Checker {
 public:
  Lambda_movie_play(UserfuncImpl& owner, bool cancelable) : owner_(owner), cancelable_(cancelable) {}

  static void stopMovie(StateMgr& state) {
    int32_t ignored = 0;
    movie_stop(ignored);
    state.setMoviePlaying(false);
  }

  std::unique_ptr<UFResult> check(const UFResult&, const VMEvent& event, VMEvent&) override {
    StateMgr& state = owner_.stateMgr();
    if (state.isForceSkip()) return stop();
    int32_t playState = 0, id = 0;
    movie_getState(playState, id);
    // Only this movie's end counts: an earlier one's may still be queued.
    const bool ended = event.code == 27 && parameterOf(event) == owner_.movieId();
    if (ended || (playState != 2 && playState != -1)) return stop();
    if (cancelable_ && (event.code == 16 || event.code == 18 || (pressed_ && isInputUp(event)) ||
                        owner_.isSkipActive())) {
      return stop();
    }
    if (isInputDown(event)) pressed_ = true;
    return nullptr;
  }

 private:
  std::unique_ptr<UFResult> stop() {
    stopMovie(owner_.stateMgr());
    return UserfuncImpl::make_zero_ufresult();
  }

  UserfuncImpl& owner_;
  const bool cancelable_;
  bool pressed_ = false;
};

}  // namespace UserfuncImpl_localNS

using UserfuncImpl_localNS::Lambda_movie_play;

// (movie, wait mode): a mode outside 0..3 counts as 0. Only mode 2 cannot
// be cut short; skip passes the others over, letting one frame pass.
std::unique_ptr<UFResult> UserfuncImpl::uf_movie_play(const Args& args) {
  const WaitFit fit = fitWaitMode(intArg(args, 1), true);
  if (fit.atOnce) return make_nextframe_ufresult();
  if (fit.stopSkip) stopSkipForEffect();
  StateMgr& state = stateMgr();
  state.setMoviePlaying(true);
  const std::u16string path = environment() ? environment()->getMoviePath(resourceArg(args, 0)) : std::u16string();
  int32_t ignored = 0;
  movie_setVolume(state.movieVolume(100), ignored);
  const int32_t id = nextMovieId();
  movie_play(path, id, ignored);
  return make_wait_ufresult(std::make_unique<Lambda_movie_play>(*this, fit.mode != 2));
}

std::unique_ptr<UFResult> UserfuncImpl::uf_movie_stop(const Args&) {
  Lambda_movie_play::stopMovie(stateMgr());
  return make_zero_ufresult();
}

// (volume percent)
std::unique_ptr<UFResult> UserfuncImpl::uf_movie_volume(const Args& args) {
  int32_t ignored = 0;
  movie_setVolume(stateMgr().movieVolume(intArg(args, 0)), ignored);
  return make_zero_ufresult();
}

// (flag)
std::unique_ptr<UFResult> UserfuncImpl::uf_parts_b_visible(const Args& args) {
  setPartsBVisible(flagArg(args, 0));
  return make_zero_ufresult();
}
