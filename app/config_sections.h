// The sections of the configuration file that describe the product and the
// machine-level set-up: ":product-info", ":system", ":resource",
// ":flag-constants", ":string-constants", ":key" and ":window".
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "app/config_records.h"
#include "script/cell.h"

bool ParseProductInfo(Config::ProductInfo* record, tokenizer::Cell* section);
bool ParseSystemSection(Config::SystemRecord* record, tokenizer::Cell* section);
bool ParseResourceSection(Config::ResourceRecord* record, tokenizer::Cell* section);
// Integer mode fills ints, string mode strings; negative indexes are skipped.
bool ParseConstants(std::map<int32_t, int32_t>* ints, std::map<int32_t, std::u16string>* strings,
                    tokenizer::Cell* section, bool stringMode);
bool ParseKeySection(std::map<int32_t, int32_t>* keyMap, tokenizer::Cell* section);
bool ParseWindowSection(Config::WindowRecord* record, tokenizer::Cell* section);
