#include "console_out.h"

namespace screnc {

void write_text(std::FILE* stream, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stream);
}

void set_binary(std::FILE*) {}

}  // namespace screnc
