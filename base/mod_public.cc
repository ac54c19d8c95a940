#include "base/mod_public.h"

namespace bolvarin {

bool DeleteDefinitively = false;

}  // namespace bolvarin
