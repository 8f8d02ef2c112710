// The layer table in save data: written as an S-expression tree and filled
// again from one. The tree's cells belong to the caller's Tokenizer. Neither
// side touches the render side: entries read have no node, and the caller
// rebuilds the screen from the table afterwards. Main thread.
#pragma once

#include <array>
#include <string_view>

#include "scene/layer_table.h"
#include "scene/motion_params.h"
#include "script/cell.h"
#include "script/tokenizer.h"

// The keys of the tree, shared by the writer and the reader.
namespace layer_state_key {

// Top level: ((group . G) (layer . L) (picture . P)).
inline constexpr std::u16string_view kGroup = u"group";
inline constexpr std::u16string_view kLayer = u"layer";  // also a picture's layer
inline constexpr std::u16string_view kPicture = u"picture";

// Picture record.
inline constexpr std::u16string_view kType = u"type";
inline constexpr std::u16string_view kNo = u"no";  // also layers and groups
inline constexpr std::u16string_view kUrl = u"url";
inline constexpr std::u16string_view kNumsel = u"numsel";

// Layer record (groups use the subset they have).
inline constexpr std::u16string_view kGroupNo = u"groupNo";
inline constexpr std::u16string_view kMode = u"mode";
inline constexpr std::u16string_view kVramWidth = u"vram-width";
inline constexpr std::u16string_view kVramHeight = u"vram-height";
inline constexpr std::u16string_view kOrder = u"order";
inline constexpr std::u16string_view kVisible = u"visible";
inline constexpr std::u16string_view kCompositeOp = u"compositeOp";
inline constexpr std::u16string_view kMotionParams = u"motionParams";
inline constexpr std::u16string_view kMainPictureNo = u"mainPictureNo";
inline constexpr std::u16string_view kMainSACtrl = u"mainSACtrl";
inline constexpr std::u16string_view kMainSALoop = u"mainSALoop";
inline constexpr std::u16string_view kMaskOp = u"maskOp";
inline constexpr std::u16string_view kMaskPictureNo = u"maskPictureNo";
inline constexpr std::u16string_view kMaskPictureEdge = u"maskPictureEdge";
inline constexpr std::u16string_view kMaskSACtrl = u"maskSACtrl";
inline constexpr std::u16string_view kMaskSALoop = u"maskSALoop";
inline constexpr std::u16string_view kHitTestParts = u"hitTestParts";
inline constexpr std::u16string_view kHitTestEventNo = u"hitTestEventNo";
inline constexpr std::u16string_view kHitTestAutoCursorMap = u"hitTestAutoCursorMap";
inline constexpr std::u16string_view kHitTestAMMode = u"hitTestAMMode";
inline constexpr std::u16string_view kHitTestAMMap = u"hitTestAMMap";

// Auto-move record.
inline constexpr std::u16string_view kHitTestAMCtrl = u"hitTestAMCtrl";
inline constexpr std::u16string_view kHitTestAMCond = u"hitTestAMCond";
inline constexpr std::u16string_view kHitTestAMUnit = u"hitTestAMUnit";
inline constexpr std::u16string_view kHitTestAMCurrent = u"hitTestAMCurrent";

// Motion record, in the order of MotionParams::values().
inline constexpr std::array<std::u16string_view, MotionParams::kCount> kMotion = {
    u"main-switch", u"I-x",  u"I-y",  u"I-w",  u"I-h",  u"T-x",  u"T-y",  u"T-w",
    u"T-h",         u"mask-system", u"mask-switch", u"MI-x", u"MI-y", u"MI-w", u"MI-h", u"MT-x",
    u"MT-y",        u"MT-w", u"MT-h", u"MC-r", u"MC-g", u"MC-b", u"MC-a"};

}  // namespace layer_state_key

// The table as ((group . G) (layer . L) (picture . P)), each a list of
// (number . record) in ascending number; a record lists its pairs in the
// reverse of their writing order. Queued render commands are not saved: each
// layer or group that still has some logs "予約コマンドが残っています(%d)\n"
// at ERROR. Null when the tokenizer runs out of memory.
tokenizer::Cell* LayerStateWriter(const LayerTable& table, tokenizer::Tokenizer& tk);

// Fills a cleared table from such a tree; trusts nothing in it. Unknown keys
// are skipped, a value of the wrong kind leaves the field at its starting
// value, and a record with a pair whose key is not a symbol ends its list
// (the entries before it stay). Each entry is stored under its list number,
// which is also its `no`; a repeated number replaces the earlier entry.
// Afterwards the next group number is the highest group read + 1 (1 when
// none) and the member lists are rebuilt from the layers' group numbers.
// False when a top-level element is not a pair with a symbol key (reading
// stops there; what was read stays), else true.
bool LayerStateReader(LayerTable& table, const tokenizer::Cell* list);
