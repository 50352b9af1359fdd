// Symbol visibility of the audio channel library: its interface is exported from every shared
// object that carries it, the component module included.
#pragma once

#define ZQ_CHANNEL_API __attribute__((visibility("default")))
