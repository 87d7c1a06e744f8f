#include "app/StatusMessages.h"

volatile uint8_t StopFlag = 0;
