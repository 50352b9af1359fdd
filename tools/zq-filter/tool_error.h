// zq-filter fails as the file layer does: one message, and a kind that is its exit status.
#pragma once

#include <files/file_error.h>

namespace zq_tool {

using ns_audio_files::failure;
using ns_audio_files::file_error;

} // namespace zq_tool
