// The records a save keeps beside the presentation state (one save slot's
// information, one snapshot of the story) and the keys of every record of
// the settings and save file, shared by writers and readers. Trees are
// association lists of (key . value) entries made by the caller's Tokenizer;
// readers skip keys they do not know and never log. Main thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gamestate/frame_stack.h"
#include "gamestate/presentation_state.h"
#include "script/cell.h"
#include "script/saved_frame.h"
#include "script/tokenizer.h"

namespace save_key {

// File.
inline constexpr std::u16string_view kVersion = u"version";
inline constexpr std::u16string_view kSysflag = u"sysflag";
inline constexpr std::u16string_view kSysflagInt = u"sysflag-int";
inline constexpr std::u16string_view kSysflagString = u"sysflag-string";
inline constexpr std::u16string_view kFlowmodestate = u"flowmodestate";
inline constexpr std::u16string_view kResourceViewFlag = u"resource-view-flag";
// Flow mode.
inline constexpr std::u16string_view kRoutePerSPMap = u"routePerSPMap";
inline constexpr std::u16string_view kRouteMap = u"routeMap";
inline constexpr std::u16string_view kStateMap = u"stateMap";
inline constexpr std::u16string_view kSaveData = u"saveData";
inline constexpr std::u16string_view kStateIDPerSPList = u"stateIDPerSPList";
// Save slot.
inline constexpr std::u16string_view kSceneno = u"sceneno";
inline constexpr std::u16string_view kSavetime = u"savetime";
inline constexpr std::u16string_view kComment = u"comment";
inline constexpr std::u16string_view kStateID = u"stateID";
inline constexpr std::u16string_view kRouteID = u"routeID";
// Saved game state.
inline constexpr std::u16string_view kLastSPID = u"lastSPID";
inline constexpr std::u16string_view kBit = u"bit";
inline constexpr std::u16string_view kFlag = u"flag";
inline constexpr std::u16string_view kWord = u"word";
inline constexpr std::u16string_view kUserstack = u"userstack";
inline constexpr std::u16string_view kZepstate = u"zepstate";
// Frame stack and frame.
inline constexpr std::u16string_view kAcc = u"acc";
inline constexpr std::u16string_view kReflag = u"reflag";
inline constexpr std::u16string_view kNextPrg = u"next-prg";
inline constexpr std::u16string_view kStack = u"stack";
inline constexpr std::u16string_view kSce = u"sce";
inline constexpr std::u16string_view kSet = u"set";
inline constexpr std::u16string_view kSub = u"sub";
inline constexpr std::u16string_view kScriptFunc = u"scriptFunc";
inline constexpr std::u16string_view kPc = u"pc";
inline constexpr std::u16string_view kLocal = u"local";
inline constexpr std::u16string_view kArgs = u"args";
// Presentation.
inline constexpr std::u16string_view kMenu = u"menu";
inline constexpr std::u16string_view kMsgwin = u"msgwin";
inline constexpr std::u16string_view kPicture = u"picture";
inline constexpr std::u16string_view kCell = u"cell";
inline constexpr std::u16string_view kParts = u"parts";
inline constexpr std::u16string_view kFader = u"fader";
inline constexpr std::u16string_view kMouse = u"mouse";
inline constexpr std::u16string_view kMusic = u"music";  // also a music record's field
inline constexpr std::u16string_view kSound = u"sound";
inline constexpr std::u16string_view kVoice = u"voice";
inline constexpr std::u16string_view kLayer = u"layer";
inline constexpr std::u16string_view kPlf = u"plf";
inline constexpr std::u16string_view kPls = u"pls";
// Presentation fields.
inline constexpr std::u16string_view kCfgno = u"cfgno";
inline constexpr std::u16string_view kEnable = u"enable";
inline constexpr std::u16string_view kAutohide = u"autohide";
inline constexpr std::u16string_view kShow = u"show";
inline constexpr std::u16string_view kVisible = u"visible";
inline constexpr std::u16string_view kText = u"text";
inline constexpr std::u16string_view kTexts = u"texts";
inline constexpr std::u16string_view kKeywait = u"keywait";
inline constexpr std::u16string_view kPosIndex = u"posIndex";
inline constexpr std::u16string_view kPosX = u"posX";
inline constexpr std::u16string_view kPosY = u"posY";
inline constexpr std::u16string_view kPicno = u"picno";
inline constexpr std::u16string_view kTx = u"tx";
inline constexpr std::u16string_view kTy = u"ty";
inline constexpr std::u16string_view kTw = u"tw";
inline constexpr std::u16string_view kTh = u"th";
inline constexpr std::u16string_view kSwitch = u"switch";
inline constexpr std::u16string_view kX = u"x";
inline constexpr std::u16string_view kY = u"y";
inline constexpr std::u16string_view kW = u"w";
inline constexpr std::u16string_view kH = u"h";
inline constexpr std::u16string_view kOpacity = u"opacity";
inline constexpr std::u16string_view kZorder = u"zorder";
inline constexpr std::u16string_view kVolume = u"volume";
inline constexpr std::u16string_view kStartposition = u"startposition";
inline constexpr std::u16string_view kLoopsetting = u"loopsetting";
inline constexpr std::u16string_view kLoopstart = u"loopstart";
inline constexpr std::u16string_view kLoopend = u"loopend";
inline constexpr std::u16string_view kLoopnum = u"loopnum";
inline constexpr std::u16string_view kVoiceVolume = u"voice-volume";
inline constexpr std::u16string_view kPartsNo = u"parts-no";
inline constexpr std::u16string_view kKeyorder = u"keyorder";
inline constexpr std::u16string_view kAnimationCode = u"animation-code";
inline constexpr std::u16string_view kEventno = u"eventno";
inline constexpr std::u16string_view kColor = u"color";
inline constexpr std::u16string_view kR = u"r";
inline constexpr std::u16string_view kG = u"g";
inline constexpr std::u16string_view kB = u"b";
inline constexpr std::u16string_view kA = u"a";
inline constexpr std::u16string_view kShowflag = u"showflag";
inline constexpr std::u16string_view kCursor = u"cursor";

}  // namespace save_key

// One save slot. A new one holds what a slot record's reader assumes for
// the entries the record lacks.
struct SaveSlotInfo {
  int32_t sceneno = -1;  // scenario number shown for the slot
  std::u16string comment;
  int32_t savetime = -1;
  int32_t stateID = -1;  // -1: none
  int32_t routeID = -1;  // -1: none

  // ((routeID . n) (stateID . n) (comment . "text") (savetime . n)
  // (sceneno . n)); null when the tokenizer runs out of memory.
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk) const;
  // Fills the fields the record's entries name. False only when an element
  // is not an entry with a symbol key; the fields read before it stay.
  bool fromTree(const tokenizer::Cell* list);
};

// One snapshot of the story. Shared read-only through SharedRef by save
// slots and the flow-mode state map; changed only as a fresh copy.
struct SavedGameState {
  int32_t lastSPID = -1;
  std::vector<int32_t> bit;  // the script machine's variables
  std::vector<int32_t> flag;
  std::vector<int32_t> word;
  FrameStack userstack;
  PresentationState presentation;

  // ((zepstate ...) (userstack ...) (word ...) (flag ...) (bit ...)
  // (lastSPID . n)); the variable vectors list their non-zero elements.
  // Null when the tokenizer runs out of memory.
  tokenizer::Cell* toTree(tokenizer::Tokenizer& tk) const;
  // As SaveSlotInfo::fromTree; meant for a new snapshot. A broken part
  // (a vector element, the frame stack, the presentation) keeps what was
  // read of it and reading goes on.
  bool fromTree(const tokenizer::Cell* list);
};

// A saved frame as ((sce . n) (set . n) (sub . n) (scriptFunc . n) (pc . n)
// (local i ...) (args i ...)); null when the tokenizer runs out of memory.
// Free functions because the frame belongs to the script machine.
tokenizer::Cell* savedFrameToTree(const SavedFrame& frame, tokenizer::Tokenizer& tk);
// As SaveSlotInfo::fromTree. Entries left out keep the frame's values (for
// a new frame: sce 0, set, sub and scriptFunc -1, pc 0, no locals or args).
bool savedFrameFromTree(SavedFrame& frame, const tokenizer::Cell* list);
