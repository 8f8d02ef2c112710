#include "app/config_flowmode.h"

bool ParseFlowmodeSection(Config::FlowmodeConfig*, tokenizer::Cell*) { return true; }
