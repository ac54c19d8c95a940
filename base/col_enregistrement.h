// colEnregistrement: one desktop record, shared by the ledger store and the
// preference lists (which use only its text).
#pragma once

#include <cstdint>
#include <string>

#include "base/date_time.h"

namespace bolvarin {

// One desktop record: its identifier, its text line and the line's date.
class colEnregistrement {
 public:
  int32_t ID = 0;
  std::string Texte;
  DateTime lDate;
};

}  // namespace bolvarin
