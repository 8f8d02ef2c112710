// The ":flowmode" configuration, its parser and the flow-chart page and
// route layout.
#pragma once

#include "script/cell.h"

namespace Config {

struct FlowmodeConfig {};

}  // namespace Config

bool ParseFlowmodeSection(Config::FlowmodeConfig* config, tokenizer::Cell* section);
