#include "Module1.h"

namespace maj {

void Main() {}

} // namespace maj
