// The module's C entry points: the factory a host calls and the build banner.
#include "pass_filter.h"

#include <new>

#define ZQ_MODULE_EXPORT __attribute__((visibility("default")))

extern "C" {

// Declared extern first: a const object would otherwise stay private to this file.
ZQ_MODULE_EXPORT extern const char* const
    __rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__;
const char* const __rev__component_filter_audio_hl_pass__zq_filter_audio_hl_pass__ =
    "zq.filter.audio.hl-pass-0.1: //zq/main/component/filter/audio/hl-pass-1284 (1279) "
    "ndbg/opt darwin/x86 2008-07-07 15:06";

ZQ_MODULE_EXPORT ZQ::CM::RComponent* getComponentInstance() {
    return new (std::nothrow) ns_hl_pass::pass_filter();
}
}
