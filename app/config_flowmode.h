// The ":flowmode" configuration: the save points of the story chart with
// their position, page, picture and texts, the connections between them and
// the save points grouped by page; its section parser and the layout of one
// chart page as grid tiles (icons and route lines) handed to a callback.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "script/cell.h"

namespace Config {

struct FlowmodeConfig {
  // A route between two save points. Direction codes follow the numeric
  // keypad: 6 right, 8 up, 2 down, 4 left.
  struct Connection {
    int32_t from = -1;   // "from": source save-point number
    int32_t to = -1;     // "to": destination save-point number
    int32_t outDir = 6;  // "outDir": side the route leaves the source
    int32_t inDir = 4;   // "inDir": side the route enters the destination
  };

  struct SavePoint {
    int32_t initialState = 0;  // "initialState"
    int32_t type = 0;          // "type": icon type, 3 the start icon
    int32_t x = 0;             // "x": column within the page
    int32_t y = 0;             // "y": row
    int32_t page = -1;         // "page"
    int32_t imageNo = -1;      // "imageNo"
    std::u16string text1;      // "text1"
    std::u16string text2;      // "text2"
    // Copies of the connections, rebuilt by every FinishFlowmodeConfig:
    // outgoing by destination number, incoming by source number.
    std::map<int32_t, Connection> outgoing;
    std::map<int32_t, Connection> incoming;
  };

  // Tile kinds handed to DrawCallback::drawTile.
  enum TileKind : int32_t {
    kTileIcon = 1,
    kTileHorizontal = 2,
    kTileVertical = 3,
    kTileArrowFromLeft = 4,
    kTileArrowFromBelow = 5,
    kTileArrowFromAbove = 6,
    kTileCornerRightThenDown = 7,  // horizontal line turning down
    kTileCornerUpThenRight = 8,    // vertical line coming up, turning right
    kTileCornerRightThenUp = 9,    // horizontal line turning up
    kTileCornerDownThenRight = 10, // vertical line coming down, turning right
  };

  // What the chart layout draws through. drawTile gets the save point's
  // number and record for icons, 0 and null for route tiles; returning false
  // stops the line run it belongs to. isRouteVisible decides whether the
  // connection from -> to is drawn. A null drawTile draws nothing; a null
  // isRouteVisible shows every route.
  struct DrawCallback {
    void* context = nullptr;
    bool (*drawTile)(void* context, int32_t x, int32_t y, int32_t kind, int32_t number,
                     const SavePoint* record) = nullptr;
    bool (*isRouteVisible)(void* context, int32_t fromNumber, int32_t toNumber) = nullptr;
  };

  // The save point stored under the number, or null. The pointer stays
  // valid until the configuration is parsed again.
  const SavePoint* findSavePoint(int32_t number) const;

  // Draws the icons of one page (their own x and y), then the visible routes
  // of every connection with an end on that page. Always true.
  bool drawPage(int32_t page, int32_t columnsPerPage, const DrawCallback& callback) const;
  // Lays out one connection's route in the coordinates of the given page
  // (pages lie side by side, columnsPerPage wide). False, with nothing
  // drawn, for adjacent icons, an unknown end or coordinates out of range.
  bool drawRoute(const Connection& connection, int32_t page, int32_t columnsPerPage,
                 const DrawCallback& callback) const;

  std::map<int32_t, SavePoint> spMap;            // by save-point number
  std::vector<Connection> connections;           // in file order
  std::map<int32_t, std::vector<int32_t>> pages; // page -> save-point numbers, ascending
};

// Line runs of the chart layout. A horizontal run draws kind 2 on the row at
// x = fromX, fromX + 1, ... while x < toX; a vertical run draws kind 3 on the
// column likewise over y. Both stop early, returning false, when the
// callback refuses a tile.
bool DrawHorizontalRun(const FlowmodeConfig::DrawCallback& callback, int32_t row, int32_t fromX, int32_t toX);
bool DrawVerticalRun(const FlowmodeConfig::DrawCallback& callback, int32_t column, int32_t fromY, int32_t toY);
// One route tile (number 0, no record): the callback's answer, false when
// there is no drawing function.
bool DrawSingleTile(const FlowmodeConfig::DrawCallback& callback, int32_t x, int32_t y, int32_t kind);

}  // namespace Config

// Reads a whole ":flowmode" section (keyword first) into the configuration
// and finishes it. Unknown or malformed blocks and keys are logged and
// skipped; false only when a connection names an undefined save point.
bool ParseFlowmodeSection(Config::FlowmodeConfig* config, tokenizer::Cell* section);

// Links every connection to its two save points and regroups the save points
// by page, rebuilding both from scratch. False when a connection names a save
// point that is not defined (the maps are then left partly built).
bool FinishFlowmodeConfig(Config::FlowmodeConfig* config);
