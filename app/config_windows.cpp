#include "app/config_windows.h"

bool ParseColorTable(Config::ColorTable*, tokenizer::Cell*) { return true; }
bool ParseSelectWindowSection(Config::SelectWindowTable*, tokenizer::Cell*) { return true; }
bool ParseMessageWindowSection(Config::MessageWindowTable*, tokenizer::Cell*) { return true; }
bool ParseMenuSection(Config::MenuTable*, tokenizer::Cell*) { return true; }
void ResolveMenuParts(GameEnvironment*) {}
void ResolveMessageWindowParts(GameEnvironment*) {}
