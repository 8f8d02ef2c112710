// Engine textures without OpenGL: colour names, the name map, the release
// cache and its sweep on a hand-moved clock, cursor and text textures, and
// the device glue (extents, lazy device textures, draw wrappers) against a
// recording fake device.
#include "gdev/texture_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "gdev/gdev_factory.h"
#include "gdev/image_file.h"
#include "platform/utf8.h"
#include "tests/gdev/null_device.h"
#include "tests/support/test_support.h"

namespace {

// Makes fake textures (unless refusing) and records the texture draws.
class FakeDevice : public NullDevice {
 public:
  bool refuse = false;
  std::vector<GDevTextureCreateParams> made;
  int released = 0;
  std::vector<std::string> calls;
  std::vector<GDevUV> uvs;  // of the last draw

  bool createTextureObject(const GDevTextureCreateParams& p, GDevTexture** out) override {
    if (refuse) return false;
    made.push_back(p);
    *out = new SizedTexture(p.width, p.height);
    return true;
  }
  bool releaseTextureObject(GDevTexture* t) override {
    delete t;
    ++released;
    return true;
  }
  void drawTextureQuad(const GDevRectF&, const GDevUV& uv, GDevTexture*, int32_t, int32_t, int32_t) override {
    record("quad", {uv});
  }
  void drawTextureColored(const GDevRect&, const GDevUV& uv, const float*, GDevTexture*, int32_t, int32_t,
                          int32_t) override {
    record("colored", {uv});
  }
  void drawTexture2(const GDevRect&, const GDevUV& a, const GDevUV& b, GDevTexture*, GDevTexture*, int32_t,
                    int32_t) override {
    record("two", {a, b});
  }
  void drawTexture2Colored(const GDevRect&, const GDevUV& a, const GDevUV& b, GDevTexture*, GDevTexture*,
                           const float*, int32_t, int32_t) override {
    record("two-colored", {a, b});
  }
  void crossFade(const GDevRect&, const GDevUV& a, const GDevRect&, const GDevUV& b, GDevTexture*, GDevTexture*,
                 float, int32_t, int32_t) override {
    record("cross", {a, b});
  }
  void ruleFade(const GDevRect&, const GDevUV& a, const GDevRect&, const GDevUV& b, const GDevRect&,
                const GDevUV& c, GDevTexture*, GDevTexture*, GDevTexture*, int32_t, int32_t) override {
    record("rule", {a, b, c});
  }

 private:
  void record(const char* name, std::vector<GDevUV> list) { calls.push_back(name), uvs = std::move(list); }
};

std::vector<uint8_t> Bytes(const ZEPTextureRef& t) { return t->image()->pixels; }

bool SameUV(const GDevUV& a, const GDevUV& b) {
  return a.u0 == b.u0 && a.v0 == b.v0 && a.u1 == b.u1 && a.v1 == b.v1;
}

size_t CountLines(const LogCapture& log, const std::string& text) {
  return std::count_if(log.lines().begin(), log.lines().end(),
                       [&](const std::string& l) { return l.find(text) != std::string::npos; });
}

class TextureManagerTest : public ::testing::Test {
 protected:
  TextureManagerTest() : old_(SetTimerManager(&clock)) {}
  ~TextureManagerTest() override {
    GDevFactory::device = nullptr;
    GetTextureManager().finalize();
    SetTimerManager(old_);
  }

  // A 2x1 PNG in the test's folder; its path.
  std::u16string writePicture(const std::string& name) {
    const std::u16string path = platform::FromUtf8((dir.path() / name).string());
    RGBAImageRef image(RGBAImage(0, 2, 1, std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255}));
    EXPECT_EQ(SaveImageFile(path, image, true, false), 0);
    return path;
  }

  ManualClock clock;
  TempDir dir;
  ScopedLogMask mask{LOG_TRACE | LOG_WARN};

 private:
  TimerManager* old_;
};

TEST_F(TextureManagerTest, ColourNamesColourTexturesAndLimits) {
  ZEPTextureManager manager;
  ZEPTextureRef t;
  ASSERT_EQ(manager.getTexture(t, u"#10,20,30", 0, 0), 0);
  EXPECT_EQ(Bytes(t), (std::vector<uint8_t>{0x1E, 0x14, 0x0A, 0xFF}));
  EXPECT_EQ(t->coordMode(), 1);
  EXPECT_EQ(t->secondMode(), 3);
  EXPECT_TRUE(t->name().empty());
  EXPECT_EQ(manager.inUseCount(), 0u);
  ASSERT_EQ(manager.getTexture(t, u"#1,2,-1,260", 1, 3), 0);  // low bytes only
  EXPECT_EQ(Bytes(t), (std::vector<uint8_t>{255, 2, 1, 4}));

  LogCapture log;
  for (const char16_t* bad : {u"#10,20", u"#red", u"#", u"#10 ,20,30"}) {
    log.clear();
    ASSERT_EQ(manager.getTexture(t, bad, 1, 3), 0);
    EXPECT_EQ(Bytes(t), (std::vector<uint8_t>(4, 255))) << platform::ToUtf8(bad);
    EXPECT_EQ(CountLines(log, "色フォーマット"), 1u) << log.all();
  }
  EXPECT_TRUE(log.contains("[WARN ] ")) << log.all();
  EXPECT_TRUE(log.contains("色フォーマットが間違っているので、白(255,255,255,255)にします。(#10 ,20,30)\n"))
      << log.all();

  ZEPTexture* before = t.get();
  EXPECT_EQ(manager.getTexture(t, u"", 1, 3), 1);
  EXPECT_EQ(t.get(), before);

  const ZEPTextureRef colour = MakeColorTexture(10, 20, 30, 40);
  EXPECT_EQ(Bytes(colour), (std::vector<uint8_t>{30, 20, 10, 40}));
  EXPECT_EQ(colour->width(), 1);
  EXPECT_EQ(colour->refCount(), 1);

  SetTextureCacheLimits(2, 3);
  EXPECT_EQ(GetTextureManager().countLimit(), 4);
  EXPECT_EQ(GetTextureManager().ageLimitSeconds(), 5);
  SetTextureCacheLimits(5000, 9999);
  EXPECT_EQ(GetTextureManager().countLimit(), 1000);
  EXPECT_EQ(GetTextureManager().ageLimitSeconds(), 1200);
  SetTextureCacheLimits(ZEPTextureManager::kDefaultCountLimit, ZEPTextureManager::kDefaultAgeLimitSeconds);
}

TEST_F(TextureManagerTest, NamedTexturesAreSharedCachedRevivedAndPurged) {
  ZEPTextureManager manager;
  const std::u16string path = writePicture("a.png");
  ZEPTextureRef a, b;
  ASSERT_EQ(manager.loadTexture(a, path, 1, 3), 0);
  ASSERT_EQ(manager.getTexture(b, path, 1, 3), 0);
  ZEPTexture* texture = a.get();
  EXPECT_EQ(b.get(), texture);
  EXPECT_EQ(texture->refCount(), 2);
  EXPECT_EQ(texture->width(), 2);
  ZEPTextureRef& same = b;
  b = same;  // self-assignment changes nothing
  EXPECT_EQ(texture->refCount(), 2);
  manager.purgeCached(path);  // in use: untouched
  EXPECT_EQ(manager.queuedCount(), 0u);

  a.reset();
  clock.ms += 1234;
  b = ZEPTextureRef();
  EXPECT_EQ(manager.inUseCount(), 0u);
  EXPECT_EQ(manager.cachedCount(), 1u);
  EXPECT_EQ(texture->lastReleaseTime(), 101234u);

  // Revived without the file, old modes kept.
  std::filesystem::remove(platform::ToUtf8(path));
  ASSERT_EQ(manager.loadTexture(a, path, 0, 0), 0);
  EXPECT_EQ(a.get(), texture);
  EXPECT_EQ(a->refCount(), 1);
  EXPECT_EQ(a->coordMode(), 1);
  EXPECT_EQ(manager.cachedCount(), 0u);

  // A missing file: the loader's code, the handle keeps its texture.
  EXPECT_NE(manager.loadTexture(a, path + u"x", 1, 3), 0);
  EXPECT_EQ(a.get(), texture);

  a.reset();
  manager.purgeCached(path);
  EXPECT_EQ(manager.cachedCount(), 0u);
  EXPECT_EQ(manager.queuedCount(), 1u);
  EXPECT_NE(manager.loadTexture(a, path, 1, 3), 0);  // the file is read again, and it is gone

  // Unnamed textures are queued on release and stay valid until the sweep.
  ZEPTextureRef blank;
  manager.createBlank(blank, 3, 2, 1, 3);
  EXPECT_EQ(Bytes(blank), std::vector<uint8_t>(24, 0));
  RGBAImageRef shared = blank->image();
  blank.reset();
  EXPECT_EQ(manager.queuedCount(), 2u);
  LogCapture log;
  manager.finalize();
  EXPECT_EQ(manager.queuedCount(), 0u);
  EXPECT_TRUE(log.contains("ZEPTextureManager::finalize() : 2 textures deleted!\n")) << log.all();
  EXPECT_EQ(shared->width, 3);  // our holder keeps the pixels

  // A blank past the image cap: 1, one WARN and a texture over an empty image.
  ZEPTextureRef huge;
  log.clear();
  EXPECT_EQ(manager.createBlank(huge, 50000, 50000, 1, 3), 1);
  EXPECT_TRUE(log.contains("ZEPTextureManager::createBlank : 画像が大きすぎる(50000 x 50000)")) << log.all();
  ASSERT_TRUE(huge);
  EXPECT_EQ(huge->width(), 0);
  EXPECT_TRUE(huge->image()->pixels.empty());
}

TEST_F(TextureManagerTest, SweepTrimsTheNewestBeyondTheCountThenTheOld) {
  ZEPTextureManager manager;
  manager.setLimits(4, 20);
  std::vector<std::u16string> paths;
  for (int i = 0; i < 4; ++i) {
    paths.push_back(writePicture("p" + std::to_string(i) + ".png"));
    ZEPTextureRef t;
    ASSERT_EQ(manager.loadTexture(t, paths.back(), 1, 3), 0);
    clock.ms += 1000;
  }
  EXPECT_EQ(manager.cachedCount(), 4u);
  LogCapture log;
  manager.finalize();
  EXPECT_EQ(manager.cachedCount(), 3u);
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.contains("ZEPTextureManager::finalize() : 1 textures deleted!\n")) << log.all();
  // The three released first are still cached; the last one must be read again.
  for (const auto& p : paths) std::filesystem::remove(platform::ToUtf8(p));
  {
    ZEPTextureRef t;
    EXPECT_NE(manager.loadTexture(t, paths[3], 1, 3), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(manager.loadTexture(t, paths[i], 1, 3), 0) << i;
  }
  // Released again at (now): exactly 20 s later they stay, after that they go.
  log.clear();
  clock.ms += 20000;
  manager.finalize();
  EXPECT_EQ(manager.cachedCount(), 3u);
  EXPECT_TRUE(log.lines().empty()) << log.all();
  clock.ms += 1;
  manager.finalize();
  EXPECT_EQ(manager.cachedCount(), 0u);
  EXPECT_TRUE(log.contains("ZEPTextureManager::finalize() : 3 textures deleted!\n")) << log.all();

  // Early in a run the clock is below the age limit: nothing is too old yet.
  clock.ms = 500;
  ZEPTextureRef t;
  ASSERT_EQ(manager.loadTexture(t, writePicture("early.png"), 1, 3), 0);
  t.reset();
  manager.finalize();
  EXPECT_EQ(manager.cachedCount(), 1u);
}

TEST_F(TextureManagerTest, DeviceTexturesExtentsAndDrawWrappers) {
  ZEPTextureManager manager;
  FakeDevice device;
  GDevFactory::device = &device;
  ZEPTextureRef picture, opaque;
  manager.createBlank(picture, 300, 200, 1, 3);
  ASSERT_EQ(manager.getTexture(opaque, u"#1,2,3", 1, 3), 0);
  EXPECT_EQ(picture->getUExtent(), 1.0f);  // no device texture yet
  EXPECT_EQ(picture->getVExtent(), 1.0f);

  DrawTextureRect({0, 0, 300, 200}, {0, 0, 1, 1}, picture.get(), 2, 0, 0);
  ASSERT_EQ(device.made.size(), 1u);
  EXPECT_EQ(device.made[0].width, 300);
  EXPECT_EQ(device.made[0].format, 3);  // blank pixels have alpha 0
  EXPECT_EQ(device.made[0].source, picture->pixelSource());
  ASSERT_EQ(device.calls, std::vector<std::string>{"quad"});
  EXPECT_TRUE(SameUV(device.uvs[0], {0, 0, 0.5859375f, 0.78125f}));
  DrawTextureRectI({0, 0, 300, 200}, {0.5f, 0, 1, 0.5f}, picture.get(), 2, 0, 0);
  EXPECT_EQ(device.made.size(), 1u);  // made once
  EXPECT_TRUE(SameUV(device.uvs[0], {0.29296875f, 0, 0.5859375f, 0.390625f}));

  DrawRuleFade({}, {0, 0, 1, 1}, {}, {0, 0, 1, 1}, {}, {0, 0, 1, 1}, picture.get(), opaque.get(), picture.get(), 2,
               0);
  EXPECT_EQ(device.made.back().format, 1);
  EXPECT_EQ(device.calls.back(), "rule");
  EXPECT_TRUE(SameUV(device.uvs[1], {0, 0, 1, 1}));  // 1x1 fills its 1x1 storage
  EXPECT_TRUE(SameUV(device.uvs[2], {0, 0, 0.5859375f, 0.78125f}));

  // Coordinate mode 0: source rectangles go through unchanged.
  ZEPTextureRef raw;
  manager.createBlank(raw, 3, 3, 0, 3);
  DrawCrossFade({}, {0, 0, 1, 1}, {}, {0, 0, 0.5f, 1}, raw.get(), picture.get(), 0.5f, 2, 0);
  EXPECT_TRUE(SameUV(device.uvs[0], {0, 0, 1, 1}));
  EXPECT_TRUE(SameUV(device.uvs[1], {0, 0, 0.29296875f, 0.78125f}));

  // A refused texture: nothing drawn, one ERROR for repeated tries.
  ZEPTextureRef refused;
  manager.createBlank(refused, 2, 2, 1, 3);
  device.refuse = true;
  LogCapture log;
  const size_t drawn = device.calls.size();
  const float white[4] = {1, 1, 1, 1};
  DrawTexture2Rect({}, {}, {}, picture.get(), refused.get(), 2, 0);
  DrawTexture2RectEx({}, {}, {}, refused.get(), picture.get(), white, 2, 0);
  EXPECT_EQ(device.calls.size(), drawn);
  EXPECT_EQ(CountLines(log, "[ERROR] "), 1u) << log.all();
  EXPECT_TRUE(log.contains("ZEPTexture::ensureDeviceTexture() : failed to createTexture(2, 2)")) << log.all();
  device.refuse = false;
  DrawTextureRectColored({}, {0, 0, 1, 1}, white, refused.get(), 2, 0, 0);
  EXPECT_EQ(device.calls.back(), "colored");

  // Pixel source: wrong sizes are refused, right ones bump the revision.
  GDevPixelSource* source = picture->pixelSource();
  RGBAImageRef seen;
  source->getImage(seen);
  EXPECT_EQ(seen.get(), picture->image().get());
  const uint32_t revision = source->getRevision();
  source->setPixels(std::vector<uint8_t>(8, 7));
  EXPECT_EQ(source->getRevision(), revision);
  EXPECT_EQ(seen->pixels[0], 0);
  source->setPixels(std::vector<uint8_t>(300 * 200 * 4, 7));
  EXPECT_EQ(source->getRevision(), revision + 1);
  EXPECT_EQ(seen->pixels[0], 7);

  // Release gives the device texture back at once.
  const int releasedBefore = device.released;
  refused.reset();
  EXPECT_EQ(device.released, releasedBefore + 1);

  // Without a device: nothing drawn, one ERROR until a device texture is made again.
  picture->releaseDeviceTexture();
  GDevFactory::device = nullptr;
  log.clear();
  DrawTextureRect({0, 0, 1, 1}, {0, 0, 1, 1}, picture.get(), 2, 0, 0);
  DrawTextureRect({0, 0, 1, 1}, {0, 0, 1, 1}, picture.get(), 2, 0, 0);
  EXPECT_EQ(picture->deviceTexture(), nullptr);
  EXPECT_EQ(CountLines(log, "ZEPTexture::ensureDeviceTexture() : no graphics device"), 1u) << log.all();
  GDevFactory::device = &device;
  picture.reset();
  opaque.reset();
  raw.reset();
  manager.finalize();
  EXPECT_EQ(device.released, static_cast<int>(device.made.size()));
  GDevFactory::device = nullptr;
}

TEST_F(TextureManagerTest, CursorAndTextTextures) {
  // A static 2x2 32-bit cursor with its hotspot at (1, 0).
  std::vector<uint8_t> file;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) file.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(0, 2), put(2, 2), put(1, 2);
  put(0x0202, 4), put(1, 2), put(0, 2), put(40 + 24, 4), put(22, 4);
  put(40, 4), put(2, 4), put(4, 4), put(1 | 32 << 16, 4), put(0, 4), put(24, 4);
  for (int i = 0; i < 4; ++i) put(0, 4);
  for (uint32_t pixel : {0x80000001u, 0x80000002u, 0xFF000003u, 0xFF000004u}) put(pixel, 4);  // bottom row first
  put(0, 4), put(0, 4);  // AND mask, not read for 32 bits
  const std::filesystem::path cur = dir.write("arrow.cur", std::string(file.begin(), file.end()));

  std::vector<ZEPTextureRef> frames(1);  // appended after what is there
  CursorHeader header;
  ASSERT_EQ(LoadCursorTextures(&frames, platform::FromUtf8(cur.string()), &header, 1, 3), 0);
  ASSERT_EQ(frames.size(), 2u);
  EXPECT_EQ(frames[1]->width(), 2);
  EXPECT_EQ(frames[1]->image()->pixels[0], 3);  // top row first
  EXPECT_EQ(frames[1]->image()->pixels[15], 0x80);
  EXPECT_TRUE(frames[1]->name().empty());
  EXPECT_EQ(header.width, 2);
  EXPECT_EQ(header.rate, 1);
  EXPECT_EQ(header.hotspotX, 1);
  EXPECT_EQ(header.hotspotY, 0);

  CursorHeader untouched;
  untouched.rate = 77;
  const std::filesystem::path bad = dir.write("bad.ani", std::string("RIFF\x04\0\0\0WAVE", 12));
  {
    // A broken file is named in one WARN; a missing one is not.
    LogCapture log;
    EXPECT_EQ(LoadCursorTextures(&frames, platform::FromUtf8(bad.string()), &untouched, 1, 3), 1);
    EXPECT_EQ(LoadCursorTextures(&frames, u"/no/such/file.cur", &untouched, 1, 3), 1);
    int warnings = 0;
    for (const std::string& line : log.lines()) warnings += line.find("[WARN ]") != std::string::npos;
    EXPECT_EQ(warnings, 1) << log.all();
    EXPECT_TRUE(log.contains("[WARN ] ") && log.contains("カーソルファイルが読み込めない(" + bad.string() + ")"))
        << log.all();
  }
  EXPECT_EQ(frames.size(), 2u);
  EXPECT_EQ(untouched.rate, 77);

  // Text: a texture over the rendered image; no renderer empties the handle.
  struct Solid : FontRenderer {
    void render(RGBAImageRef& out, const TextRenderParams& p, std::u16string_view text, int32_t) override {
      out = RGBAImageRef(RGBAImage(0, static_cast<int32_t>(text.size()) * p.size, p.size));
    }
    int32_t adjustSize(int32_t size) const override { return size; }
  };
  FontRendererTable table;
  ZEPTextureRef text = MakeColorTexture(1, 2, 3, 4);
  RenderTextTexture(table, text, TextRenderParams{0, 8, 0, 0, 0}, u"ab", 0);
  EXPECT_FALSE(text);
  table.set(0, std::make_unique<Solid>());
  RenderTextTexture(table, text, TextRenderParams{3, 8, 0, 0, 0}, u"ab", 0);
  ASSERT_TRUE(text);
  EXPECT_EQ(text->width(), 16);
  EXPECT_EQ(text->height(), 8);
  EXPECT_EQ(text->coordMode(), 1);
  EXPECT_EQ(text->secondMode(), 3);
}

}  // namespace
