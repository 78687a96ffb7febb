#include "tone/monitor_queue.h"
