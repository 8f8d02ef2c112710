// The scenario compiler: finding a set or sub, loads that fail, the label
// table, switch and call shapes, loading code-page files through the
// environment, and the malformed forms that end the program. What the
// statements and expressions do is tested through the script machine.
#include "script/scenario_compiler.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "app/ee_codec.h"
#include "app/game_environment.h"
#include "app/log.h"
#include "platform/utf8.h"
#include "tests/support/test_support.h"

namespace {

std::unique_ptr<CompiledUnit> compileSet(std::u16string_view text, int32_t set) {
  return CompileScenarioText(text, set, -1, u"t.scm");
}

// "(a3:define-set (1 0)", then the statements on line 2, compiled as set 1.
std::unique_ptr<CompiledUnit> compileBody(std::u16string_view statements) {
  return compileSet(u"(a3:define-set (1 0)\n  " + std::u16string(statements) + u")", 1);
}

// The expressions of a call as text: integers, "strings" and #t/#f.
std::string describe(const Code* statement) {
  std::string out;
  for (const Code* e : static_cast<const CallCode*>(statement)->exprs) {
    if (!out.empty()) out += ' ';
    if (e->opcode == ConstInt::kOpcode) {
      out += std::to_string(static_cast<const ConstInt*>(e)->value);
    } else if (e->opcode == ConstString::kOpcode) {
      out += '"' + platform::ToUtf8(static_cast<const ConstString*>(e)->value) + '"';
    } else if (e->opcode == ConstBool::kOpcode) {
      out += static_cast<const ConstBool*>(e)->value ? "#t" : "#f";
    } else {
      out += "op" + std::to_string(e->opcode);
    }
  }
  return out;
}

// True when a line of that level ("[ERROR]", "[WARN ]", ...) holds the text.
bool logged(const LogCapture& log, const std::string& level, const std::string& text) {
  for (const std::string& line : log.lines()) {
    if (line.rfind(level, 0) == 0 && line.find(text) != std::string::npos) return true;
  }
  return false;
}

TEST(ScenarioCompiler, FindsTheNumberedSetOrSubAndReadsItsLocals) {
  const std::u16string text =
      u"(a3:define-sub (1 2) (a3:return) (a3:return))\n"
      u"(a3:define-set (0 5))\n"
      u"(a3:define-set 1 (a3:return))\n"  // no signature list: not a match
      u"(a3:define-set (1 3) (a3:eval 1))\n"
      u"(a3:define-set (1 9) (a3:eval 1) (a3:eval 2))\n"  // a second form for set 1
      u"(a3:define-set (2 x) (a3:eval-noeffect 1))\n";
  auto set1 = compileSet(text, 1);
  ASSERT_NE(set1, nullptr);
  EXPECT_EQ(set1->numLocals, 3);
  ASSERT_EQ(set1->statements.size(), 1u);
  EXPECT_EQ(set1->statements[0]->opcode, SEval::kOpcode);
  EXPECT_TRUE(set1->labels.empty());

  auto sub1 = CompileScenarioText(text, -1, 1, u"t.scm");
  ASSERT_NE(sub1, nullptr);
  EXPECT_EQ(sub1->numLocals, 2);
  EXPECT_EQ(sub1->statements.size(), 2u);

  auto set0 = compileSet(text, 0);
  ASSERT_NE(set0, nullptr);
  EXPECT_EQ(set0->numLocals, 5);
  EXPECT_TRUE(set0->statements.empty());

  auto set2 = compileSet(text, 2);
  ASSERT_NE(set2, nullptr);
  EXPECT_EQ(set2->numLocals, 0);  // not an integer
  EXPECT_EQ(set2->statements[0]->opcode, SEvalNE::kOpcode);
}

TEST(ScenarioCompiler, MissingSetsBadLocalCountsAndUnknownStatementsFailTheLoad) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:define-set (2 0))", nullptr},
      {u"(a3:define-sub (1 0))", nullptr},  // a sub is not a set
      {u"(a3:define-set (1 -1))", nullptr},
      {u"(a3:define-set (1 65537))", nullptr},
      {u"(a3:define-set (1 0) (a3:eval 1)\n\n  (a3:bogus 1))", "未定義の命令です(a3:bogus)"},
      {u"(a3:define-set (1 0) (1 2))", nullptr},
      {u"(a3:define-set (1 0) \"text\")", nullptr},
      {u"(a3:define-set (1 0) (a3:eval 1)))", "シナリオファイルの解析に失敗:unbalanced parenthesis(t.scm:1:34)"},
  };
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(platform::ToUtf8(text));
    LogCapture log;
    EXPECT_EQ(compileSet(text, 1), nullptr);
    EXPECT_TRUE(log.contains("シナリオファイルの解析に失敗")) << log.all();
    if (message) {
      EXPECT_TRUE(log.contains(message)) << log.all();
    }
  }
  {
    // The load names the line of the statement it refused.
    LogCapture log;
    EXPECT_EQ(compileSet(u"(a3:define-set (1 0) (a3:eval 1)\n\n  (a3:bogus 1))", 1), nullptr);
    EXPECT_TRUE(logged(log, "[WARN ]", "シナリオファイルの解析に失敗(t.scm:3)")) << log.all();
  }
  LogCapture log;
  EXPECT_EQ(compileBody(u"(a3:bogus)"), nullptr);
  EXPECT_TRUE(logged(log, "[ERROR]", "未定義の命令です(a3:bogus)")) << log.all();

  auto biggest = compileSet(u"(a3:define-set (1 65536))", 1);
  ASSERT_NE(biggest, nullptr);
  EXPECT_EQ(biggest->numLocals, 65536);
}

TEST(ScenarioCompiler, LabelTableGrowsByAHundredAndMarksUndefinedLabels) {
  auto unit = compileBody(u"(a3:label 5) (a3:eval 1) (a3:label 104) (a3:label 105) (a3:label 0) (a3:label 5)");
  ASSERT_NE(unit, nullptr);
  ASSERT_EQ(unit->labels.size(), 205u);  // 105, then 105 + 100 for label 105
  EXPECT_EQ(unit->labels[5], 5);           // a repeated label keeps the last
  EXPECT_EQ(unit->labels[104], 2);
  EXPECT_EQ(unit->labels[105], 3);
  EXPECT_EQ(unit->labels[0], 4);
  EXPECT_EQ(unit->labels[1], -1);
  EXPECT_EQ(unit->labels[204], -1);

  auto first = compileBody(u"(a3:label 5)");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->labels.size(), 105u);
  EXPECT_EQ(first->labels[5], 0);  // statement 0 is a real target
  EXPECT_EQ(first->labels[4], -1);

  auto last = compileBody(u"(a3:label 65535)");
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->labels.size(), 65635u);
}

TEST(ScenarioCompiler, SwitchMapsKeysAndKeepsTheLastLabelOfARepeatedKey) {
  auto unit = compileBody(u"(a3:switch (1 10) (2 20) (1 11) (-4 40) (default 30))");
  ASSERT_NE(unit, nullptr);
  const auto* sw = static_cast<const SSwitch*>(unit->statements[0]);
  const std::map<int32_t, int32_t> expected{{1, 11}, {2, 20}, {-4, 40}};
  EXPECT_EQ(sw->cases, expected);
  EXPECT_EQ(sw->defaultLabel, 30);
}

TEST(ScenarioCompiler, SendStringCallsTheTextBuiltinWithAWordCodeOrText) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:send-string wait-w 0)", "-1 -3 0"},
      {u"(a3:send-string wait-e 5)", "-1 -2 5"},
      {u"(a3:send-string clear 6)", "-1 -1 6"},
      {u"(a3:send-string \"こんにちは\" 12)", "-1 \"こんにちは\" 12"},
      {u"(a3:send-string \"x\")", "-1 \"x\" -1"},       // no line id
      {u"(a3:send-string \"x\" foo)", "-1 \"x\" -1"},   // not an integer
      {u"(a3:send-string \"x\" \"7\")", "-1 \"x\" -1"},
      {u"(a3:call-user-func)", ""},
      {u"(a3:call-user-func (a3:bop-add 1 2) 4 #t)", "op20 4 #t"},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(platform::ToUtf8(text));
    auto unit = compileBody(text);
    ASSERT_NE(unit, nullptr);
    ASSERT_EQ(unit->statements[0]->opcode, SCallUserfunc::kOpcode);
    EXPECT_EQ(describe(unit->statements[0]), expected);
  }
}

// A regular expression that matches the text as it stands.
std::string Literally(const std::u16string& text) {
  std::string out;
  for (const char c : platform::ToUtf8(text)) {
    if (std::string_view("()[]{}.*+?^$|\\").find(c) != std::string_view::npos) out += '\\';
    out += c;
  }
  return out;
}

// Each malformed recognised form ends the program with the internal-error
// box; the log line or debug box that names the cause comes first, then an
// ERROR line with the file and line, the set and the statement's form, which
// the box shows too.
TEST(ScenarioCompilerDeathTest, MalformedStatementFormsEndTheProgram) {
  const std::pair<const char16_t*, const char*> cases[] = {
      {u"(a3:switch (1 10) (2 20))", "\\[デバッグメッセージ\\] defaultLabelがありません\n"},
      {u"(a3:eval foo)", "数値、文字列、bool値以外は即値として使えません\\(tokentype=2\\)"},
      {u"(a3:eval (a3:nope 1))", "未定義の命令です\\(a3:nope\\)"},
      {u"(a3:eval 1 2)", ""},
      {u"(a3:eval (a3:bop-add 1 2 3))", ""},
      {u"(a3:label -1)", ""},
      {u"(a3:label 65536)", ""},
      {u"(a3:label 70000)", ""},
      {u"(a3:goto \"x\")", ""},
      {u"(a3:call-far 1)", ""},
      {u"(a3:call-user-func 1 foo)", ""},
      {u"(a3:switch (1 x) (default 2))", ""},
      {u"(a3:switch (\"k\" 1) (default 2))", ""},
      {u"(a3:send-string hello 1)", ""},
      {u"(a3:send-string 5 1)", ""},
  };
  for (const auto& [text, cause] : cases) {
    SCOPED_TRACE(platform::ToUtf8(text));
    EXPECT_EXIT(
        {
          SendStdoutToStderr();
          compileBody(text);
          std::exit(0);
        },
        testing::ExitedWithCode(1),
        std::string(cause) + ".*\\[ERROR\\] .*シナリオのコード解析に失敗\\(t\\.scm:2, set 1\\):" + Literally(text) +
            "\n.*内部エラー：コード解析に失敗\n\\[異常終了\\] 内部エラー：コード解析に失敗\n"
            "シナリオのコード解析に失敗\\(t\\.scm:2, set 1\\):" + Literally(text));
  }
}

// Scenario files in the game code page, named by the script naming rule.
class ScenarioFileTest : public testing::Test {
 protected:
  ScenarioFileTest() { env_.resource().script = {u"scene", u"s", 4, u"scm"}; }

  TempDir dir_;
  ScopedCurrentDir cwd_{dir_.path()};
  GameEnvironment env_{platform::FromUtf8(dir_.path().string()), {}, {}};
  LogCapture log_;
};

TEST_F(ScenarioFileTest, CodePageTextWithJapaneseStringsCompiles) {
  // "表示テスト" in the game code page: 表 has '\' (0x5C) as its second byte,
  // which must not act as an escape inside the string.
  const std::string text = "(a3:define-set (1 0) (a3:send-string \"\x95\x5C\x8E\xA6\x83\x65\x83\x58\x83\x67\" 3))";
  dir_.write("scene/s0001.scm", text);
  auto unit = LoadCompiledUnit(env_, 1, 1, -1);
  ASSERT_NE(unit, nullptr) << log_.all();
  const auto* call = static_cast<const CallCode*>(unit->statements[0]);
  ASSERT_EQ(call->exprs.size(), 3u);
  ASSERT_EQ(call->exprs[1]->opcode, ConstString::kOpcode);
  EXPECT_EQ(static_cast<const ConstString*>(call->exprs[1])->value, u"表示テスト");
}

TEST_F(ScenarioFileTest, NulUnclosedAndOversizedFilesFailWithTheReadersMessage) {
  const std::string set = "(a3:define-set (1 0) (a3:eval 1))";
  std::vector<uint8_t> encoded;
  const std::string nul = set + std::string(1, '\0') + "(a3:define-set (2 0))";
  EncodeEEBuffer(&encoded, reinterpret_cast<const uint8_t*>(nul.data()), nul.size(), true);
  // The reason, and where in the file: the line of a NUL byte, the "(" of
  // the list left open, the '"' of the string left open.
  const std::tuple<std::string, std::string, std::string> cases[] = {
      {"\n" + set.substr(0, 10) + std::string(1, '\0') + set.substr(10), "NUL byte at offset 11", ":2"},
      {std::string(encoded.begin(), encoded.end()), "NUL byte at offset 33", ":1"},  // counted after decoding
      {set + "\n  (a3:define-set (2 0)\n(a3:eval 1)", "unclosed parenthesis", ":2:3"},
      {set + " \"open", "unclosed string", ":1:35"},
      {"", "file larger than 64 MiB", ""},
  };
  int32_t number = 10;
  for (const auto& [bytes, message, place] : cases) {
    SCOPED_TRACE(message);
    const std::string name = "scene/s00" + std::to_string(number) + ".scm";
    const std::filesystem::path file = dir_.write(name, bytes);
    if (bytes.empty()) std::filesystem::resize_file(file, (std::uintmax_t{64} << 20) + 1);
    EXPECT_EQ(LoadCompiledUnit(env_, number++, 1, -1), nullptr);
    EXPECT_TRUE(logged(log_, "[WARN ]", "シナリオファイルの解析に失敗:" + message + "(" + name + place + ")"))
        << log_.all();
  }
  // NUL padding at the very end cuts nothing.
  dir_.write("scene/s0020.scm", set + std::string(3, '\0'));
  EXPECT_NE(LoadCompiledUnit(env_, 20, 1, -1), nullptr) << log_.all();
}

TEST_F(ScenarioFileTest, MissingAndEmptyFilesFailWithTheirMessages) {
  EXPECT_EQ(LoadCompiledUnit(env_, 2, 1, -1), nullptr);
  EXPECT_TRUE(logged(log_, "[WARN ]", "シナリオファイルが見つからない(scene/s0002.scm)")) << log_.all();

  dir_.write("scene/s0003.scm", "");
  EXPECT_EQ(LoadCompiledUnit(env_, 3, 1, -1), nullptr);
  EXPECT_TRUE(log_.contains("シナリオファイルが０バイト(scene/s0003.scm)")) << log_.all();
}

}  // namespace
