#include "script/ap_value.h"

bool APValue::isTrue() const {
  switch (type) {
    case kBool: return flag;
    case kInt: return ivalue != 0;
    default: return !svalue.empty();
  }
}

bool operator==(const APValue& a, const APValue& b) {
  if (&a == &b) return true;
  if (a.type != b.type) return false;
  switch (a.type) {
    case APValue::kBool: return a.flag == b.flag;
    case APValue::kInt: return a.ivalue == b.ivalue;
    default: return a.svalue == b.svalue;
  }
}
