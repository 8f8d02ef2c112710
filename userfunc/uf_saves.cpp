// Built-ins 4200-4206: the save and load screens' view of the slots. The
// handlers only move arguments and answers; saving, loading and the
// settings file belong to the game state.
#include "gamestate/state_mgr.h"
#include "userfunc/userfunc_impl.h"

// (slot, word index of the scene number, word index of the save time,
// string variable of the comment): 1 with the three written when the slot
// holds a save, else 0 with nothing written.
std::unique_ptr<UFResult> UserfuncImpl::uf_save_info(const Args& args) {
  StateMgr::SaveInfo info;
  if (!stateMgr().getSaveInfo(intArg(args, 0), &info)) return make_zero_ufresult();
  stateMgr().setWordVar(intArg(args, 1), info.sceneno);
  stateMgr().setWordVar(intArg(args, 2), info.savetime);
  stateMgr().setPlayString(intArg(args, 3), info.comment);
  return make_value_ufresult(1);
}

// (slot, scene number, save time, comment): saves and writes the settings
// file at once. -1 when the save or the file write failed, else 0.
std::unique_ptr<UFResult> UserfuncImpl::uf_save(const Args& args) {
  StateMgr::SaveInfo info;
  info.sceneno = intArg(args, 1);
  info.savetime = intArg(args, 2);
  info.comment = getStringArg(args, 3);
  return make_value_ufresult(stateMgr().saveAndWrite(intArg(args, 0), info) ? 0 : -1);
}

// (slot): 1 when loaded; the story resumes from it on the next return to
// the story.
std::unique_ptr<UFResult> UserfuncImpl::uf_load(const Args& args) {
  return make_value_ufresult(stateMgr().loadSave(intArg(args, 0)) ? 1 : 0);
}

// (slot, comment): nothing for an empty slot.
std::unique_ptr<UFResult> UserfuncImpl::uf_save_comment(const Args& args) {
  stateMgr().setSaveComment(intArg(args, 0), getStringArg(args, 1));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_memory_save(const Args& args) {
  stateMgr().memorySave(intArg(args, 0));
  return make_zero_ufresult();
}

std::unique_ptr<UFResult> UserfuncImpl::uf_memory_load(const Args& args) {
  return make_value_ufresult(stateMgr().memoryLoad(intArg(args, 0)) ? 1 : 0);
}

// (kind, slot): kind 0 the ordinary slots, 1 the memory ones; a slot below
// 0 erases every slot of the kind; other kinds do nothing.
std::unique_ptr<UFResult> UserfuncImpl::uf_erase_save(const Args& args) {
  const int32_t kind = intArg(args, 0);
  const int32_t slot = intArg(args, 1);
  if (kind == 0) stateMgr().eraseSave(slot);
  if (kind == 1) stateMgr().eraseMemorySave(slot);
  return make_zero_ufresult();
}
