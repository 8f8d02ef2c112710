// Compiling scenario files (the a3: dialect) into units: find the numbered
// set or sub in the file and turn its statements and expressions into nodes.
// A malformed argument inside a recognised statement form ends the program
// ("内部エラー：コード解析に失敗"); other compile errors are logged and
// fail the load. Main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "script/cell.h"
#include "script/code.h"

class GameEnvironment;

// Label numbers that are defined, and local counts, beyond this come from
// broken data.
constexpr int32_t kMaxScriptIndex = 65536;

// Loads scenario `scenario` through the environment's script naming rule
// and compiles set `set` (or, with set -1, sub `sub`). Null on failure
// (logged). `caller`, when given, is the place ("file:line") of the
// statement that asked for the unit (a call): the messages saying that the
// unit could not be had name it after their own text.
std::unique_ptr<CompiledUnit> LoadCompiledUnit(const GameEnvironment& environment, int32_t scenario,
                                               int32_t set, int32_t sub, std::u16string_view caller = {});

// The same for the bytes of a scenario file (CP932, already decoded from an
// encoded block; freed once read); `path` only names it in messages. A NUL
// byte before the end of the text or a list or string left open fails the
// load with the reader's message.
std::unique_ptr<CompiledUnit> CompileScenarioBytes(std::vector<uint8_t> bytes, int32_t set, int32_t sub,
                                                   std::u16string_view path, std::u16string_view caller = {});

// The same for scenario text already decoded.
std::unique_ptr<CompiledUnit> CompileScenarioText(std::u16string_view text, int32_t set, int32_t sub,
                                                  std::u16string_view path);

// Compiles a statement list into the unit; false when a statement fails.
bool CompileStatements(CompiledUnit* unit, tokenizer::Cell* statements);

// Whether LoadCompiledUnit finds a file for scenario `scenario`: its path
// by the script naming rule among the built-in files, as given and on the
// load paths, each also in another ASCII case. Whether it compiles is not
// looked at.
bool ScenarioFileExists(const GameEnvironment& environment, int32_t scenario);
