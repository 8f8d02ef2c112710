// Configuration records of ":color-table", ":select-window",
// ":message-window" and ":menu", and their parsers.
#pragma once

#include "script/cell.h"

class GameEnvironment;

namespace Config {

struct ColorTable {};
struct SelectWindowTable {};
struct MessageWindowTable {};
struct MenuTable {};

}  // namespace Config

bool ParseColorTable(Config::ColorTable* table, tokenizer::Cell* section);
bool ParseSelectWindowSection(Config::SelectWindowTable* table, tokenizer::Cell* section);
bool ParseMessageWindowSection(Config::MessageWindowTable* table, tokenizer::Cell* section);
bool ParseMenuSection(Config::MenuTable* table, tokenizer::Cell* section);
// Post-load passes: bind the part numbers named by menus and message windows
// to the part configurations of ":parts".
void ResolveMenuParts(GameEnvironment* environment);
void ResolveMessageWindowParts(GameEnvironment* environment);
