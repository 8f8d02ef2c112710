// StateMgr: the recording setters. Built-ins call them beside every scene
// change so a save can rebuild the screen. Most record only while the story
// runs (user mode): system screens must not change what a save of the story
// keeps. The menu, the music channels and the saved strings record in both
// modes. Main thread.
#include "gamestate/state_mgr.h"

#include <map>
#include <utility>

SavedCell& StateMgr::cellOf(int32_t n) { return current_.cell[n]; }

SavedParts& StateMgr::partsOf(int32_t n) { return current_.parts[n]; }

// ---- Menu (both modes) ----

void StateMgr::setSavedMenuCfgno(int32_t n) { current_.menu.cfgno = n; }

void StateMgr::setSavedMenuEnable(uint8_t on) { current_.menu.enable = on; }

void StateMgr::setSavedMenuAutohide(uint8_t on) { current_.menu.autohide = on; }

void StateMgr::setSavedMenuShow(uint8_t on) { current_.menu.show = on; }

// ---- Message window ----

void StateMgr::setSavedMsgwinCfgno(int32_t n) {
  if (isUserMode()) current_.msgwin.cfgno = n;
}

void StateMgr::setSavedMsgwinVisible(int32_t on) {
  if (isUserMode()) current_.msgwin.visible = on != 0 ? 1 : 0;
}

void StateMgr::setSavedMsgwinPos(int32_t index, int32_t x, int32_t y) {
  if (!isUserMode()) return;
  current_.msgwin.posIndex = index;
  current_.msgwin.posX = x;
  current_.msgwin.posY = y;
}

void StateMgr::setSavedMsgwinKeywait(int32_t kind) {
  if (isUserMode()) current_.msgwin.keywait = kind;
}

void StateMgr::appendSavedMsgwinText(const std::u16string& text) {
  if (!isUserMode()) return;
  current_.msgwin.text += text;
  current_.msgwin.texts.push_back(text);
}

void StateMgr::clearSavedMsgwinText() {
  if (!isUserMode()) return;
  current_.msgwin.text.clear();
  current_.msgwin.texts.clear();
  current_.msgwin.keywait = -1;
}

// ---- Background picture ----

void StateMgr::setSavedPicture(const APValue& picno, int32_t tx, int32_t ty, int32_t tw, int32_t th) {
  if (!isUserMode()) return;
  current_.picture.picno = picno;
  setSavedPictureRect(tx, ty, tw, th);
}

void StateMgr::setSavedPictureRect(int32_t tx, int32_t ty, int32_t tw, int32_t th) {
  if (!isUserMode()) return;
  PresentationState::Picture& picture = current_.picture;
  picture.tx = tx;
  picture.ty = ty;
  picture.tw = tw;
  picture.th = th;
}

// ---- Foreground cells ----

void StateMgr::setSavedCell(int32_t n, const APValue& picno, int32_t switchNo, int32_t x, int32_t y,
                            int32_t w, int32_t h, int32_t tx, int32_t ty, int32_t tw, int32_t th,
                            int32_t opacity, int32_t zorder) {
  if (!isUserMode()) return;
  cellOf(n) = SavedCell{picno, switchNo, x, y, w, h, tx, ty, tw, th, opacity, zorder};
}

void StateMgr::exchangeSavedCellFields(int32_t n, int32_t mask, int32_t& switchNo, int32_t& x, int32_t& y,
                                       int32_t& w, int32_t& h, int32_t& tx, int32_t& ty, int32_t& tw,
                                       int32_t& th, int32_t& opacity, int32_t& zorder) {
  if (!isUserMode()) return;
  SavedCell& cell = cellOf(n);
  // A set bit stores the caller's value, a clear bit hands the cell's back.
  auto exchange = [mask](int32_t bit, int32_t& stored, int32_t& caller) {
    if (mask & bit) {
      stored = caller;
    } else {
      caller = stored;
    }
  };
  exchange(1, cell.switchNo, switchNo);
  exchange(2, cell.x, x);
  exchange(2, cell.y, y);
  exchange(4, cell.w, w);
  exchange(4, cell.h, h);
  exchange(8, cell.tx, tx);
  exchange(8, cell.ty, ty);
  exchange(16, cell.tw, tw);
  exchange(16, cell.th, th);
  exchange(32, cell.opacity, opacity);
  exchange(64, cell.zorder, zorder);
}

void StateMgr::eraseSavedCell(int32_t n) {
  if (isUserMode()) current_.cell.erase(n);
}

void StateMgr::clearSavedCells() {
  if (isUserMode()) current_.cell.clear();
}

// ---- Parts ----

void StateMgr::setSavedParts(int32_t n, int32_t partsNo, int32_t visible, int32_t x, int32_t y,
                             int32_t zorder, int32_t opacity, int32_t keyorder) {
  if (!isUserMode()) return;
  SavedParts parts;
  parts.partsNo = partsNo;
  parts.visible = visible;
  parts.x = x;
  parts.y = y;
  parts.zorder = zorder;
  parts.opacity = opacity;
  parts.keyorder = keyorder;
  partsOf(n) = std::move(parts);
}

void StateMgr::setSavedPartsVisible(int32_t n, int32_t visible) {
  if (isUserMode()) partsOf(n).visible = visible;
}

void StateMgr::setSavedPartsPos(int32_t n, int32_t x, int32_t y) {
  if (!isUserMode()) return;
  SavedParts& parts = partsOf(n);
  parts.x = x;
  parts.y = y;
}

void StateMgr::setSavedPartsWH(int32_t n, int32_t w, int32_t h) {
  if (!isUserMode()) return;
  SavedParts& parts = partsOf(n);
  parts.w = APValue(w);
  parts.h = APValue(h);
}

void StateMgr::setSavedPartsZorder(int32_t n, int32_t z) {
  if (isUserMode()) partsOf(n).zorder = z;
}

void StateMgr::setSavedPartsOpacity(int32_t n, int32_t opacity) {
  if (isUserMode()) partsOf(n).opacity = opacity;
}

void StateMgr::setSavedPartsEnable(int32_t n, int32_t enable) {
  if (isUserMode()) partsOf(n).enable = enable;
}

void StateMgr::setSavedPartsEventNo(int32_t n, int32_t kind, int32_t number) {
  if (!isUserMode()) return;
  std::map<int32_t, int32_t>& eventno = partsOf(n).eventno;
  if (number >= 1) {
    eventno[kind] = number;
  } else {
    eventno.erase(kind);
  }
}

void StateMgr::setSavedPartsAnimationCode(int32_t n, int32_t code) {
  if (isUserMode()) partsOf(n).animationCode = APValue(code);
}

void StateMgr::setSavedPartsText(int32_t n, const APValue& text) {
  if (isUserMode()) partsOf(n).text = text;
}

void StateMgr::setSavedPartsColor(int32_t n, int32_t kind, int32_t colour) {
  if (!isUserMode()) return;
  SavedParts& parts = partsOf(n);
  if (kind >= 0) parts.color[kind] = colour;
}

void StateMgr::eraseSavedParts(int32_t n) {
  if (isUserMode()) current_.parts.erase(n);
}

void StateMgr::removeSavedParts(int32_t n) {
  if (!isUserMode()) return;
  if (n < 0) {
    current_.parts.clear();
  } else {
    current_.parts.erase(n);
  }
}

void StateMgr::clearSavedParts() {
  if (isUserMode()) current_.parts.clear();
}

// ---- Fader and mouse pointer ----

void StateMgr::clearSavedFader() { setSavedFader(-1, -1, -1, -1); }

void StateMgr::setSavedFader(int32_t r, int32_t g, int32_t b, int32_t a) {
  if (isUserMode()) current_.fader = PresentationState::Fader{r, g, b, a};
}

void StateMgr::setSavedMouseShow(int32_t flag) {
  if (isUserMode()) current_.mouse.showflag = flag;
}

void StateMgr::setSavedMouseCursor(const APValue& cursor) {
  if (isUserMode()) current_.mouse.cursor = cursor;
}

// ---- Music (both modes) ----

void StateMgr::setSavedMusic(int32_t channel, const APValue& music, int32_t startposition,
                             int32_t loopsetting, int32_t loopstart, int32_t loopend, int32_t loopnum) {
  uint32_t index = static_cast<uint32_t>(channel);
  if (index > 3 || index >= current_.music.size() || index >= liveMusic_.size()) return;
  MusicChannelRecord& record = current_.music[index];
  record.music = music;
  record.startposition = startposition;
  record.loopsetting = loopsetting;
  record.loopstart = loopstart;
  record.loopend = loopend;
  record.loopnum = loopnum;
  liveMusic_[index] = record;
}
