// The ":parts" table (part number -> shared part configuration) and its
// parser: one reader per part kind, touch-map areas included. Part file
// names are resolved while reading, through the environment's parts rule.
#pragma once

#include <cstdint>
#include <map>

#include "app/chip_config.h"
#include "app/shared_ref.h"
#include "script/cell.h"

class GameEnvironment;

namespace Config {

using PartsTable = std::map<int32_t, SharedRef<XGChipConfig::ConfigBase>>;
using PartsConfigTable = PartsTable;

}  // namespace Config

// Reads "(:parts (N (type . KIND) entry...) ...)". Unknown kinds and keys are
// logged and skipped; a malformed value fails. A later definition of a
// number replaces the earlier one.
bool ParsePartsSection(Config::PartsTable* table, tokenizer::Cell* section, GameEnvironment* environment);

// Per-kind readers over the entries of one definition (the "type" entry is
// skipped). The environment resolves urls and holds the colour table.
bool ParseImagePartConfig(XGChipConfig::ImageConfig* config, GameEnvironment* environment, tokenizer::Cell* entries);
bool ParseTextPartConfig(XGChipConfig::TextConfig* config, GameEnvironment* environment, tokenizer::Cell* entries);
bool ParseButtonPartConfig(XGChipConfig::ButtonConfig* config, GameEnvironment* environment, tokenizer::Cell* entries);
bool ParseAnimationPartConfig(XGChipConfig::AnimationConfig* config, GameEnvironment* environment,
                              tokenizer::Cell* entries);
bool ParseTouchmapPartConfig(XGChipConfig::TouchmapConfig* config, GameEnvironment* environment,
                             tokenizer::Cell* entries);
// One "(SHAPE sub...)" form of a touch map.
bool ParseTouchmapAreas(XGChipConfig::TouchmapArea* area, GameEnvironment* environment, tokenizer::Cell* form);
