#include "app/config_sections.h"

bool ParseProductInfo(Config::ProductInfo*, tokenizer::Cell*) { return true; }
bool ParseSystemSection(Config::SystemRecord*, tokenizer::Cell*) { return true; }
bool ParseResourceSection(Config::ResourceRecord*, tokenizer::Cell*) { return true; }
bool ParseConstants(std::map<int32_t, int32_t>*, std::map<int32_t, std::u16string>*, tokenizer::Cell*, bool) {
  return true;
}
bool ParseKeySection(std::map<int32_t, int32_t>*, tokenizer::Cell*) { return true; }
bool ParseWindowSection(Config::WindowRecord*, tokenizer::Cell*) { return true; }
