// Resource ids of KvReport beside the program's own (resources/resource.h).
#pragma once

// The common English words redact leaves alone inside texts (RCDATA, one a line).
#define IDR_COMMON_WORDS 150
