// Symbol visibility of the audio DSP library: its interface is exported from every shared
// object that carries it, the component module included.
#pragma once

#define ZQ_DSP_API __attribute__((visibility("default")))
