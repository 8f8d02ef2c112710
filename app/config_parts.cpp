#include "app/config_parts.h"

bool ParsePartsSection(Config::PartsTable*, tokenizer::Cell*, GameEnvironment*) { return true; }
