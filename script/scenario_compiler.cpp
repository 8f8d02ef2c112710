#include "script/scenario_compiler.h"

#include <unordered_map>
#include <vector>

#include "app/fatal.h"
#include "app/file_helpers.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "app/string_util.h"
#include "script/cell_printer.h"
#include "script/tokenizer.h"

using tokenizer::Cell;
using tokenizer::Cons;
using tokenizer::Token;

namespace {

enum class Shape { kNone, kOne, kTwo, kThree };

struct FormInfo {
  int32_t opcode;
  Shape shape;
};

// Expression forms by name.
const std::unordered_map<std::u16string_view, FormInfo>& expressionForms() {
  static const std::unordered_map<std::u16string_view, FormInfo> forms = {
      {u"a3:minus", {17, Shape::kOne}},
      {u"a3:bitwise-not", {18, Shape::kOne}},
      {u"a3:boolean-not", {19, Shape::kOne}},
      {u"a3:bop-add", {20, Shape::kTwo}},
      {u"a3:bop-sub", {21, Shape::kTwo}},
      {u"a3:bop-mul", {22, Shape::kTwo}},
      {u"a3:bop-div", {23, Shape::kTwo}},
      {u"a3:bop-mod", {24, Shape::kTwo}},
      {u"a3:bop-shift-left", {25, Shape::kTwo}},
      {u"a3:bop-shift-right", {26, Shape::kTwo}},
      {u"a3:bop-shift-right-unsigned", {27, Shape::kTwo}},
      {u"a3:bop-less?", {28, Shape::kTwo}},
      {u"a3:bop-great?", {29, Shape::kTwo}},
      {u"a3:bop-less-equal?", {30, Shape::kTwo}},
      {u"a3:bop-great-equal?", {31, Shape::kTwo}},
      {u"a3:bop-equal?", {32, Shape::kTwo}},
      {u"a3:bop-not-equal?", {33, Shape::kTwo}},
      {u"a3:bop-bit-and", {34, Shape::kTwo}},
      {u"a3:bop-bit-or", {35, Shape::kTwo}},
      {u"a3:bop-bit-xor", {36, Shape::kTwo}},
      {u"a3:bop-logical-and", {37, Shape::kTwo}},
      {u"a3:bop-logical-or", {38, Shape::kTwo}},
      {u"a3:bop-logical-xor", {39, Shape::kTwo}},
      {u"a3:three-op", {40, Shape::kThree}},
      {u"a3:idref-acc", {41, Shape::kNone}},
      {u"a3:idref-reflag", {42, Shape::kNone}},
      {u"a3:idref-sce", {43, Shape::kNone}},
      {u"a3:idref-bit", {44, Shape::kOne}},
      {u"a3:idref-flag", {45, Shape::kOne}},
      {u"a3:idref-word", {46, Shape::kOne}},
      {u"a3:idref-local", {47, Shape::kOne}},
      {u"a3:idref-argument", {48, Shape::kOne}},
      {u"a3:assign-acc", {49, Shape::kOne}},
      {u"a3:assign-reflag", {50, Shape::kOne}},
      {u"a3:assign-bit", {51, Shape::kTwo}},
      {u"a3:assign-flag", {52, Shape::kTwo}},
      {u"a3:assign-word", {53, Shape::kTwo}},
      {u"a3:assign-local", {54, Shape::kTwo}},
      {u"a3:assign-argument", {55, Shape::kTwo}},
      {u"a3:pre-incr-acc", {56, Shape::kNone}},
      {u"a3:pre-incr-reflag", {57, Shape::kNone}},
      {u"a3:pre-incr-bit", {58, Shape::kOne}},
      {u"a3:pre-incr-flag", {59, Shape::kOne}},
      {u"a3:pre-incr-word", {60, Shape::kOne}},
      {u"a3:pre-incr-local", {61, Shape::kOne}},
      {u"a3:pre-incr-argument", {62, Shape::kOne}},
      {u"a3:pre-decr-acc", {63, Shape::kNone}},
      {u"a3:pre-decr-reflag", {64, Shape::kNone}},
      {u"a3:pre-decr-bit", {65, Shape::kOne}},
      {u"a3:pre-decr-flag", {66, Shape::kOne}},
      {u"a3:pre-decr-word", {67, Shape::kOne}},
      {u"a3:pre-decr-local", {68, Shape::kOne}},
      {u"a3:pre-decr-argument", {69, Shape::kOne}},
  };
  return forms;
}

// Makes the nodes of one unit. Nodes are read-only once built, so one node
// serves every use of a small integer constant in the unit (scenarios
// repeat the same few numbers everywhere: codes, indices, labels).
// Where a unit comes from, for the message of a statement that fails.
struct CompileSite {
  std::u16string_view path;
  int32_t set = -1;
  int32_t sub = -1;
};

class UnitBuilder {
 public:
  UnitBuilder(CompiledUnit* unit, const CompileSite& site)
      : unit_(unit), site_(site), small_(kSmallEnd - kSmallBegin, nullptr) {}

  template <class T>
  T* make() {
    return unit_->make<T>();
  }
  ConstInt* constInt(int32_t value) {
    const bool small = value >= kSmallBegin && value < kSmallEnd;
    ConstInt** shared = small ? &small_[static_cast<size_t>(value - kSmallBegin)] : nullptr;
    if (shared && *shared) return *shared;
    ConstInt* node = unit_->make<ConstInt>();
    node->value = value;
    if (shared) *shared = node;
    return node;
  }
  const CompileSite& site() const { return site_; }
  // The statement being compiled, and the line it begins on (0: unknown).
  Cell* statement = nullptr;
  uint32_t statementLine = 0;

 private:
  static constexpr int32_t kSmallBegin = -256;
  static constexpr int32_t kSmallEnd = 8192;

  CompiledUnit* unit_;
  CompileSite site_;
  std::vector<ConstInt*> small_;
};

// Makes an expression node of the given shape with its operation code.
template <class ShapeT>
ShapeT* makeShaped(UnitBuilder* unit, int32_t opcode) {
  ShapeT* node = unit->make<ShapeT>();
  node->opcode = opcode;
  return node;
}

std::vector<Cell*> elementsOf(Cell* list) {
  std::vector<Cell*> out;
  for (Cell* c = list; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) out.push_back(static_cast<Cons*>(c)->car);
  return out;
}

// Deeper nesting than this comes from broken data (and would exhaust the
// stack of the evaluator).
constexpr int kMaxExpressionDepth = 512;

Code* compileExpression(UnitBuilder* unit, Cell* cell, int depth = 0) {
  if (depth > kMaxExpressionDepth) return nullptr;
  if (tokenizer::isToken(cell)) {
    const Token* t = static_cast<const Token*>(cell);
    switch (t->type) {
      case Token::kInt:
        return unit->constInt(t->value);
      case Token::kString: {
        ConstString* node = unit->make<ConstString>();
        node->value = t->text;
        return node;
      }
      case Token::kBool: {
        ConstBool* node = unit->make<ConstBool>();
        node->value = t->value != 0;
        return node;
      }
      default:
        LogWrite(LOG_ERROR, u"数値、文字列、bool値以外は即値として使えません(tokentype=%d)\n", t->type);
        return nullptr;
    }
  }
  const Token* head = tokenizer::carAsToken(cell);
  if (!head || head->type != Token::kSymbol) return nullptr;
  const auto it = expressionForms().find(head->text);
  if (it == expressionForms().end()) {
    LogWrite(LOG_ERROR, u"未定義の命令です(%s)\n", head->text);
    return nullptr;
  }
  const std::vector<Cell*> args = elementsOf(tokenizer::cdrOr(cell, nullptr));
  const FormInfo& form = it->second;
  const size_t wanted = form.shape == Shape::kNone ? 0 : form.shape == Shape::kOne ? 1 : form.shape == Shape::kTwo ? 2 : 3;
  if (args.size() != wanted) return nullptr;
  std::vector<Code*> children;
  for (Cell* a : args) {
    Code* child = compileExpression(unit, a, depth + 1);
    if (!child) return nullptr;
    children.push_back(child);
  }
  switch (form.shape) {
    case Shape::kNone:
      return makeShaped<NoChildCode>(unit, form.opcode);
    case Shape::kOne: {
      OneChildCode* node = makeShaped<OneChildCode>(unit, form.opcode);
      node->child = children[0];
      return node;
    }
    case Shape::kTwo: {
      TwoChildCode* node = makeShaped<TwoChildCode>(unit, form.opcode);
      node->left = children[0];
      node->right = children[1];
      return node;
    }
    case Shape::kThree: {
      ThreeChildCode* node = makeShaped<ThreeChildCode>(unit, form.opcode);
      node->condition = children[0];
      node->thenCode = children[1];
      node->elseCode = children[2];
      return node;
    }
  }
  return nullptr;
}

// The statement's form as the message shows it: at most this many units.
constexpr size_t kShownFormLength = 200;

// Names the file, the set or sub and the statement's form, then ends the
// program.
[[noreturn]] void builderFailed(const UnitBuilder* unit) {
  const CompileSite& site = unit->site();
  std::u16string form = unit->statement ? tokenizer::toText(unit->statement) : std::u16string();
  if (form.size() > kShownFormLength) form = form.substr(0, kShownFormLength) + u"...";
  const std::u16string line = Format(u"シナリオのコード解析に失敗(%s, %s %d):%s",
                                     tokenizer::PlaceText(site.path, {unit->statementLine, 0}),
                                     site.set >= 0 ? u"set" : u"sub", site.set >= 0 ? site.set : site.sub, form);
  LogWrite(LOG_ERROR, u"%s\n", line);
  zep_abort(u"内部エラー：コード解析に失敗", line);
}

// An argument that must be an integer immediate: a label number. A label
// that is defined must lie in 0..kMaxScriptIndex - 1 (it sizes the label
// table); a jump may name any number: one that names no label of the unit is
// reported when the jump is taken, and the run goes on.
int32_t labelArgument(UnitBuilder* unit, const std::vector<Cell*>& args, bool definition) {
  if (args.size() != 1) builderFailed(unit);
  const Code* value = compileExpression(unit, args[0]);
  if (!value || value->opcode != ConstInt::kOpcode) builderFailed(unit);
  const int32_t label = static_cast<const ConstInt*>(value)->value;
  if (definition && (label < 0 || label >= kMaxScriptIndex)) builderFailed(unit);
  return label;
}

Code* oneArgument(UnitBuilder* unit, const std::vector<Cell*>& args) {
  if (args.size() != 1) builderFailed(unit);
  Code* child = compileExpression(unit, args[0]);
  if (!child) builderFailed(unit);
  return child;
}

template <class T>
T* oneChildStatement(UnitBuilder* unit, const std::vector<Cell*>& args) {
  T* node = unit->make<T>();
  node->child = oneArgument(unit, args);
  return node;
}

template <class T>
T* labelStatement(UnitBuilder* unit, const std::vector<Cell*>& args) {
  T* node = unit->make<T>();
  node->label = labelArgument(unit, args, T::kOpcode == SLabel::kOpcode);
  return node;
}

// Null for a statement the loader refuses (logged); ends the program for a
// malformed recognised statement.
Code* compileStatement(UnitBuilder* unit, Cell* cell) {
  unit->statement = cell;
  const Token* head = tokenizer::carAsToken(cell);
  if (!head || head->type != Token::kSymbol) return nullptr;
  const std::u16string& name = head->text;
  const std::vector<Cell*> args = elementsOf(tokenizer::cdrOr(cell, nullptr));
  if (name == u"a3:eval") return oneChildStatement<SEval>(unit, args);
  if (name == u"a3:eval-noeffect") return oneChildStatement<SEvalNE>(unit, args);
  if (name == u"a3:jump") return oneChildStatement<SJump>(unit, args);
  if (name == u"a3:call-sub") return oneChildStatement<SCallSub>(unit, args);
  if (name == u"a3:call-user-func") {
    SCallUserfunc* node = unit->make<SCallUserfunc>();
    node->exprs.reserve(args.size());
    for (Cell* a : args) {
      Code* e = compileExpression(unit, a);
      if (!e) builderFailed(unit);
      node->exprs.push_back(e);
    }
    return node;
  }
  if (name == u"a3:call-far") {
    if (args.size() != 2) builderFailed(unit);
    SCallFar* node = unit->make<SCallFar>();
    node->left = compileExpression(unit, args[0]);
    node->right = node->left ? compileExpression(unit, args[1]) : nullptr;
    if (!node->left || !node->right) builderFailed(unit);
    return node;
  }
  if (name == u"a3:return") return unit->make<SReturn>();
  if (name == u"a3:goto") return labelStatement<SGoto>(unit, args);
  if (name == u"a3:if") return labelStatement<SIf>(unit, args);
  if (name == u"a3:ifnot") return labelStatement<SIfNot>(unit, args);
  if (name == u"a3:label") return labelStatement<SLabel>(unit, args);
  if (name == u"a3:switch") {
    SSwitch* node = unit->make<SSwitch>();
    bool hasDefault = false;
    for (Cell* entry : args) {
      const std::vector<Cell*> parts = elementsOf(entry);
      const Token* key = parts.size() == 2 ? tokenizer::asToken(parts[0]) : nullptr;
      const Token* label = parts.size() == 2 ? tokenizer::asToken(parts[1]) : nullptr;
      if (!key || !label || label->type != Token::kInt) builderFailed(unit);
      if (key->type == Token::kInt) {
        node->cases[key->value] = label->value;
      } else if (key->type == Token::kSymbol) {
        node->defaultLabel = label->value;
        hasDefault = true;
      } else {
        builderFailed(unit);
      }
    }
    if (!hasDefault) {
      ShowDebugMessageBox(u"defaultLabelがありません");
      builderFailed(unit);
    }
    return node;
  }
  if (name == u"a3:send-string") {
    if (args.empty() || args.size() > 2) builderFailed(unit);
    SCallUserfunc* node = unit->make<SCallUserfunc>();
    node->exprs.reserve(3);
    node->exprs.push_back(unit->constInt(-1));
    const Token* x = tokenizer::asToken(args[0]);
    if (x && x->type == Token::kString) {
      ConstString* text = unit->make<ConstString>();
      text->value = x->text;
      node->exprs.push_back(text);
    } else if (x && x->type == Token::kSymbol) {
      int32_t code;
      if (x->text == u"clear") code = -1;
      else if (x->text == u"wait-e") code = -2;
      else if (x->text == u"wait-w") code = -3;
      else builderFailed(unit);
      node->exprs.push_back(unit->constInt(code));
    } else {
      builderFailed(unit);
    }
    // Without a line id the text built-in gets -1.
    const Token* line = args.size() == 2 ? tokenizer::asToken(args[1]) : nullptr;
    node->exprs.push_back(unit->constInt(line && line->type == Token::kInt ? line->value : -1));
    return node;
  }
  LogWrite(LOG_ERROR, u"未定義の命令です(%s)\n", name);
  return nullptr;
}

}  // namespace

namespace {

// False when a statement fails; *failedLine is then the line it begins on.
bool compileStatements(CompiledUnit* unit, Cell* statements, const CompileSite& site, uint32_t* failedLine) {
  UnitBuilder builder(unit, site);
  size_t count = 0;
  for (Cell* c = statements; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) ++count;
  unit->statements.reserve(unit->statements.size() + count);
  unit->lines.resize(unit->statements.size(), 0);
  unit->lines.reserve(unit->statements.size() + count);
  for (Cell* c = statements; tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    builder.statementLine = static_cast<Cons*>(c)->line;
    Code* statement = compileStatement(&builder, static_cast<Cons*>(c)->car);
    if (!statement) {
      if (failedLine) *failedLine = builder.statementLine;
      return false;
    }
    if (statement->opcode == SLabel::kOpcode) {
      const int32_t n = static_cast<SLabel*>(statement)->label;
      if (static_cast<size_t>(n) >= unit->labels.size()) unit->labels.resize(static_cast<size_t>(n) + 100, -1);
      unit->labels[static_cast<size_t>(n)] = static_cast<int32_t>(unit->statements.size());
    }
    unit->statements.push_back(statement);
    unit->lines.push_back(builder.statementLine);
  }
  return true;
}

// The unit of the first form that defines the set (or sub) in the parsed
// file; null (logged) when the read failed, no form matches or the compile
// fails.
std::unique_ptr<CompiledUnit> compileParsed(const tokenizer::Tokenizer& reader, bool parsed, int32_t set,
                                            int32_t sub, const std::u16string& name, std::u16string_view caller) {
  if (!parsed) {
    LogWriteAt(LOG_WARN, caller, u"シナリオファイルの解析に失敗:%s(%s)\n", reader.error(),
               tokenizer::PlaceText(name, reader.errorAt()));
    return nullptr;
  }
  const bool wantSet = set >= 0;
  const int32_t number = wantSet ? set : sub;
  const std::u16string_view keyword = wantSet ? u"a3:define-set" : u"a3:define-sub";
  uint32_t failedLine = 0;
  // What the message adds: no form of the number, or the form that failed.
  const char16_t* why = u"がありません";
  for (Cell* c = reader.root(); tokenizer::isCons(c); c = static_cast<Cons*>(c)->cdr) {
    Cell* form = static_cast<Cons*>(c)->car;
    const Token* head = tokenizer::carAsToken(form);
    if (!head || !head->isSymbol(keyword)) continue;
    Cell* signature = tokenizer::carOf(tokenizer::cdrOr(form, nullptr));
    const Token* id = tokenizer::carAsToken(signature);
    if (!tokenizer::isCons(signature) || !id || id->type != Token::kInt || id->value != number) continue;
    auto unit = std::make_unique<CompiledUnit>();
    unit->path = name;
    const Token* locals = tokenizer::carAsToken(tokenizer::cdrOr(signature, nullptr));
    unit->numLocals = locals && locals->type == Token::kInt ? locals->value : 0;
    if (unit->numLocals < 0 || unit->numLocals > kMaxScriptIndex) {
      failedLine = static_cast<Cons*>(c)->line;
      why = u"の局所変数の数が範囲外です";
      break;
    }
    if (!compileStatements(unit.get(), tokenizer::cddrOr(form, nullptr), {name, set, sub}, &failedLine)) {
      why = u"をコンパイルできません";
      break;
    }
    return unit;
  }
  LogWriteAt(LOG_WARN, caller, u"シナリオファイルの解析に失敗(%s) (%s %d)%s\n",
             tokenizer::PlaceText(name, {failedLine, 0}), std::u16string(keyword), number, why);
  return nullptr;
}

}  // namespace

bool CompileStatements(CompiledUnit* unit, Cell* statements) {
  return compileStatements(unit, statements, {}, nullptr);
}

std::unique_ptr<CompiledUnit> CompileScenarioText(std::u16string_view text, int32_t set, int32_t sub,
                                                  std::u16string_view path) {
  tokenizer::Tokenizer reader;
  const bool parsed = reader.parseFile(text);
  return compileParsed(reader, parsed, set, sub, std::u16string(path), {});
}

std::unique_ptr<CompiledUnit> CompileScenarioBytes(std::vector<uint8_t> bytes, int32_t set, int32_t sub,
                                                   std::u16string_view path, std::u16string_view caller) {
  tokenizer::Tokenizer reader;
  const bool parsed = reader.parseFile(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
  std::vector<uint8_t>().swap(bytes);  // the cells hold copies of what they need
  return compileParsed(reader, parsed, set, sub, std::u16string(path), caller);
}

namespace {

// Scenario files are looked up among the built-in files first.
constexpr bool kScenarioSearchesBuiltins = true;

}  // namespace

bool ScenarioFileExists(const GameEnvironment& environment, int32_t scenario) {
  std::u16string found;
  bool builtin = false;
  return environment.findFile(environment.getScriptPath(scenario), &found, kScenarioSearchesBuiltins, &builtin);
}

std::unique_ptr<CompiledUnit> LoadCompiledUnit(const GameEnvironment& environment, int32_t scenario, int32_t set,
                                               int32_t sub, std::u16string_view caller) {
  const std::u16string path = environment.getScriptPath(scenario);
  std::vector<uint8_t> bytes;
  bool tooLarge = false;
  if (!environment.loadResource(&bytes, path, true, kScenarioSearchesBuiltins, tokenizer::Tokenizer::kMaxFileBytes,
                                &tooLarge)) {
    if (tooLarge) {
      LogWriteAt(LOG_WARN, caller, u"シナリオファイルの解析に失敗:%s(%s)\n", tokenizer::Tokenizer::kFileTooLargeError,
                 path);
    } else {
      LogWriteAt(LOG_WARN, caller, u"シナリオファイルが見つからない(%s)\n", path);
    }
    return nullptr;
  }
  if (bytes.empty()) {
    LogWriteAt(LOG_WARN, caller, u"シナリオファイルが０バイト(%s)\n", path);
    return nullptr;
  }
  WarnIfUtf8Text(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), path);
  return CompileScenarioBytes(std::move(bytes), set, sub, path, caller);
}
