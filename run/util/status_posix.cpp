// The C library's messages (strerror), in the language of the user's locale.
#include "run/util/status.h"

std::string ErrorText(const std::error_code& error) { return AsReason(error.message()); }
