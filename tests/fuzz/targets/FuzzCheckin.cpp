// Typed field input: any text gives a value inside the field's range.
#include "FuzzTarget.h"

#include "editor/NumberCodecs.h"

#include <cstdlib>
#include <string_view>

LK24_FUZZ_TARGET(FuzzCheckin) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  for (const std::int64_t max : {255LL, 9999LL, 65535LL}) {
    const std::int64_t value = lk24::checkin(text, max);
    if (value < 0 || value > max) std::abort();
  }
  if (const auto typed = lk24::parseTypedNumber(text)) {
    // A value that parses must come back from its own decimal text.
    const auto again = lk24::parseTypedNumber(lk24::setString(0, *typed));
    if (!again || *again != *typed) std::abort();
  }
  return 0;
}
