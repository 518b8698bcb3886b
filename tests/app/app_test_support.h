#pragma once

#include <vector>

#include "message_boxes.h"

// Every message box the program asked for since the list was last cleared.
std::vector<TMessageBoxRequest>& CapturedBoxes();
