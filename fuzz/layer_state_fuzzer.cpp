// Fuzzes the layer-state reader: the input, decoded from the game code page
// as save files are, is parsed, read into a fresh unbound layer table, the
// render side rebuilt (nothing to rebuild without a scene) and the table
// written again. What was read must write, read and write back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/log.h"
#include "app/string_util.h"
#include "gamestate/layer_state.h"
#include "scene/layer_table.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

namespace {

std::u16string writtenText(const LayerTable& table) {
  tokenizer::Tokenizer tk;
  return tokenizer::toText(LayerStateWriter(table, tk));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetLogLevelMask(0);
  // The reader's and printer's warnings would flood the fuzzer's output.
  freopen("/dev/null", "w", stdout);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tokenizer::Tokenizer tk(tokenizer::Tokenizer::kNoStringLimit);
  if (!tk.parse(MultiByteToWString(reinterpret_cast<const char*>(data), size))) return 0;
  LayerTable table;
  LayerStateReader(table, tokenizer::carOf(tk.root()));
  table.rebuildRenderSide();
  const std::u16string text = writtenText(table);

  tokenizer::Tokenizer again(tokenizer::Tokenizer::kNoStringLimit);
  LayerTable back;
  if (!again.parse(text) || !LayerStateReader(back, tokenizer::carOf(again.root()))) abort();
  if (writtenText(back) != text) abort();
  return 0;
}
