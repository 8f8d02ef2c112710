#include "script/userfunc_base.h"

#include <vector>

namespace {

std::vector<int32_t> buildNumbers() {
  std::vector<int32_t> n;
  auto range = [&n](int32_t first, int32_t last) {
    for (int32_t i = first; i <= last; ++i) n.push_back(i);
  };
  n.push_back(-1);  // text
  // layer graphics
  range(1000, 1004);
  range(1006, 1018);
  range(1020, 1022);
  range(1030, 1033);
  range(1040, 1048);
  range(2000, 2003);  // background
  range(2010, 2015);  // foreground cells
  range(2020, 2026);  // message window
  range(2040, 2044);
  range(2030, 2031);  // choices
  range(2050, 2051);  // parts
  range(2053, 2064);
  range(2120, 2121);
  range(2123, 2135);
  range(2070, 2072);  // faders
  range(2150, 2152);
  range(2080, 2081);  // quit confirmation
  range(2090, 2092);  // movie
  range(2100, 2103);  // overlay
  range(3000, 3003);  // sound
  range(3010, 3012);
  range(3020, 3024);
  range(4000, 4002);  // event wait
  n.push_back(4100);  // system variables
  range(4110, 4113);
  range(4120, 4121);
  range(4130, 4132);
  range(4200, 4206);  // system settings and save
  range(4300, 4302);  // choice state and log
  range(4310, 4316);
  range(4320, 4322);  // message log
  for (int32_t i : {4400, 4401, 4410, 4411, 4412, 4421, 4430}) n.push_back(i);  // flow mode
  range(4500, 4501);  // files
  range(5000, 5005);  // strings and formatting
  for (int32_t i : {5100, 5200, 5201}) n.push_back(i);
  range(6000, 6010);    // system
  range(7000, 7002);    // dialogs
  range(8000, 8002);    // miscellaneous
  range(9000, 9022);    // setup
  range(9030, 9032);
  range(30001, 30005);  // operating-system utilities
  return n;
}

}  // namespace

std::span<const int32_t> AllBuiltinNumbers() {
  static const std::vector<int32_t> numbers = buildNumbers();
  return numbers;
}
