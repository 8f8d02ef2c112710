// The configuration loader, its dispatcher and value readers, and the
// product, system, resource, constants, key and window sections, read
// through GameEnvironment::init from files in a temporary folder.
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "app/config_reader.h"
#include "app/ee_codec.h"
#include "app/game_environment.h"
#include "app/key_names.h"
#include "app/log.h"
#include "script/tokenizer.h"
#include "tests/support/config_load_test.h"
#include "tests/support/test_support.h"

namespace {

using ConfigTest = ConfigLoadTest;

TEST_F(ConfigTest, MissingEmptyAndUnparsableFilesFailWithTheirMessages) {
  newEnvironment();
  EXPECT_FALSE(env_->init(u"absent.scm"));
  EXPECT_TRUE(log_.contains("[WARN ] ")) << log_.all();
  EXPECT_TRUE(log_.contains("コンフィグファイルが見つからない(absent.scm)\n"));
  EXPECT_FALSE(load(""));
  EXPECT_TRUE(log_.contains("コンフィグファイルのサイズが0(game.scm)\n"));
  EXPECT_FALSE(load("(:system (:mutex-name . \"m\")))"));
  EXPECT_TRUE(log_.contains("コンフィグファイルの解析に失敗:unbalanced parenthesis(game.scm:1:30)\n")) << log_.all();
}

TEST_F(ConfigTest, WhiteSpaceOnlyFileKeepsEveryDefault) {
  ASSERT_TRUE(load("  \n\t "));
  EXPECT_EQ(env_->systemRecord().mutexName, u"__default__");
  EXPECT_EQ(env_->systemRecord().textureCacheNum, 60);
  EXPECT_EQ(env_->window().width, 800);
  EXPECT_EQ(env_->productInfo().savedataEncmode, 2);
  EXPECT_EQ(env_->resource().fonts[0].type, 0);
  EXPECT_EQ(env_->resource().fonts[1].type, -1);
}

TEST_F(ConfigTest, EncodedConfigurationLoads) {
  const std::string text = "(:system (:mutex-name . \"enc\"))";
  std::vector<uint8_t> block;
  EncodeEEBuffer(&block, reinterpret_cast<const uint8_t*>(text.data()), text.size(), true);
  dir_.write("game.scm", std::string(block.begin(), block.end()));
  newEnvironment();
  ASSERT_TRUE(env_->init(u"game.scm"));
  EXPECT_EQ(env_->systemRecord().mutexName, u"enc");
}

TEST_F(ConfigTest, DispatcherSkipsAtomsAndEmptyListsAndReportsUnknownSections) {
  ASSERT_TRUE(load("sym 12 () (:colors (1 2 3)) (:system (:mutex-name . \"after\"))"));
  EXPECT_TRUE(log_.contains("Config:使用されなかったエントリ<:colors> (game.scm:1)\n"));
  EXPECT_EQ(env_->systemRecord().mutexName, u"after");
}

// The message names the line of the entry at fault (line 2, not that of its
// section), the section and the entry.
TEST_F(ConfigTest, MalformedShapesFailTheWholeLoad) {
  for (const auto& [text, failed] : std::initializer_list<std::pair<const char*, const char*>>{
           {"\n(\"head\" (:mutex-name . \"x\"))", "(\"head\" (:mutex-name . \"x\"))"},  // a head that is a string
           {"(:system (:mutex-name . \"ok\")\n  (:mutex-name \"x\"))", ":system (:mutex-name \"x\")"},  // a list entry where pairs belong
           {"(:system (:mutex-name . \"ok\")\n  (:mutex-name . (1 2)))", ":system (:mutex-name 1 2)"},  // a list as value
           {"(:system\n  (\"key\" . 1))", ":system (\"key\" . 1)"},  // a key that is not a symbol
           {"(:system\n  foo)", ":system foo"},                      // an element that is not a list
           {"(:window (:window-width 1)\n  (:window-width))", ":window (:window-width)"},  // a list entry without its value
       }) {
    log_.clear();
    EXPECT_FALSE(load(text)) << text;
    EXPECT_TRUE(log_.contains(std::string("コンフィグファイルの読み込みに失敗(game.scm:2) ") + failed + "\n"))
        << text << log_.all();
  }
}

TEST_F(ConfigTest, SectionsStopAtTheFirstFailureButKeepEarlierOnes) {
  EXPECT_FALSE(load("(:system (:mutex-name . \"first\")) (:product-info (:savedata-usage . 3)) "
                    "(:window (:window-width 1))"));
  EXPECT_EQ(env_->systemRecord().mutexName, u"first");
  EXPECT_EQ(env_->window().width, 800);
  EXPECT_FALSE(load("(:product-info (:save-folder-location . 2))"));
  ASSERT_TRUE(load("(:product-info (:savedata-usage . 2) (:save-folder-location . 1))"));
  EXPECT_EQ(env_->productInfo().savedataUsage, 2);
}

TEST_F(ConfigTest, RepeatedSectionOverwritesOnlyItsOwnKeys) {
  ASSERT_TRUE(load("(:product-info (:author-name . \"a\") (:product-name . \"p\") (:savedata-version . 3)"
                   " (:author-key . \"ak\") (:alternative-resource-searchpath-regkey . \"alt\"))"
                   "(:product-info (:author-name . \"b\") (:bogus . 1) (:savedata-version . \"x\"))"));
  const Config::ProductInfo& p = env_->productInfo();
  EXPECT_EQ(p.authorName, u"b");
  EXPECT_EQ(p.productName, u"p");
  EXPECT_EQ(p.savedataVersion, 3);  // a value of the wrong type is ignored
  EXPECT_EQ(p.authorKey, u"ak");
  EXPECT_EQ(p.altSearchPathRegkey, u"alt");
  EXPECT_TRUE(log_.contains("Config.ProductInfo:使用されなかったエントリ<:bogus> (game.scm:1)\n"));
  EXPECT_TRUE(log_.contains("Config.ProductInfo:使用されなかったエントリ<:savedata-version> (game.scm:1)\n"));
}

TEST_F(ConfigTest, SystemSection) {
  ASSERT_TRUE(load("(:system (:mutex-name . \"m\") (:texture-cache-num . 8) (:texture-cache-purge-timelimit . 3)"
                   " (:other . 1))"));
  EXPECT_EQ(env_->systemRecord().mutexName, u"m");
  EXPECT_EQ(env_->systemRecord().textureCacheNum, 8);
  EXPECT_EQ(env_->systemRecord().textureCachePurgeTimelimit, 3);
  EXPECT_TRUE(log_.contains("Config.System:使用されなかったエントリ<:other> (game.scm:1)\n"));
}

TEST_F(ConfigTest, ResourceNamingRulesFontsAndSaveNames) {
  ASSERT_TRUE(load(
      "(:resource (:image-basedir \"bg\") (:image-basename \"bg\") (:image-num-digits 3) (:image-extension \"png\")"
      " (:voice-basedir \"voice\") (:voice-scene-num-digits 3) (:voice-voice-num-digits 4)"
      " (:voice-voice-prefix \"v\") (:voice-extension \"ogg\") (:font-basedir \"font\")"
      " (:font-1-type 1) (:font-1-name \"gothic\") (:font-1-3l \"big3\") (:font-1-2-24 \"s24\")"
      " (:font-1-2-25 \"odd\") (:font-7-0-126 5) (:font-8-type 1)"
      " (:save-basedir \"save\") (:save-syssave-name \"sys.dat\") (:save-syssave-default-name \"def.dat\")"
      " (:cursor-basedir \"cur\") (:cursor-num-digits 2) (:storage-extension \"bin\"))"));
  const Config::ResourceRecord& r = env_->resource();
  EXPECT_EQ(env_->getImagePath(APValue(12)), u"bg/bg012.png");
  EXPECT_EQ(env_->getVoicePath(5, 12), u"voice/005/v0050012.ogg");
  EXPECT_EQ(r.fontBaseDir, u"font");
  EXPECT_EQ(r.fonts[1].type, 1);
  EXPECT_EQ(r.fonts[1].name, u"gothic");
  EXPECT_EQ(r.fonts[1].files[7], u"big3");
  EXPECT_EQ(r.fonts[1].sizes.at(24)[2], u"s24");
  EXPECT_EQ(r.fonts[1].sizes.count(25), 0u);
  EXPECT_EQ(r.fonts[7].sizes.at(126)[0], u"");  // a number is stored as an empty name
  EXPECT_TRUE(log_.contains("Config.Resource:使用されなかったエントリ<:font-1-2-25> (game.scm:1)\n"));
  EXPECT_TRUE(log_.contains("Config.Resource:使用されなかったエントリ<:font-8-type> (game.scm:1)\n"));
  EXPECT_EQ(env_->getSysSavePath(), u"save/sys.dat");
  EXPECT_EQ(env_->getSysSaveDefaultPath(), u"save/def.dat");
  EXPECT_EQ(env_->getCursorPath(APValue(7)), u"cur/07");
  EXPECT_EQ(r.storage.extension, u"bin");
}

TEST_F(ConfigTest, EveryResourceSectionResetsFontZeroToASystemFont) {
  ASSERT_TRUE(load("(:resource (:font-0-type 2)) (:resource (:font-1-type 1))"));
  EXPECT_EQ(env_->resource().fonts[0].type, 0);
  EXPECT_EQ(env_->resource().fonts[1].type, 1);
}

TEST_F(ConfigTest, ConstantsSkipNegativeIndexesAndKeepTheLastDuplicate) {
  ASSERT_TRUE(load("(:flag-constants (-1 . 5) (3 . 7) (3 . 8)) (:string-constants (2 . \"two\"))"));
  EXPECT_EQ(env_->constants().size(), 1u);
  EXPECT_EQ(env_->constants().at(3), 8);
  EXPECT_EQ(env_->stringConstants().at(2), u"two");
  EXPECT_FALSE(load("(:flag-constants (1 . \"s\"))"));
  EXPECT_FALSE(load("(:string-constants (1 . 2))"));
  EXPECT_FALSE(load("(:flag-constants (a . 2))"));
  EXPECT_FALSE(load("(:flag-constants (1 2))"));  // a list value
}

TEST_F(ConfigTest, SystemScriptOverridesComeFromFlagConstants) {
  ASSERT_TRUE(load("(:flag-constants (40 . 123) (41 . -1))"));
  EXPECT_EQ(env_->getScriptNo(0), 123);
  EXPECT_EQ(env_->getScriptNo(1), 9000);
}

TEST_F(ConfigTest, KeySectionMapsNamesAndNumbersFirstEntryWins) {
  ASSERT_TRUE(load("(:key (\"save\" . \"F5\") (\"load\" . 117) (\"qsave\" . 0) (\"automsg\" . \"F5\"))"));
  const auto& keys = env_->keyMap();
  EXPECT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys.at(116), 2);
  EXPECT_EQ(keys.at(117), 3);
}

TEST_F(ConfigTest, KeySectionFailures) {
  EXPECT_FALSE(load("(:key (save . \"F5\"))"));
  EXPECT_FALSE(load("(:key (\"jump\" . \"F5\"))"));
  EXPECT_TRUE(log_.contains("Config.Key:未知のイベント名(jump) (game.scm:1)\n"));
  EXPECT_FALSE(load("(:key (\"save\" . \"F13\"))"));
  EXPECT_TRUE(log_.contains("Config.Key:未知のキーコード名(F13) (game.scm:1)\n"));
  EXPECT_FALSE(load("(:key (\"save\" . #t))"));
  EXPECT_TRUE(log_.contains("Config.Key:キーコードは文字列または数値 (game.scm:1)\n"));
}

TEST_F(ConfigTest, WindowSectionFillsSizeEntriesBySuffix) {
  ASSERT_TRUE(load("(:window (:window-width 1024) (:window-height-2 480) (:window-title \"T\")"
                   " (:enable-exit-by-user #f) (:flip-method \"nowait\") (:window-width-10 5))"));
  const Config::WindowRecord& w = env_->window();
  EXPECT_EQ(w.title, u"T");
  EXPECT_FALSE(w.enableExitByUser);
  EXPECT_EQ(w.flipMethod, u"nowait");
  EXPECT_EQ(w.sizes[0].right, 1024);
  EXPECT_EQ(w.sizes[0].bottom, 600);
  EXPECT_EQ(w.sizes[2].right, 0);
  EXPECT_EQ(w.sizes[2].bottom, 480);
  EXPECT_TRUE(log_.contains("Config.Window:使用されなかったエントリ<:window-width-10> (game.scm:1)\n"));
  // A later section starts from an empty size table.
  ASSERT_TRUE(load("(:window (:window-height-2 480)) (:window)"));
  EXPECT_EQ(env_->window().sizes[2].bottom, 0);
  EXPECT_EQ(env_->window().sizes[0].right, 800);
}

TEST(ConfigValueReaders, ColorListsClampAndDefaultAlpha) {
  struct Case {
    const char16_t* text;
    bool ok;
    uint32_t color;
  };
  for (const Case& c : {Case{u"(10 20 30)", true, 0xFF0A141Eu}, Case{u"(300 -5 0 128)", true, 0x80FF0000u},
                        Case{u"(1 2 3 \"x\")", true, 0x00010203u}, Case{u"(1 2 3 (4))", true, 0xFF010203u},
                        Case{u"(a 2 3)", true, 0xFF000203u}, Case{u"(1 2)", false, 0},
                        Case{u"(1 (2) 3)", false, 0}, Case{u"()", false, 0}}) {
    tokenizer::Tokenizer reader;
    ASSERT_TRUE(reader.parse(c.text));
    uint32_t color = 0x12345678;
    EXPECT_EQ(ParseColorList(tokenizer::carOf(reader.root()), &color), c.ok);
    EXPECT_EQ(color, c.ok ? c.color : 0x12345678u);
  }
}

TEST(ConfigValueReaders, ReadersNeedTheExactKeyAndType) {
  tokenizer::Tokenizer reader;
  ASSERT_TRUE(reader.parse(u"(5 #t \"s\")"));
  tokenizer::Cell* list = tokenizer::carOf(reader.root());
  const tokenizer::Token* number = tokenizer::asToken(ListElement(list, 0));
  const tokenizer::Token* flag = tokenizer::asToken(ListElement(list, 1));
  const tokenizer::Token* text = tokenizer::asToken(ListElement(list, 2));
  int32_t i = -1;
  bool b = false;
  std::u16string s;
  EXPECT_FALSE(ReadEntryInt(u":a", number, u":A", &i));
  EXPECT_FALSE(ReadEntryInt(u":a", flag, u":a", &i));
  EXPECT_EQ(i, -1);
  EXPECT_TRUE(ReadEntryInt(u":a", number, u":a", &i));
  EXPECT_EQ(i, 5);
  EXPECT_FALSE(ReadEntryBool(u":a", number, u":a", &b));
  EXPECT_TRUE(ReadEntryBool(u":a", flag, u":a", &b));
  EXPECT_TRUE(b);
  EXPECT_FALSE(ReadEntryString(u":a", nullptr, u":a", &s));
  EXPECT_TRUE(ReadEntryString(u":a", text, std::u16string(u":a"), &s));
  EXPECT_EQ(s, u"s");
}

TEST(ConfigWords, CommandWordsAndKeyNames) {
  EXPECT_EQ(systemCommandFromName(u"automsg"), 29);
  EXPECT_EQ(systemCommandFromName(u"qload"), 15);
  EXPECT_EQ(systemCommandFromName(u"Save"), 0);
  EXPECT_EQ(keyCodeFromName(u"F1"), 112);
  EXPECT_EQ(keyCodeFromName(u"F10"), 121);
  EXPECT_EQ(keyCodeFromName(u"F12"), 123);
  for (const char16_t* bad : {u"F0", u"F13", u"F01", u"f5", u"F", u"F5x", u""}) {
    EXPECT_EQ(keyCodeFromName(bad), 0);
  }
}

}  // namespace
