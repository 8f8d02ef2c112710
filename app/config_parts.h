// Configuration records of ":parts" and its parser.
#pragma once

#include "script/cell.h"

class GameEnvironment;

namespace Config {

struct PartsTable {};

}  // namespace Config

bool ParsePartsSection(Config::PartsTable* table, tokenizer::Cell* section, GameEnvironment* environment);
